#include "exec/OneShotTimer.h"
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
Closure ClosureFor(Shot* shot)
{
    Closure c;
    BufferHandle bound = {shot, nullptr, 0, 0};
    ClosureInit(&c, Fire, nullptr, &bound);
    return c;
}

class Timers : public CoreTest {
protected:
    // Arms a fresh timer with delay 0 and waits for it: every expiry queued on
    // the timer thread before this call has run (or been withdrawn) afterwards.
    static DWORD Barrier()
    {
        OneShotTimer t;
        EXPECT_EQ(TimerCreate(&t), kStatusSuccess);
        Shot shot;
        Closure c = ClosureFor(&shot);
        EXPECT_EQ(TimerSet(&t, 0, &c, nullptr), kStatusSuccess);
        ClosureRelease(&c);
        EXPECT_TRUE(shot.fired.Wait());
        TimerDestroy(&t);
        return shot.thread;
    }
};

TEST_F(Timers, DelayZeroFiresOnceOnTheTimerThreadWithItsArgument)
{
    OneShotTimer a, b;
    ASSERT_EQ(TimerCreate(&a), kStatusSuccess);
    ASSERT_EQ(TimerCreate(&b), kStatusSuccess);
    Shot shotA, shotB;
    Closure ca = ClosureFor(&shotA), cb = ClosureFor(&shotB);
    BufferHandle argument = {nullptr, nullptr, 0, 41};
    ASSERT_EQ(TimerSet(&a, 0, &ca, &argument), kStatusSuccess);
    ASSERT_EQ(TimerSet(&b, 0, &cb, nullptr), kStatusSuccess);
    ClosureRelease(&ca);
    ClosureRelease(&cb);
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
    TimerDestroy(&a);
    TimerDestroy(&b);
    EXPECT_EQ(Barrier(), timerThread);
}

TEST_F(Timers, CancelAndResetReleaseTheReplacedClosureAndInvokeOnlyTheLastSet)
{
    OneShotTimer t;
    ASSERT_EQ(TimerCreate(&t), kStatusSuccess);
    BufferHandle held;
    ASSERT_EQ(BufAlloc(&held, nullptr, nullptr, 4), kStatusSuccess);
    Shot first, second;
    Closure c1 = ClosureFor(&first), c2 = ClosureFor(&second);

    // Cancel before expiry: nothing runs, though the arming's delay passes,
    // and the argument's reference is dropped.
    DWORD armed = GetTickCount();
    ASSERT_EQ(TimerSet(&t, 200, &c1, &held), kStatusSuccess);
    EXPECT_EQ(held.cb->strong, 2);
    TimerCancel(&t);
    if (GetTickCount() - armed >= 100) {
        ClosureRelease(&c1);
        ClosureRelease(&c2);
        BufHandleRelease(&held);
        TimerDestroy(&t);
        GTEST_SKIP() << "the machine was too slow to cancel before the expiry";
    }
    EXPECT_EQ(held.cb->strong, 1);
    Sleep(400);
    Barrier();
    EXPECT_EQ(first.count, 0);

    // Set twice, the second before the first delay ends: the first arming is
    // replaced, only the second closure runs, once, after the second delay.
    armed = GetTickCount();
    ASSERT_EQ(TimerSet(&t, 200, &c1, &held), kStatusSuccess);
    ASSERT_EQ(TimerSet(&t, 400, &c2, nullptr), kStatusSuccess);
    EXPECT_EQ(held.cb->strong, 1);
    ASSERT_TRUE(second.fired.Wait());
    EXPECT_GE(GetTickCount() - armed + 16, 400u) << "fired before the second delay";  // 16: the tick count's resolution
    Barrier();
    EXPECT_EQ(first.count, 0);
    EXPECT_EQ(second.count, 1);

    ClosureRelease(&c1);
    ClosureRelease(&c2);
    BufHandleRelease(&held);
    TimerDestroy(&t);
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
    OneShotTimer t;
    ASSERT_EQ(TimerCreate(&t), kStatusSuccess);
    Shot first, second;
    SlowArgument slow = {&second, -1};
    BufferHandle argument;
    ASSERT_EQ(BufAlloc(&argument, nullptr, ReleaseSlowly, sizeof(SlowArgument*)), kStatusSuccess);
    *static_cast<SlowArgument**>(argument.data) = &slow;
    Closure c1 = ClosureFor(&first), c2 = ClosureFor(&second);
    ASSERT_EQ(TimerSet(&t, 50, &c1, &argument), kStatusSuccess);
    BufHandleRelease(&argument);  // the timer holds the last reference
    ASSERT_EQ(TimerSet(&t, 500, &c2, nullptr), kStatusSuccess);
    EXPECT_EQ(slow.firedDuringRelease, 0) << "the replaced arming's expiry fired the new closure at once";
    ASSERT_TRUE(second.fired.Wait());
    Barrier();
    EXPECT_EQ(first.count, 0);
    EXPECT_EQ(second.count, 1);
    ClosureRelease(&c1);
    ClosureRelease(&c2);
    TimerDestroy(&t);
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
        Closure c = ClosureFor(first), block;
        BufferHandle bound = {&gate_, nullptr, 0, 0};
        ClosureInit(&block, Block, nullptr, &bound);
        EXPECT_EQ(TimerSet(t, 200, &c, nullptr), kStatusSuccess);
        EXPECT_EQ(TimerSet(&blocker_, 0, &block, nullptr), kStatusSuccess);
        ClosureRelease(&c);
        ClosureRelease(&block);
        EXPECT_TRUE(gate_.inside.Wait());
        EXPECT_EQ(WaitForSingleObject(t->waitable, 30000), WAIT_OBJECT_0);
        return first->count == 0;
    }

    Blocker gate_;
    OneShotTimer blocker_;
};

TEST_F(BlockedTimerThread, AnExpiryQueuedBeforeAResetDoesNotFireTheNewClosure)
{
    OneShotTimer t;
    ASSERT_EQ(TimerCreate(&t), kStatusSuccess);
    Shot first, second;
    if (!QueueExpiryBehindBlockedThread(&t, &first)) {
        TimerDestroy(&t);
        GTEST_SKIP() << "the timer expired before the timer thread was held";
    }
    Closure c2 = ClosureFor(&second);
    ASSERT_EQ(TimerSet(&t, 60000, &c2, nullptr), kStatusSuccess);
    ClosureRelease(&c2);
    gate_.release.Set();
    Barrier();
    EXPECT_EQ(first.count, 0) << "the replaced closure ran";
    EXPECT_EQ(second.count, 0) << "the stale expiry fired the new closure at once";
    TimerDestroy(&t);
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
    Closure c = ClosureFor(&reused);
    ASSERT_EQ(TimerSet(memory.get(), 60000, &c, nullptr), kStatusSuccess);
    ClosureRelease(&c);
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
    BufferHandle bound, argument;
    ASSERT_EQ(BufAlloc(&bound, nullptr, nullptr, 4), kStatusSuccess);
    ASSERT_EQ(BufAlloc(&argument, nullptr, nullptr, 4), kStatusSuccess);
    bound.data = &shot;  // the handle keeps the buffer alive; its data word points at the Shot
    Closure c;
    ClosureInit(&c, Fire, nullptr, &bound);
    OneShotTimer kept;
    ASSERT_EQ(TimerCreate(&kept), kStatusSuccess);
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_EQ(TimerSet(&kept, i % 3, &c, &argument), kStatusSuccess);
        TimerCancel(&kept);
        // Destroy right after the set and give the memory back at once.
        auto* fresh = new OneShotTimer;
        ASSERT_EQ(TimerCreate(fresh), kStatusSuccess);
        ASSERT_EQ(TimerSet(fresh, i % 2, &c, &argument), kStatusSuccess);
        if (i % 2)
            Sleep(0);
        TimerDestroy(fresh);
        delete fresh;
    }
    Barrier();
    EXPECT_LE(shot.count, 2 * kRounds);
    EXPECT_EQ(bound.cb->strong, 2) << "only the local closure and handle remain";
    EXPECT_EQ(argument.cb->strong, 1);
    TimerDestroy(&kept);
    ClosureRelease(&c);
    BufHandleRelease(&bound);
    BufHandleRelease(&argument);
}

}  // namespace
