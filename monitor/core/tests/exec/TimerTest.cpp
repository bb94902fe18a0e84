#include "exec/ClosureOwner.h"
#include "exec/OneShotTimer.h"
#include "runtime/HandleOwner.h"
#include "support/CoreTestFixture.h"
#include "support/TestThreads.h"
#include <memory>

namespace {

// What a timer's closure saw: how often it ran, on which thread, with which message word.
struct Shot {
    volatile LONG count = 0;
    DWORD thread = 0;
    uint32_t word = 0;
    TestEvent fired;
};

void Fire(BufferHandle* bound, BufferHandle* message)
{
    auto* shot = static_cast<Shot*>(bound->data);
    shot->thread = GetCurrentThreadId();
    shot->word = message->size;
    InterlockedIncrement(&shot->count);
    shot->fired.Set();
}

// Bound data: a Shot; size word: nothing. The closure holds no reference.
ClosureOwner ClosureFor(Shot* shot)
{
    ClosureOwner c;
    BufferHandle bound = {shot, nullptr, 0, 0};
    ClosureInit(c.put(), Fire, nullptr, &bound);
    return c;
}

// A timer for one test, destroyed when the test ends, also when it skips.
class TestTimer {
public:
    TestTimer() { EXPECT_EQ(TimerCreate(&timer_), kStatusSuccess); }
    ~TestTimer() { TimerDestroy(&timer_); }
    TestTimer(const TestTimer&) = delete;
    TestTimer& operator=(const TestTimer&) = delete;

    OneShotTimer* get() { return &timer_; }

private:
    OneShotTimer timer_;
};

class Timers : public CoreTest {
protected:
    // Arms a fresh timer with `delayMs` and waits for it: every expiry due on
    // the timer thread before that one has run (or been withdrawn) afterwards.
    static DWORD Barrier(int32_t delayMs = 0)
    {
        TestTimer t;
        Shot shot;
        EXPECT_EQ(TimerSet(t.get(), delayMs, ClosureFor(&shot).get(), nullptr), kStatusSuccess);
        EXPECT_TRUE(shot.fired.Wait());
        return shot.thread;
    }
};

TEST_F(Timers, DelayZeroFiresOnceOnTheTimerThreadWithItsArgument)
{
    auto a = std::make_unique<TestTimer>(), b = std::make_unique<TestTimer>();
    Shot shotA, shotB;
    BufferHandle argument = {nullptr, nullptr, 0, 41};
    ASSERT_EQ(TimerSet(a->get(), 0, ClosureFor(&shotA).get(), &argument), kStatusSuccess);
    ASSERT_EQ(TimerSet(b->get(), 0, ClosureFor(&shotB).get(), nullptr), kStatusSuccess);
    ASSERT_TRUE(shotA.fired.Wait());
    ASSERT_TRUE(shotB.fired.Wait());
    DWORD timerThread = Barrier();
    EXPECT_EQ(shotA.count, 1);
    EXPECT_EQ(shotB.count, 1);
    EXPECT_EQ(shotA.word, 41u);
    EXPECT_NE(timerThread, GetCurrentThreadId());
    EXPECT_EQ(shotA.thread, timerThread);
    EXPECT_EQ(shotB.thread, timerThread);

    // Destroying every timer leaves the thread running: only shut-down stops it.
    a.reset();
    b.reset();
    EXPECT_EQ(Barrier(), timerThread);
}

TEST_F(Timers, CancelAndResetReleaseTheReplacedClosureAndInvokeOnlyTheLastSet)
{
    HandleOwner held;
    ASSERT_EQ(BufAlloc(held.put(), nullptr, nullptr, 4), kStatusSuccess);
    Shot first, second;
    ClosureOwner c1 = ClosureFor(&first), c2 = ClosureFor(&second);
    TestTimer t;

    // Cancel before expiry: nothing runs, though the arming's delay passes,
    // and the argument's reference is dropped.
    DWORD armed = GetTickCount();
    ASSERT_EQ(TimerSet(t.get(), 200, c1.get(), held.get()), kStatusSuccess);
    EXPECT_EQ(held->cb->strong, 2);
    TimerCancel(t.get());
    if (GetTickCount() - armed >= 100)
        GTEST_SKIP() << "the machine was too slow to cancel before the expiry";
    EXPECT_EQ(held->cb->strong, 1);
    Barrier(400);  // past the cancelled arming's expiry
    EXPECT_EQ(first.count, 0);

    // Set twice, the second before the first delay ends: the first arming is
    // replaced, only the second closure runs, once, after the second delay.
    armed = GetTickCount();
    ASSERT_EQ(TimerSet(t.get(), 200, c1.get(), held.get()), kStatusSuccess);
    ASSERT_EQ(TimerSet(t.get(), 400, c2.get(), nullptr), kStatusSuccess);
    EXPECT_EQ(held->cb->strong, 1);
    ASSERT_TRUE(second.fired.Wait());
    EXPECT_GE(GetTickCount() - armed + 16, 400u) << "fired before the second delay";  // 16: the tick count's resolution
    Barrier();
    EXPECT_EQ(first.count, 0);
    EXPECT_EQ(second.count, 1);
}

// The argument of an arming that is about to be replaced: releasing it takes
// long enough for that arming to expire meanwhile, and notes whether the
// replacing closure had run by then.
struct SlowArgument {
    Shot* replacing;
    LONG firedDuringRelease;
};

void ReleaseSlowly(void* payload)
{
    auto* slow = *static_cast<SlowArgument**>(payload);
    Sleep(300);
    slow->firedDuringRelease = slow->replacing->count;
}

TEST_F(Timers, AnArmingThatExpiresWhileItIsReplacedFiresNothing)
{
    Shot first, second;
    SlowArgument slow = {&second, -1};
    TestTimer t;
    {
        HandleOwner argument;
        ASSERT_EQ(BufAlloc(argument.put(), nullptr, ReleaseSlowly, sizeof(SlowArgument*)), kStatusSuccess);
        *static_cast<SlowArgument**>(argument->data) = &slow;
        ASSERT_EQ(TimerSet(t.get(), 50, ClosureFor(&first).get(), argument.get()), kStatusSuccess);
    }  // the timer holds the argument's last reference
    ASSERT_EQ(TimerSet(t.get(), 500, ClosureFor(&second).get(), nullptr), kStatusSuccess);
    EXPECT_EQ(slow.firedDuringRelease, 0) << "the replaced arming's expiry fired the new closure at once";
    ASSERT_TRUE(second.fired.Wait());
    Barrier();
    EXPECT_EQ(first.count, 0);
    EXPECT_EQ(second.count, 1);
}

// Keeps the timer thread inside one expiry until released.
struct Blocker {
    TestEvent inside;
    TestEvent release;
};

void Block(BufferHandle* bound, BufferHandle*)
{
    auto* b = static_cast<Blocker*>(bound->data);
    b->inside.Set();
    b->release.Wait();
}

class BlockedTimerThread : public Timers {
protected:
    void SetUp() override
    {
        Timers::SetUp();
        ASSERT_EQ(TimerCreate(&blocker_), kStatusSuccess);
    }
    void TearDown() override
    {
        gate_.release.Set();
        TimerDestroy(&blocker_);
        Timers::TearDown();
    }

    // Arms `t` with `first`, then holds the timer thread inside another expiry
    // until `t` has expired, so that t's expiry is queued behind the blocked
    // one. False when the machine was too slow to order it that way.
    bool QueueExpiryBehindBlockedThread(OneShotTimer* t, Shot* first)
    {
        ClosureOwner block;
        BufferHandle bound = {&gate_, nullptr, 0, 0};
        ClosureInit(block.put(), Block, nullptr, &bound);
        EXPECT_EQ(TimerSet(t, 200, ClosureFor(first).get(), nullptr), kStatusSuccess);
        EXPECT_EQ(TimerSet(&blocker_, 0, block.get(), nullptr), kStatusSuccess);
        EXPECT_TRUE(gate_.inside.Wait());
        EXPECT_EQ(WaitForSingleObject(t->waitable, 30000), WAIT_OBJECT_0);
        return first->count == 0;
    }

    Blocker gate_;
    OneShotTimer blocker_;
};

TEST_F(BlockedTimerThread, AnExpiryQueuedBeforeAResetDoesNotFireTheNewClosure)
{
    TestTimer t;
    Shot first, second;
    if (!QueueExpiryBehindBlockedThread(t.get(), &first))
        GTEST_SKIP() << "the timer expired before the timer thread was held";
    ASSERT_EQ(TimerSet(t.get(), 60000, ClosureFor(&second).get(), nullptr), kStatusSuccess);
    gate_.release.Set();
    Barrier();
    EXPECT_EQ(first.count, 0) << "the replaced closure ran";
    EXPECT_EQ(second.count, 0) << "the stale expiry fired the new closure at once";
}

TEST_F(BlockedTimerThread, AnExpiryQueuedBeforeDestroyLeavesTheFreedMemoryAlone)
{
    // The owner frees the timer and the memory at once holds a new timer: the
    // old expiry must touch neither.
    auto memory = std::make_unique<OneShotTimer>();
    ASSERT_EQ(TimerCreate(memory.get()), kStatusSuccess);
    Shot first, reused;
    if (!QueueExpiryBehindBlockedThread(memory.get(), &first)) {
        TimerDestroy(memory.get());
        GTEST_SKIP() << "the timer expired before the timer thread was held";
    }
    TimerDestroy(memory.get());
    ASSERT_EQ(TimerCreate(memory.get()), kStatusSuccess);
    ASSERT_EQ(TimerSet(memory.get(), 60000, ClosureFor(&reused).get(), nullptr), kStatusSuccess);
    gate_.release.Set();
    Barrier();
    EXPECT_EQ(first.count, 0);
    EXPECT_EQ(reused.count, 0) << "the old expiry fired the timer now in its memory";
    TimerDestroy(memory.get());
}

TEST_F(Timers, CancelOrDestroyRacingExpiryReleasesEveryHandle)
{
    // Every closure and argument holds a buffer: the leak check after the test
    // shows that each was released exactly once, fired or not.
    constexpr int kRounds = 300;
    Shot shot;
    HandleOwner bound, argument;
    ASSERT_EQ(BufAlloc(bound.put(), nullptr, nullptr, 4), kStatusSuccess);
    ASSERT_EQ(BufAlloc(argument.put(), nullptr, nullptr, 4), kStatusSuccess);
    bound->data = &shot;  // the handle keeps the buffer alive; its data word points at the Shot
    ClosureOwner c;
    ClosureInit(c.put(), Fire, nullptr, bound.get());
    TestTimer kept;
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_EQ(TimerSet(kept.get(), i % 3, c.get(), argument.get()), kStatusSuccess);
        TimerCancel(kept.get());
        // Destroy right after the set and give the memory back at once.
        auto fresh = std::make_unique<TestTimer>();
        ASSERT_EQ(TimerSet(fresh->get(), i % 2, c.get(), argument.get()), kStatusSuccess);
        if (i % 2)
            Sleep(0);
    }
    Barrier();
    EXPECT_LE(shot.count, 2 * kRounds);
    EXPECT_EQ(bound->cb->strong, 2) << "only the local closure and handle remain";
    EXPECT_EQ(argument->cb->strong, 1);
}

}  // namespace
