#include "exec/ClosureOwner.h"
#include "exec/EventHub.h"
#include "runtime/BlockOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/MessageView.h"
#include "support/CoreTestFixture.h"
#include <functional>
#include <string>
#include <vector>

namespace {

// One subscriber's routine: logs "name:code:payload" and then runs `also`.
struct Subscriber {
    std::vector<std::string>* log;
    std::string name;
    std::function<void(BufferHandle* message)> also;
    Closure closure = {};

    Subscriber(std::vector<std::string>* l, std::string n) : log(l), name(std::move(n))
    {
        BufferHandle self = {this, nullptr, 0, 0};
        ClosureInit(&closure, Run, nullptr, &self);
    }
    static void Run(BufferHandle* bound, BufferHandle* message)
    {
        auto* self = static_cast<Subscriber*>(bound->data);
        MessageView<const EventHubMessage> m(message);
        self->log->push_back(self->name + ":" + std::to_string(m->code) + ":" +
                             std::string(static_cast<char*>(m->payload.data), m->payload.size));
        if (self->also)
            self->also(message);
    }
};

class EventHubs : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        EventHubInit(&hub);
    }
    void TearDown() override
    {
        EventHubDestroy(&hub);
        CoreTest::TearDown();
    }
    std::vector<std::string> Take() { return std::exchange(log, {}); }

    EventHub hub;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

TEST_F(EventHubs, RoutesAndOrdersAcrossTheThreeKinds)
{
    Subscriber allButFive(&log, "allBut5"), all(&log, "all"), five(&log, "5"), fiveSeven(&log, "5,7"),
        allButFiveSeven(&log, "allBut5,7");
    const uint32_t codes5[] = {5}, codes57[] = {5, 7};
    // Subscribed out of publishing order on purpose.
    EventHubSubscribeAllBut(&hub, &allButFive.closure, codes5, 1);
    EventHubSubscribeAll(&hub, &all.closure);
    EventHubSubscribeCodes(&hub, &five.closure, codes5, 1);
    EventHubSubscribeAllBut(&hub, &allButFiveSeven.closure, codes57, 2);
    EventHubSubscribeCodes(&hub, &fiveSeven.closure, codes57, 2);

    EXPECT_EQ(EventHubPublish(&hub, 5, "p", 1, nullptr), 3u);
    EXPECT_EQ(Take(), (Log{"all:5:p", "5:5:p", "5,7:5:p"}));
    EXPECT_EQ(EventHubPublish(&hub, 7, nullptr, 0), 3u);
    EXPECT_EQ(Take(), (Log{"all:7:", "5,7:7:", "allBut5:7:"}));
    EXPECT_EQ(EventHubPublish(&hub, 9, nullptr, 0), 3u) << "a code without entry reaches every all-but";
    EXPECT_EQ(Take(), (Log{"all:9:", "allBut5:9:", "allBut5,7:9:"}));
    // The exclusion marks of one publish do not leak into the next.
    EXPECT_EQ(EventHubPublish(&hub, 5, nullptr, 0), 3u);
    EXPECT_EQ(EventHubPublish(&hub, 8, nullptr, 0), 3u);
    EXPECT_EQ(Take().back(), "allBut5,7:8:");
}

TEST_F(EventHubs, EntryGoesWithTheLastLinkOfItsCode)
{
    Subscriber five(&log, "5"), twice(&log, "twice"), allBut(&log, "allBut5");
    const uint32_t codes5[] = {5}, codes55[] = {5, 5};
    EventSubscription* a = EventHubSubscribeCodes(&hub, &five.closure, codes5, 1);
    EventSubscription* b = EventHubSubscribeCodes(&hub, &twice.closure, codes55, 2);
    EXPECT_EQ(EventHubPublish(&hub, 5, nullptr, 0), 2u) << "a code listed twice counts once";
    EXPECT_EQ(hub.entries.count, 1u);
    EventHubUnsubscribe(&hub, a);
    EXPECT_EQ(OrderedMapCount(&hub.byCode), 1u);
    EventHubUnsubscribe(&hub, b);
    EXPECT_EQ(OrderedMapCount(&hub.byCode), 0u);
    EXPECT_EQ(hub.entries.count, 0u);
    Take();

    EventSubscription* c = EventHubSubscribeAllBut(&hub, &allBut.closure, codes5, 1);
    EXPECT_EQ(OrderedMapCount(&hub.byCode), 1u);
    EXPECT_EQ(EventHubPublish(&hub, 5, nullptr, 0), 0u);
    EventHubUnsubscribe(&hub, c);
    EXPECT_EQ(OrderedMapCount(&hub.byCode), 0u);
    EventHubUnsubscribe(&hub, nullptr);
    EXPECT_TRUE(log.empty());
}

TEST_F(EventHubs, NothingIsAllocatedWithoutASubscriber)
{
    const uint32_t empty = LiveBlockCount();
    EXPECT_EQ(EventHubPublish(&hub, 1, "abc", 3, nullptr), 0u);
    EXPECT_EQ(LiveBlockCount(), empty);
    Subscriber five(&log, "5");
    const uint32_t codes5[] = {5};
    EventHubSubscribeCodes(&hub, &five.closure, codes5, 1);
    HandleOwner payload;
    ASSERT_EQ(BufAllocCopy(payload.put(), "x", 1), kStatusSuccess);
    // One allocation left: it is still there after the publishes only if they took none.
    BlockAllocFailAfter(1);
    EXPECT_EQ(EventHubPublish(&hub, 6, "abc", 3, nullptr), 0u);
    EXPECT_EQ(EventHubPublishHandle(&hub, 6, payload.get()), 0u);
    BlockOwner<void> probe(BlockAlloc(4));
    BlockAllocFailAfter(-1);
    EXPECT_NE(probe, nullptr);
    EXPECT_TRUE(log.empty());
}

TEST_F(EventHubs, MessageForms)
{
    Subscriber all(&log, "all");
    HandleOwner kept;
    std::vector<BufferHandle> seen;
    all.also = [&](BufferHandle* message) {
        MessageView<const EventHubMessage> m(message);
        seen.push_back(m->payload);
        if (!kept && m->payload.size) {
            EXPECT_EQ(BufHandleLockCopy(kept.get(), &m->payload), 1);
        }
        if (m->code == 1) {
            EXPECT_EQ(m->payload.cb, message->cb) << "gathered bytes live in the message buffer";
            EXPECT_EQ(m->payload.weak, 1u);
            EXPECT_EQ(static_cast<char*>(m->payload.data), static_cast<char*>(message->data) + 20);
            EXPECT_EQ(message->size, 20u + 6);
        }
    };
    EventHubSubscribeAll(&hub, &all.closure);

    EXPECT_EQ(EventHubPublish(&hub, 1, "ab", 2, "", 0, "cdef", 4, nullptr), 1u);
    EXPECT_EQ(EventHubPublish(&hub, 2, nullptr, 0), 1u);
    EXPECT_EQ(seen[1].cb, nullptr) << "an empty payload is an empty handle";
    EXPECT_EQ(seen[1].size, 0u);

    HandleOwner payload;
    ASSERT_EQ(BufAllocCopy(payload.put(), "handle", 6), kStatusSuccess);
    EXPECT_EQ(EventHubPublishHandle(&hub, 3, payload.get()), 1u);
    EXPECT_EQ(seen[2].cb, payload->cb);
    EXPECT_EQ(seen[2].weak, 0u);
    EXPECT_EQ(payload->cb->strong, 1) << "the message's copy went with the message";
    EXPECT_EQ(Take(), (Log{"all:1:abcdef", "all:2:", "all:3:handle"}));

    // The payload kept by the subscriber outlives the message.
    ASSERT_NE(kept->cb, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(kept->data), kept->size), "abcdef");
}

TEST_F(EventHubs, SubscribersMayReenterTheHub)
{
    Subscriber first(&log, "first"), late(&log, "late"), other(&log, "other");
    EventSubscription* self = nullptr;
    EventSubscription* added = nullptr;
    first.also = [&](BufferHandle* message) {
        if (MessageView<const EventHubMessage>(message)->code != 1)
            return;
        EventHubUnsubscribe(&hub, self);
        const uint32_t codes[] = {2};
        added = EventHubSubscribeCodes(&hub, &late.closure, codes, 1);
        EXPECT_EQ(EventHubPublish(&hub, 2, "n", 1, nullptr), 2u);
    };
    self = EventHubSubscribeAll(&hub, &first.closure);
    EventHubSubscribeAll(&hub, &other.closure);
    EXPECT_EQ(EventHubPublish(&hub, 1, nullptr, 0), 2u) << "the collected copy still runs";
    EXPECT_EQ(Take(), (Log{"first:1:", "other:2:n", "late:2:n", "other:1:"}));
    EXPECT_EQ(EventHubPublish(&hub, 1, nullptr, 0), 1u);
    EventHubUnsubscribe(&hub, added);
}

TEST_F(EventHubs, FailedMessageInvokesNobody)
{
    Subscriber a(&log, "a"), b(&log, "b");
    EventHubSubscribeAll(&hub, &a.closure);
    EventHubSubscribeAll(&hub, &b.closure);
    for (int successes : {0, 1, 2}) {  // the two copies, then the message
        BlockAllocFailAfter(successes);
        EXPECT_EQ(EventHubPublish(&hub, 1, "x", 1, nullptr), 0u) << successes;
        BlockAllocFailAfter(-1);
    }
    EXPECT_TRUE(log.empty());
}

// Destroying the hub releases what its subscriptions hold.
TEST_F(EventHubs, DestroyReleasesTheClosures)
{
    HandleOwner bound;
    ASSERT_EQ(BufAllocCopy(bound.put(), "b", 1), kStatusSuccess);
    {
        ClosureOwner closure;
        ClosureInit(closure.get(), [](BufferHandle*, BufferHandle*) {}, nullptr, bound.get());
        const uint32_t codes[] = {3, 4};
        EventHubSubscribeAll(&hub, closure.get());
        EventHubSubscribeCodes(&hub, closure.get(), codes, 2);
        EventHubSubscribeAllBut(&hub, closure.get(), codes, 2);
    }
    EXPECT_EQ(bound->cb->strong, 4);
    ControlBlock* cb = bound->cb;
    ObjWeakAddRef(cb);
    bound.reset();
    EventHubDestroy(&hub);
    EXPECT_EQ(cb->strong, 0);
    ObjWeakRelease(cb);
    EventHubInit(&hub);
}

}  // namespace
