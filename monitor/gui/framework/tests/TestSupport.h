#pragma once
// What the framework's tests share: pumping the loop as the program does, seams
// that restore themselves, and the demo program started in-process.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "DemoApp.h"
#include "DemoFrame.h"
#include "TestSeams.h"

// Dispatches what is queued through the application's loop, then runs its idle update.
void PumpPending(CWinApp& app);

// Message boxes answered with one button; every text shown is kept.
class MessageBoxLog {
public:
    explicit MessageBoxLog(int answer = IDOK);
    std::vector<std::string> texts;
    std::vector<UINT> types;
    int answer;

private:
    ScopedSeam<MessageBoxAnswer> seam_;
};

// Text of a window or a dialog's control.
std::string TextOf(HWND window);

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
