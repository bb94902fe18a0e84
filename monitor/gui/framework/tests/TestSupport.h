#pragma once
// The framework's own tests: the demo program started in-process.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "DemoApp.h"
#include "DemoFrame.h"
#include "FrameworkTesting.h"

// The demo program, started as its InitInstance does, with its main frame shown.
class DemoAppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Sends a command to the main frame as a menu does.
    void Command(UINT id);
    std::string PaneText(int index) const;

    CDemoApp app;
    CDemoFrame* frame = nullptr;
};
