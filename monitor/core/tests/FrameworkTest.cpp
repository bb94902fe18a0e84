#include "ControlBlock.h"
#include "ExitCallbacks.h"
#include "FixedWaits.h"
#include "Framework.h"
#include "TrackedBlock.h"
#include <gtest/gtest.h>
#include <string>

namespace {

std::string g_ran;

TEST(Framework, ExitCallbacksRunLastRegisteredFirstIncludingLateOnes)
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

}  // namespace
