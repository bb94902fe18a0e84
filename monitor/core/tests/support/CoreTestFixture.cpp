#include "support/CoreTestFixture.h"
#include "runtime/ControlBlock.h"
#include "runtime/FixedWaits.h"
#include "runtime/Framework.h"
#include "runtime/TrackedBlock.h"
#include <windows.h>

void CoreTest::SetUp()
{
    CoreFixedWaits().shutdownMs = kLeakWaitMs;
    objectsBefore_ = LiveObjectCount();
    blocksBefore_ = LiveBlockCount();
    FrameworkStartup();
}

void CoreTest::TearDown()
{
    BlockAllocFailAfter(-1);
    FrameworkShutdown();
    CoreFixedWaits() = FixedWaits();
    EXPECT_EQ(LiveObjectCount(), objectsBefore_) << "objects still alive after the test";
    EXPECT_EQ(LiveBlockCount(), blocksBefore_) << "tracked blocks still allocated after the test";
}

bool CoreTest::WaitDestroyed(ControlBlock* cb)
{
    for (DWORD start = GetTickCount(); cb->strong != 0;) {
        if (GetTickCount() - start > 20000)
            return false;
        Sleep(1);
    }
    return true;
}
