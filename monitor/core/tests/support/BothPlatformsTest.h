#pragma once
#include "runtime/Platform.h"
#include "support/CoreTestFixture.h"
#include <string>

// A core test run twice: as on NT (parameter false) and as on Windows 9x
// (true). The platform answer is set before the core starts and given back to
// the system after it has shut down.
class BothPlatformsTest : public CoreTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        SetNotNtPlatformForTesting(GetParam() ? 1 : 0);
        CoreTest::SetUp();
    }
    void TearDown() override
    {
        CoreTest::TearDown();
        SetNotNtPlatformForTesting(-1);
    }
};

// Names the two runs of INSTANTIATE_TEST_SUITE_P over ::testing::Values(false, true).
inline std::string PlatformName(const ::testing::TestParamInfo<bool>& info)
{
    return info.param ? "NotNt" : "Nt";
}
