#pragma once
// What the tests of the Preferences sheet, the drawn menus and the About box
// share besides the framework's testing library: an application object that keeps
// the help topics asked for, modal windows driven by steps, and a scratch registry key.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "FrameworkTesting.h"
#include "TestSeams.h"
#include "WinApp.h"

class UiTestApp : public CWinApp {
public:
    UiTestApp() : CWinApp("Quel UI Test") {}
    std::string OpenHelpTopic(const char* topic) override
    {
        helpTopics.push_back(topic);
        return topic;
    }
    std::vector<std::string> helpTopics;
};

UiTestApp& TestApp();

// The scenes for screenshots (tests named DISABLED_Scene..., run with
// --gtest_also_run_disabled_tests): keeps the loop running for QUEL_UI_HOLD_MS
// milliseconds (3000 when unset) while the picture is taken from outside.
void HoldForScreenshot();
DWORD ScreenshotHoldMs();

// Drives every modal window that comes up with the given steps; counts the runs.
class ModalSteps {
public:
    explicit ModalSteps(std::function<void(CWnd& modal)> steps);
    int runs = 0;

private:
    ScopedSeam<ModalDriver> seam_;
};

// A button click as the dialog manager reports it.
void Click(HWND dialog, int id);

// A fresh key "Software\QuelUiTest\<unique>" under HKEY_CURRENT_USER, deleted at the end.
class ScratchKey {
public:
    ScratchKey();
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    HKEY Get() const { return key_; }

private:
    std::string path_;
    HKEY key_ = nullptr;
};
