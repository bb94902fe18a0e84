// quel.exe as a running program: one instance at a time, the switches /stop,
// /minimize, /autorun and /noautorun, the exit question and the stop command.
// No test leaves a message box open: each is found and answered.
#include "Autorun.h"
#include "InstanceControl.h"
#include "LoopPump.h"
#include "QuelIds.h"
#include "QuelProcess.h"
#include "RegistryKey.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr DWORD kStartMs = 20000;
constexpr DWORD kExitMs = 15000;

// The exit question that closing asks, and "Only one instance ..." of a start that cannot reach the first.
const char kExitQuestion[] =
    "Do you really want to exit Pelko monitor?\nYou will not be able to receive notifications on errors and "
    "events on Pelko Virtual Devices.";
const char kOneInstance[] = "Only one instance of DEZ iviruzi allowed";

// A first instance, up and shown.
class RunningQuel {
public:
    RunningQuel()
    {
        started = quel.Start("");
        window = started ? quel.MainWindow(kStartMs) : nullptr;
        for (DWORD waited = 0; window && !IsWindowVisible(window) && waited < kStartMs; waited += 20)
            Sleep(20);
    }
    ~RunningQuel()
    {
        if (IsWindow(window))
            PostMessageA(window, WM_COMMAND, ID_STOP_INSTANCE, 0);
        quel.WaitExit(kExitMs);
    }
    bool up() const { return window && IsWindowVisible(window); }

    QuelProcess quel;
    bool started = false;
    HWND window = nullptr;
};

// Runs a start that is expected to end by itself; false when a message box showed meanwhile.
bool RunsToItsEndWithoutABox(const std::string& arguments, long* exitCode)
{
    QuelProcess other;
    if (!other.Start(arguments))
        return false;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kExitMs;) {
        if (HWND box = other.MessageBox(0)) {
            PressMessageBoxButton(box, IDOK);
            other.WaitExit(kExitMs);
            return false;
        }
        if ((*exitCode = other.WaitExit(20)) != -1)
            return true;
    }
    return false;
}

TEST(QuelProgram, ASecondStartShowsTheFirstWindowOrWithMinimizeHidesItAndMakesNone)
{
    RunningQuel first;
    ASSERT_TRUE(first.up());
    EXPECT_EQ(QuelMainWindows().size(), 1u);

    long code = -1;
    ASSERT_TRUE(RunsToItsEndWithoutABox("/minimize", &code));
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(IsWindowVisible(first.window));
    EXPECT_EQ(QuelMainWindows().size(), 1u);

    ASSERT_TRUE(RunsToItsEndWithoutABox("", &code));
    EXPECT_TRUE(IsWindowVisible(first.window));
    EXPECT_FALSE(IsIconic(first.window));
    EXPECT_EQ(QuelMainWindows(), std::vector<HWND>{first.window});
}

TEST(QuelProgram, StopEndsTheRunningInstanceAndWithoutOneExitsAtOnce)
{
    {
        RunningQuel first;
        ASSERT_TRUE(first.up());
        long code = -1;
        ASSERT_TRUE(RunsToItsEndWithoutABox("/stop", &code));
        EXPECT_EQ(code, 0);
        EXPECT_EQ(first.quel.WaitExit(kExitMs), 0);
        EXPECT_FALSE(IsWindow(first.window));
    }
    long code = -1;
    const DWORD start = GetTickCount();
    ASSERT_TRUE(RunsToItsEndWithoutABox("/stop", &code)) << "no window and no message";
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_TRUE(QuelMainWindows().empty());
}

// A top-level window of another program whose title holds "Pelko" and
// "Monitor"; it counts the stop commands it gets.
class LookAlikeWindow {
public:
    LookAlikeWindow()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Procedure;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QuelTest.LookAlike";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, wc.lpszClassName, "Pelko Monitor - V1.0.0.0", WS_OVERLAPPEDWINDOW, 0, 0,
                                 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
        stops() = 0;
    }
    ~LookAlikeWindow() { DestroyWindow(window); }
    static int& stops()
    {
        static int count = 0;
        return count;
    }
    HWND window;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_COMMAND && LOWORD(wParam) == ID_STOP_INSTANCE)
            ++stops();
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

// Waits for the process while this thread's windows get their messages.
long WaitServing(const QuelProcess& quel, DWORD timeoutMs)
{
    const bool exited =
        PumpUntil([&] { return WaitForSingleObject(quel.process(), 0) == WAIT_OBJECT_0; }, timeoutMs);
    return exited ? quel.WaitExit(0) : -1;
}

TEST(QuelProgram, WithoutAStoredHandleStopFindsQuelByItsWindowClassAndSparesLookAlikes)
{
    RunningQuel first;
    ASSERT_TRUE(first.up());
    LookAlikeWindow lookAlike;
    ASSERT_NE(lookAlike.window, nullptr);
    {
        // The handle is not there yet, as while the first instance is still starting.
        CSharedMemory region;
        ASSERT_TRUE(region.SharedMemoryOpen(kInstanceRegionName));
        std::memset(region.SharedMemoryPayload(), 0, 4);
    }
    QuelProcess stopper;
    ASSERT_TRUE(stopper.Start("/stop"));
    EXPECT_EQ(WaitServing(stopper, kExitMs), 0);
    EXPECT_EQ(first.quel.WaitExit(kExitMs), 0);
    EXPECT_EQ(LookAlikeWindow::stops(), 0);
}

TEST(QuelProgram, AStartThatCannotReachTheFirstInstanceSaysSoAndMakesNoWindow)
{
    for (uint32_t payload : {0u, 4u}) {
        SCOPED_TRACE(payload ? "no handle stored yet" : "a region without room for the handle");
        CSharedMemory region;
        ASSERT_TRUE(region.SharedMemoryCreate(kInstanceRegionName, payload));
        QuelProcess quel;
        ASSERT_TRUE(quel.Start(""));
        HWND box = quel.MessageBox(kStartMs);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), kOneInstance);
        EXPECT_TRUE(QuelMainWindows().empty());
        PressMessageBoxButton(box, IDOK);
        EXPECT_EQ(quel.WaitExit(kExitMs), 0);
    }
}

TEST(QuelProgram, TheExitQuestionKeepsItOnCancelAndEndsItOnOk)
{
    RunningQuel first;
    ASSERT_TRUE(first.up());
    for (int answer : {IDCANCEL, IDOK}) {
        PostMessageA(first.window, WM_CLOSE, 0, 0);
        HWND box = first.quel.MessageBox(kStartMs);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), kExitQuestion);
        PressMessageBoxButton(box, answer);
        if (answer == IDCANCEL) {
            EXPECT_EQ(first.quel.WaitExit(1000), -1);
            while (IsWindow(box))
                Sleep(20);
            EXPECT_TRUE(IsWindow(first.window));
        }
    }
    EXPECT_EQ(first.quel.WaitExit(kExitMs), 0);
}

TEST(QuelProgram, TheStopCommandEndsItWithoutAQuestion)
{
    RunningQuel first;
    ASSERT_TRUE(first.up());
    PostMessageA(first.window, WM_COMMAND, ID_STOP_INSTANCE, 0);
    EXPECT_EQ(first.quel.WaitExit(kExitMs), 0);
    EXPECT_EQ(first.quel.MessageBox(0), nullptr);
}

std::string RunValue(HKEY root)
{
    win32::UniqueRegKey key;
    char data[512] = {};
    DWORD size = sizeof data - 1, type = 0;
    if (!OpenRegistryKey(key, root, kRunKeyPath, KEY_READ) ||
        RegQueryValueExA(key.get(), kAutorunValueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
        return "(none)";
    return data;
}

TEST(QuelProgram, AutorunWritesTheUsersRunValueAndNoautorunWinsOverIt)
{
    const std::string expected = AutorunCommand(ProgramDirectory() + "quel.exe");
    ASSERT_TRUE(SetAutorun(true, HKEY_LOCAL_MACHINE));  // as an older installation left it
    long code = -1;
    ASSERT_TRUE(RunsToItsEndWithoutABox("/autorun /stop", &code));
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), expected);
    EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE), "(none)");

    ASSERT_TRUE(SetAutorun(true, HKEY_LOCAL_MACHINE));
    ASSERT_TRUE(RunsToItsEndWithoutABox("/autorun /noautorun /stop", &code));
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), "(none)");
    EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE), "(none)");
}

}  // namespace
