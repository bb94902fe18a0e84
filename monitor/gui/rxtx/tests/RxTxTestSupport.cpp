#include "RxTxTestSupport.h"

#include <objbase.h>

#include <gtest/gtest.h>

CMonitorApp& TestApp()
{
    static CMonitorApp app;
    return app;
}

void RxTxTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    CoreTest::SetUp();
}

void RxTxTest::TearDown()
{
    PumpPending();
    CoreTest::TearDown();
    CoUninitialize();
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    PrepareApplication(TestApp(), GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
    return RUN_ALL_TESTS();
}
