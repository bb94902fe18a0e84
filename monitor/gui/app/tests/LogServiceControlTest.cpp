// Neither the log service nor the log driver of Windows 9x is installed where
// the tests run: each routine gives the system's own code for that.
#include <gtest/gtest.h>

#include "LogServiceControl.h"

TEST(LogServiceControl, AServiceThatIsNotInstalledGivesItsSystemErrorCode)
{
    EXPECT_EQ(StartLogService(), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST(LogServiceControl, ADeviceThatDoesNotExistGivesItsSystemErrorCode)
{
    EXPECT_EQ(ProbeLogDriver(), DWORD(ERROR_FILE_NOT_FOUND));
}
