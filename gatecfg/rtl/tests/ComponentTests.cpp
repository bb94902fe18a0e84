#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/Component.h"
#include "rtl/Event.h"

using namespace rtl;

namespace {

std::vector<std::string> gLog;

class TProbe : public TComponent {
public:
    explicit TProbe(TComponent* owner, std::string tag = "") : TComponent(owner), Tag(std::move(tag)) {}
    std::string Tag;
    TComponent* Watched = nullptr;
    bool DestroyingSeenInBefore = false;

    void BeforeDestruction() override
    {
        DestroyingSeenInBefore = IsDestroying();
        gLog.push_back("before " + Tag);
        TComponent::BeforeDestruction();
    }

protected:
    ~TProbe() override { gLog.push_back("dtor " + Tag); }
    void Notification(TComponent* c, TOperation op) override
    {
        TComponent::Notification(c, op);
        auto* p = dynamic_cast<TProbe*>(c);
        gLog.push_back(Tag + (op == TOperation::opInsert ? " +" : " -") + (p ? p->Tag : "?"));
        if (op == TOperation::opRemove && c == Watched)
            Watched = nullptr;
    }
};

class TFailing : public TProbe {
public:
    using TProbe::TProbe;
    void AfterConstruction() override
    {
        TProbe::AfterConstruction();
        throw Exception("second step failed");
    }
};

struct ComponentTest : ::testing::Test {
    void SetUp() override { gLog.clear(); }
};

}  // namespace

TEST_F(ComponentTest, OwnerSeesFullClassOnInsertAndRemoveAndFreesWhatItOwns)
{
    auto* form = Create<TProbe>(nullptr, "form");
    auto* a = Create<TProbe>(form, "a");
    Create<TProbe>(form, "b");
    EXPECT_EQ(form->ComponentCount(), 2);
    EXPECT_EQ(a->Owner(), form);
    // Insert notifications go to the owner and its owned components, with the
    // inserted component already of its own class.
    EXPECT_EQ(gLog, (std::vector<std::string>{"a +a", "form +a", "b +b", "a +b", "form +b"}));

    gLog.clear();
    a->Free();
    EXPECT_EQ(form->ComponentCount(), 1);
    EXPECT_EQ(gLog[0], "before a");
    EXPECT_NE(std::find(gLog.begin(), gLog.end(), "form -a"), gLog.end());
    EXPECT_NE(std::find(gLog.begin(), gLog.end(), "b -a"), gLog.end());
    EXPECT_EQ(gLog.back(), "dtor a");

    gLog.clear();
    form->Free();
    // The owner's own tear-down runs first, then what it owns goes.
    EXPECT_EQ(gLog.front(), "before form");
    EXPECT_EQ(gLog.back(), "dtor b");
}

TEST_F(ComponentTest, FreeNotificationAcrossOwnersClearsTheReference)
{
    auto* form1 = Create<TProbe>(nullptr, "f1");
    auto* form2 = Create<TProbe>(nullptr, "f2");
    auto* logger = Create<TProbe>(form1, "logger");
    auto* socket = Create<TProbe>(form2, "socket");
    socket->Watched = logger;
    socket->FreeNotification(logger);
    logger->Free();
    EXPECT_EQ(socket->Watched, nullptr);

    // And the other way: the watcher going first leaves nothing dangling.
    auto* logger2 = Create<TProbe>(form1, "logger2");
    socket->Watched = logger2;
    socket->FreeNotification(logger2);
    form2->Free();
    gLog.clear();
    logger2->Free();
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "socket -logger2"), 0);
    form1->Free();
}

TEST_F(ComponentTest, BeingDestroyedIsSetBeforeTearDownAndForOwnedComponents)
{
    auto* form = Create<TProbe>(nullptr, "form");
    auto* child = Create<TProbe>(form, "child");
    bool childDestroying = false;
    struct TSpy : TProbe {
        using TProbe::TProbe;
        TProbe* Child = nullptr;
        bool* Seen = nullptr;
        void BeforeDestruction() override
        {
            *Seen = Child->IsDestroying();
            TProbe::BeforeDestruction();
        }
    };
    auto* spy = Create<TSpy>(nullptr, "spy");
    spy->Child = child;
    spy->Seen = &childDestroying;
    form->InsertComponent(spy);
    // spy now belongs to form; moving child under spy shows the state reaching
    // components owned by a component being destroyed.
    form->RemoveComponent(child);
    spy->InsertComponent(child);
    spy->Free();
    EXPECT_TRUE(childDestroying);
    form->Free();
}

TEST_F(ComponentTest, FailedSecondStepFreesTheComponentAndLeavesOwnerClean)
{
    auto* form = Create<TProbe>(nullptr, "form");
    EXPECT_THROW(Create<TFailing>(form, "bad"), Exception);
    EXPECT_EQ(form->ComponentCount(), 0);
    EXPECT_NE(std::find(gLog.begin(), gLog.end(), "dtor bad"), gLog.end());
    form->Free();
}

TEST_F(ComponentTest, NamesAreUniqueAmongSiblings)
{
    auto* form = Create<TProbe>(nullptr, "form");
    auto* a = Create<TProbe>(form, "a");
    auto* b = Create<TProbe>(form, "b");
    a->SetName("XSocketServer1");
    EXPECT_EQ(form->FindComponent("xsocketserver1"), a);
    EXPECT_THROW(b->SetName("XSocketServer1"), EComponentError);
    EXPECT_EQ(b->Name(), "");
    form->Free();
}

TEST(EventTest, HandlersAnswerThroughReferenceParameters)
{
    struct THandlerOwner {
        int Calls = 0;
        void OnBg(TObject* sender, Exception& e, bool& canClose)
        {
            ++Calls;
            canClose = e.Message() != "keep";
        }
    } owner;
    TEvent<TObject*, Exception&, bool&> ev;
    EXPECT_FALSE(ev.Assigned());
    ev = TEvent<TObject*, Exception&, bool&>(&owner, &THandlerOwner::OnBg);
    ASSERT_TRUE(ev.Assigned());
    Exception keep("keep");
    bool canClose = true;
    ev(nullptr, keep, canClose);
    EXPECT_FALSE(canClose);
    EXPECT_EQ(owner.Calls, 1);
    ev = nullptr;
    EXPECT_FALSE(ev.Assigned());
}
