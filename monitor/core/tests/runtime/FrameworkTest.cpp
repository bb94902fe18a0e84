#include "exec/CallQueue.h"
#include "runtime/BufferHandle.h"
#include "runtime/ControlBlock.h"
#include "runtime/ExitCallbacks.h"
#include "runtime/FixedWaits.h"
#include "runtime/Framework.h"
#include "runtime/TrackedBlock.h"
#include <gtest/gtest.h>
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
    BufferHandle h;
    ASSERT_EQ(BufAlloc(&h, nullptr, nullptr, 16), kStatusSuccess);
    BufHandleRelease(&h);
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
    BufferHandle kept, queued;
    ASSERT_EQ(BufAlloc(&kept, nullptr, nullptr, 16), kStatusSuccess);
    ASSERT_EQ(BufAlloc(&queued, nullptr, nullptr, 16), kStatusSuccess);
    ListHead queue;
    CallQueueInit(&queue);
    ASSERT_EQ(CallQueuePush(&queue, [](BufferHandle*, BufferHandle*) {}, &queued, nullptr), 0u);
    BufHandleRelease(&queued);

    FrameworkShutdown();
    EXPECT_EQ(g_ran, "stopped ") << "exit callbacks must run after the time-out";
    EXPECT_EQ(LiveObjectCount(), objects + 2);

    // The control-block and pending-call pools outlived the shut-down: releasing
    // now must be safe, and a later start-up carries on with them.
    CallQueueClear(&queue);
    BufHandleRelease(&kept);
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

}  // namespace
