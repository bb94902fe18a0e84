#pragma once
// What the RX/TX windows' tests share: quel's application object and the core
// and COM for the length of each test. The loop pump and the seams through
// which a test answers for a person are the framework's (FrameworkTesting.h).
#include "FrameworkTesting.h"
#include "MonitorApp.h"
#include "support/CoreTestFixture.h"

// The test program's application object: quel's, never started; its list of
// RX/TX windows and its help are those the windows use.
CMonitorApp& TestApp();

// Core and COM started for each test; every object and block made by the
// test must be gone at its end.
class RxTxTest : public CoreTest {
protected:
    void SetUp() override;
    void TearDown() override;
};
