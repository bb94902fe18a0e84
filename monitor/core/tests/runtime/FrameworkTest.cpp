#include "exec/CallQueue.h"
#include "runtime/BufferHandle.h"
#include "runtime/ControlBlock.h"
#include "runtime/ExitCallbacks.h"
#include "runtime/FixedWaits.h"
#include "runtime/HandleOwner.h"
#include "runtime/LiveCounter.h"
#include "runtime/Framework.h"
#include "runtime/TrackedBlock.h"
#include "support/TestThreads.h"
#include <gtest/gtest.h>
#include <thread>
#include <string>

namespace {

std::string g_ran;

// Each test starts and stops the core itself; this only restores the waits.
class Framework : public ::testing::Test {
protected:
    void TearDown() override { CoreFixedWaits() = FixedWaits(); }
};

TEST_F(Framework, ExitCallbacksRunLastRegisteredFirstIncludingLateOnes)
{
    g_ran.clear();
    FrameworkStartup();
    ASSERT_EQ(AtExitRegister([] { g_ran += "pool "; }), 0u);
    ASSERT_EQ(AtExitRegister([] { g_ran += "timer "; }), 0u);
    ASSERT_EQ(AtExitRegister([] {
        g_ran += "dispatcher ";
        EXPECT_EQ(AtExitRegister([] { g_ran += "late "; }), 0u);
    }), 0u);
    FrameworkShutdown();
    EXPECT_EQ(g_ran, "dispatcher late timer pool ");
    EXPECT_EQ(AtExitRegister([] {}), 0xC0000184u) << "no registry outside start-up and shut-down";
}

TEST_F(Framework, ShutdownWithEverythingReleasedDoesNotWait)
{
    CoreFixedWaits().shutdownMs = 60000;
    FrameworkStartup();
    {
        HandleOwner h;
        ASSERT_EQ(BufAlloc(h.put(), nullptr, nullptr, 16), kStatusSuccess);
    }
    DWORD start = GetTickCount();
    FrameworkShutdown();
    EXPECT_LT(GetTickCount() - start, 30000u) << "shut-down waited although nothing was alive";
}

TEST_F(Framework, TimeOutStillRunsExitCallbacksAndKeepsThePoolsForLateReleases)
{
    const uint32_t objects = LiveObjectCount(), blocks = LiveBlockCount();
    CoreFixedWaits().shutdownMs = 100;
    g_ran.clear();
    FrameworkStartup();
    ASSERT_EQ(AtExitRegister([] { g_ran += "stopped "; }), 0u);
    HandleOwner kept;
    ASSERT_EQ(BufAlloc(kept.put(), nullptr, nullptr, 16), kStatusSuccess);
    ListHead queue;
    CallQueueInit(&queue);
    {
        HandleOwner queued;
        ASSERT_EQ(BufAlloc(queued.put(), nullptr, nullptr, 16), kStatusSuccess);
        ASSERT_EQ(CallQueuePush(&queue, [](BufferHandle*, BufferHandle*) {}, queued.get(), nullptr), 0u);
    }

    FrameworkShutdown();
    EXPECT_EQ(g_ran, "stopped ") << "exit callbacks must run after the time-out";
    EXPECT_EQ(LiveObjectCount(), objects + 2);

    // The control-block and pending-call pools outlived the shut-down: releasing
    // now must be safe, and a later start-up carries on with them.
    CallQueueClear(&queue);
    kept.reset();
    EXPECT_EQ(LiveObjectCount(), objects);
    FrameworkStartup();
    FrameworkShutdown();
    EXPECT_EQ(LiveObjectCount(), objects);
    EXPECT_EQ(LiveBlockCount(), blocks);
}

TEST_F(Framework, RestartBuildsFacilitiesMadeOnFirstUseAfresh)
{
    const uint32_t blocks = LiveBlockCount();
    for (int round = 0; round < 2; ++round) {
        FrameworkStartup();
        ListHead queue;
        CallQueueInit(&queue);
        ASSERT_EQ(CallQueuePush(&queue, [](BufferHandle*, BufferHandle*) {}, nullptr, nullptr), 0u)
            << "round " << round;
        EXPECT_EQ(CallQueueRunAll(&queue), 1u);
        FrameworkShutdown();
        EXPECT_EQ(LiveBlockCount(), blocks) << "round " << round;
    }
}

// The all-freed event is a hint only: an object made and released on two
// threads can leave the count at 0 with the event reset (the maker's reset
// landing after the releaser's set). A waiter already asleep then must still
// see the 0 long before its deadline.
TEST(LiveCounters, AWaiterSeesTheCountReachZeroWithoutTheEvent)
{
    LiveCounter counter = {};
    LiveCounterOpen(counter);
    LiveCounterEnter(counter);
    int result = -1;
    TestEvent returned;
    std::thread waiter([&] {
        result = LiveCounterWait(counter, 60000);
        returned.Set();
    });
    Sleep(100);  // the waiter is asleep on the event
    InterlockedDecrement(&counter.count);  // the 1->0 whose set a later reset undid
    EXPECT_TRUE(returned.Wait(20000)) << "the waiter slept on a stale event";
    waiter.join();
    EXPECT_EQ(result, 1);
    LiveCounterClose(counter);
}

}  // namespace
