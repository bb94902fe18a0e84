#include "CoreTestFixture.h"
#include "ControlBlock.h"
#include "FixedWaits.h"
#include "Framework.h"
#include "TrackedBlock.h"

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
