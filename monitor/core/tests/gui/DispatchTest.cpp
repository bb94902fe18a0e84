#include "gui/DispatchManager.h"
#include "gui/ServiceWindow.h"
#include "gui/ThreadBinding.h"
#include "gui/ThreadDispatcher.h"
#include "runtime/FixedWaits.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "runtime/Framework.h"
#include "support/CoreTestFixture.h"
#include "support/TestThreads.h"
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// A thread with a message loop that stays still until told to pump, so that
// calls can be queued before it retrieves its first message. It counts the
// messages it has dispatched: calls that ran during the same message see the
// same count.
class GuiThread {
public:
    GuiThread()
        : thread_([this] {
              MSG msg;
              PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
              id_ = GetCurrentThreadId();
              ready_.Set();
              go_.Wait();
              while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                  ++dispatched;
                  if (!msg.hwnd && msg.message == kFlush)
                      flushed_.Set();
                  DispatchMessageA(&msg);
              }
          })
    {
        ready_.Wait();
    }
    ~GuiThread()
    {
        go_.Set();
        PostThreadMessageA(id_, WM_QUIT, 0, 0);
        thread_.join();
    }
    void Pump() { go_.Set(); }
    // Returns once the thread has handled every message posted before the call.
    bool Flush()
    {
        return PostThreadMessageA(id_, kFlush, 0, 0) && flushed_.Wait();
    }
    DWORD id() const { return id_; }

    volatile LONG dispatched = 0;

private:
    static constexpr UINT kFlush = WM_APP + 1;
    TestEvent ready_, go_, flushed_;
    DWORD id_ = 0;
    std::thread thread_;
};

struct Call {
    uint32_t tag;
    DWORD thread;
    LONG message;  // the GUI thread's dispatched count when the call ran
};

struct Log {
    GuiThread* gui = nullptr;
    std::vector<Call> calls;
    uint32_t expected = 0;
    TestEvent done;
};

void Record(BufferHandle* bound, BufferHandle* message)
{
    auto* log = static_cast<Log*>(bound->data);
    log->calls.push_back({message->size, GetCurrentThreadId(), log->gui ? log->gui->dispatched : 0});
    if (log->calls.size() == log->expected)
        log->done.Set();
}

class Dispatch : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        void* object = nullptr;
        ASSERT_EQ(ObjCreateFromDescriptor(&object, kThreadBindingType), kStatusSuccess);
        binding_ = RefOwner<ThreadBinding>::Adopt(static_cast<ThreadBinding*>(object));
    }
    void TearDown() override
    {
        binding_.reset();
        CoreTest::TearDown();
    }
    NtStatus Post(Log* log, uint32_t tag, ClosureRoutine routine = Record, const BufferHandle* held = nullptr)
    {
        BufferHandle bound = {log, nullptr, 0, 0};
        BufferHandle message = held ? *held : BufferHandle{nullptr, nullptr, 0, tag};
        return PostToBoundThread(binding_.get(), routine, &bound, &message);
    }
    static std::vector<uint32_t> Tags(const Log& log)
    {
        std::vector<uint32_t> tags;
        for (const Call& c : log.calls)
            tags.push_back(c.tag);
        return tags;
    }

    RefOwner<ThreadBinding> binding_;
};

TEST_F(Dispatch, PostFromTheBoundThreadRunsBeforeReturningAndStillAnswersPending)
{
    Log log;
    EXPECT_EQ(Post(&log, 7), kStatusPending);
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].thread, GetCurrentThreadId());
}

TEST_F(Dispatch, CallsQueuedBeforeTheFirstMessageRunThereInOrderEightPerMessage)
{
    GuiThread gui;
    binding_->threadId = gui.id();
    Log log;
    log.gui = &gui;
    log.expected = 20;
    for (uint32_t i = 0; i < 20; ++i)
        ASSERT_EQ(Post(&log, i), kStatusPending);
    EXPECT_TRUE(log.calls.empty());
    gui.Pump();
    ASSERT_TRUE(log.done.Wait());

    std::vector<uint32_t> inOrder;
    std::vector<uint32_t> perMessage;
    for (uint32_t i = 0; i < 20; ++i) {
        inOrder.push_back(i);
        EXPECT_EQ(log.calls[i].thread, gui.id());
        if (i == 0 || log.calls[i].message != log.calls[i - 1].message)
            perMessage.push_back(0);
        ++perMessage.back();
    }
    EXPECT_EQ(Tags(log), inOrder);
    EXPECT_EQ(perMessage, (std::vector<uint32_t>{8, 8, 4}));

    // The hook made one hidden window of the service class in the target thread.
    ThreadDispatcher* d = DispatchLookup(gui.id());
    ASSERT_NE(d, nullptr);
    HWND window = d->window;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), gui.id());
    EXPECT_FALSE(IsWindowVisible(window));
    char name[64] = {}, expected[64];
    GetClassNameA(window, name, sizeof(name));
    std::snprintf(expected, sizeof(expected), "SERVICE_WINDOW_CLASS:%08X",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(&ServiceWindowProc)));
    EXPECT_STREQ(name, expected);
    EXPECT_EQ(d->hook, nullptr) << "the hook removes itself";

    // Once the window serves, a new call runs on its own message.
    Log later;
    later.expected = 1;
    ASSERT_EQ(Post(&later, 20), kStatusPending);
    ASSERT_TRUE(later.done.Wait());
    EXPECT_EQ(later.calls[0].thread, gui.id());
}

struct Nested {
    Log log;
    ThreadBinding* binding;
    NtStatus innerResult = 0;
};

// Runs on the bound thread and posts to that same thread from inside a queued call.
void PostsToItsOwnThread(BufferHandle* bound, BufferHandle*)
{
    auto* n = static_cast<Nested*>(bound->data);
    n->log.calls.push_back({'A', GetCurrentThreadId(), 0});
    BufferHandle logBound = {&n->log, nullptr, 0, 0}, message = {nullptr, nullptr, 0, 'C'};
    n->innerResult = PostToBoundThread(n->binding, Record, &logBound, &message);
    n->log.calls.push_back({'a', GetCurrentThreadId(), 0});
}

TEST_F(Dispatch, APostFromTheBoundThreadRunsAtOnceAheadOfTheCallsAlreadyQueued)
{
    GuiThread gui;
    binding_->threadId = gui.id();
    Nested n;
    n.binding = binding_.get();
    n.log.expected = 4;
    BufferHandle bound = {&n, nullptr, 0, 0};
    ASSERT_EQ(PostToBoundThread(binding_.get(), PostsToItsOwnThread, &bound, nullptr), kStatusPending);
    ASSERT_EQ(Post(&n.log, 'B'), kStatusPending);
    gui.Pump();
    ASSERT_TRUE(n.log.done.Wait());
    EXPECT_EQ(Tags(n.log), (std::vector<uint32_t>{'A', 'C', 'a', 'B'}));
    EXPECT_EQ(n.innerResult, kStatusPending);
}

TEST_F(Dispatch, DiscardDropsAndReleasesEveryQueuedCallAndRefusesLaterPosts)
{
    GuiThread gui;
    binding_->threadId = gui.id();
    Log log;
    HandleOwner held;
    ASSERT_EQ(BufAlloc(held.put(), nullptr, nullptr, 4), kStatusSuccess);
    for (uint32_t i = 0; i < 3; ++i)
        ASSERT_EQ(Post(&log, i, Record, held.get()), kStatusPending);
    EXPECT_EQ(held->cb->strong, 4);
    DispatchManagerDiscardAll();
    EXPECT_EQ(held->cb->strong, 1) << "the dropped calls released their handles";
    EXPECT_EQ(Post(&log, 3), 0xC0000184u);
    binding_->threadId = GetCurrentThreadId();
    EXPECT_EQ(Post(&log, 4), 0xC0000184u) << "refused on the bound thread too";
    EXPECT_TRUE(log.calls.empty());
}

TEST_F(Dispatch, PurgeDropsOnlyCallsOfThePurgeAgeOrOlder)
{
    GuiThread gui;
    binding_->threadId = gui.id();
    Log log;
    log.gui = &gui;
    log.expected = 1;
    HandleOwner old;
    ASSERT_EQ(BufAlloc(old.put(), nullptr, nullptr, 4), kStatusSuccess);
    old->size = 'o';
    ASSERT_EQ(Post(&log, 0, Record, old.get()), kStatusPending);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 1200)
        Sleep(50);  // age the first call: the purge compares tick counts
    ASSERT_EQ(Post(&log, 'n'), kStatusPending);
    CoreFixedWaits().purgeAgeMs = 1000;
    DispatchManagerPurgeAll();
    EXPECT_EQ(old->cb->strong, 1) << "the purged call released its handle";
    gui.Pump();
    ASSERT_TRUE(log.done.Wait());
    EXPECT_EQ(Tags(log), (std::vector<uint32_t>{'n'}));
}

struct Gate {
    TestEvent inside, release;
    volatile LONG late = 0;
};

void Hold(BufferHandle* bound, BufferHandle*)
{
    auto* g = static_cast<Gate*>(bound->data);
    g->inside.Set();
    g->release.Wait();
}

void CountLate(BufferHandle* bound, BufferHandle*) { InterlockedIncrement(&static_cast<Gate*>(bound->data)->late); }

TEST_F(Dispatch, ShutdownWhileTheTargetThreadRunsACallLeavesItsWindowHarmless)
{
    auto gui = std::make_unique<GuiThread>();
    binding_->threadId = gui->id();
    gui->Pump();
    Gate gate;
    BufferHandle bound = {&gate, nullptr, 0, 0};
    ASSERT_EQ(PostToBoundThread(binding_.get(), Hold, &bound, nullptr), kStatusPending);
    ASSERT_TRUE(gate.inside.Wait());
    ThreadDispatcher* d = DispatchLookup(gui->id());
    ASSERT_NE(d, nullptr);
    HWND window = d->window;
    ASSERT_NE(window, nullptr);
    // Queued behind the running call: dropped by the shut-down, never run.
    ASSERT_EQ(PostToBoundThread(binding_.get(), CountLate, &bound, nullptr), kStatusPending);
    binding_.reset();
    ASSERT_TRUE(PostMessageA(window, kServiceWindowMessage, 0, 0)) << "the late service message";

    FrameworkShutdown();
    ThreadBinding stale = {{nullptr, PostToBoundThread}, gui->id()};
    BufferHandle none = {};
    EXPECT_EQ(PostToBoundThread(&stale, CountLate, &bound, &none), 0xC0000184u)
        << "a post after shut-down is refused";
    // The running call returns into a destroyed dispatcher, then the late
    // message arrives, then the window closes itself.
    gate.release.Set();
    ASSERT_TRUE(gui->Flush());
    EXPECT_FALSE(IsWindow(window)) << "the target thread closed its window";
    EXPECT_EQ(gate.late, 0);
    gui.reset();
    FrameworkStartup();
}

TEST_F(Dispatch, BindingMemberIsEmbeddedWithTheOwnerAsParent)
{
    struct Owner {
        ControlBlock* cb;
        BindingMember member;
    };
    void* object = nullptr;
    ASSERT_EQ(ObjCreateWithPayload(&object, [](void* p, ControlBlock* cb) { static_cast<Owner*>(p)->cb = cb; },
                                   nullptr, sizeof(Owner)),
              kStatusSuccess);
    auto owned = RefOwner<Owner>::Adopt(static_cast<Owner*>(object));
    Owner* owner = owned.get();
    ASSERT_EQ(BindingMemberCreate(owner, &owner->member), kStatusSuccess);
    EXPECT_EQ(owner->member.constructed, 1);
    ThreadBinding& b = owner->member.binding;
    EXPECT_EQ(b.threadId, GetCurrentThreadId());
    EXPECT_EQ(b.exec.post, PostToBoundThread);
    EXPECT_EQ(b.exec.cb->parent, owner->cb);
    EXPECT_EQ(owner->cb->weak, 2) << "the member holds its owner weakly";
    BindingMemberRelease(&owner->member);
    BindingMemberRelease(&owner->member);  // a second release finds the flag clear
    EXPECT_EQ(owner->member.constructed, 0);
    EXPECT_EQ(owner->cb->weak, 1);
}

}  // namespace
