// gatecfg.exe as a user starts it: its start button is pressed through the
// window, a fake controller connects to port 1001, and WM_CLOSE ends it.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "FakeController.h"

namespace {

using fakecontroller::FakeController;

const DWORD kWaitMs = 30000;

// Polls another process's state, which no event of ours announces.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = kWaitMs)
{
    const DWORD start = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

struct TWindowSearch {
    DWORD ProcessId;  // 0: every window
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<TWindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (search->ProcessId == 0 || (pid == search->ProcessId && IsWindowVisible(window)))
        search->Found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId)
{
    TWindowSearch search{processId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    TWindowSearch search{0, {}};
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND ChildByText(HWND parent, const std::wstring& className, const std::wstring& text)
{
    for (HWND child : ChildWindows(parent))
        if (_wcsicmp(ClassOf(child).c_str(), className.c_str()) == 0 && WindowText(child) == text)
            return child;
    return nullptr;
}

// Every text of a message box the program shows (its caption and message).
std::wstring MessageBoxText(DWORD processId, HWND mainWindow)
{
    for (HWND window : TopLevelWindowsOf(processId)) {
        if (window == mainWindow || ClassOf(window) != L"#32770")
            continue;
        std::wstring text = WindowText(window);
        for (HWND child : ChildWindows(window))
            if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0 && !WindowText(child).empty())
                text += L": " + WindowText(child);
        return text;
    }
    return {};
}

std::string Narrow(const std::wstring& text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], length, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

// The program, started next to this test and ended at the end of the test
// if it has not exited by itself.
class TProgram {
public:
    TProgram()
    {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring exe = path;
        exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"gatecfg.exe";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + exe + L"\"";
        Started = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &Info) != 0;
    }
    ~TProgram()
    {
        if (!Started)
            return;
        if (WaitForSingleObject(Info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(Info.hProcess, 99);
        CloseHandle(Info.hThread);
        CloseHandle(Info.hProcess);
    }
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    bool Started = false;
    PROCESS_INFORMATION Info = {};
};

TEST(GatecfgExe, StartsListensOnPort1001KeepsAControllerAliveAndClosesOnRequest)
{
    TProgram program;
    ASSERT_TRUE(program.Started) << "CreateProcess failed: " << GetLastError();
    const DWORD pid = program.Info.dwProcessId;

    HWND form = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND window : TopLevelWindowsOf(pid))
            if (WindowText(window) == L"Form1")
                form = window;
        return form != nullptr;
    })) << "the main form did not appear";
    HWND start = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (start = ChildByText(form, L"Button", L"Запустить")) != nullptr; }))
        << "no start button";

    // Posted: a failing Listen shows a modal box from inside the click.
    ASSERT_TRUE(PostMessageW(start, BM_CLICK, 0, 0));
    std::wstring failure;
    ASSERT_TRUE(WaitUntil([&] {
        failure = MessageBoxText(pid, form);
        return !failure.empty() || WindowText(start) == L"Остановить";
    }));
    ASSERT_TRUE(failure.empty()) << "gatecfg.exe could not listen on port 1001: " << Narrow(failure);

    fakecontroller::Options options;
    options.port = 1001;
    options.pingIntervalMs = 60000;
    FakeController controller(options);
    controller.Start();
    ASSERT_TRUE(controller.WaitForBanner(kWaitMs));
    EXPECT_EQ(controller.Banner(), "Welcome to TcpSrv");
    ASSERT_TRUE(controller.WaitForReceived(1, kWaitMs));
    EXPECT_EQ(controller.Received(), std::vector<std::string>{"$127BECHOCC"});

    ASSERT_TRUE(PostMessageW(form, WM_CLOSE, 0, 0));
    ASSERT_EQ(WaitForSingleObject(program.Info.hProcess, kWaitMs), WAIT_OBJECT_0) << "still running";
    DWORD exitCode = 1;
    GetExitCodeProcess(program.Info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(controller.WaitForClosed(kWaitMs));
}

}  // namespace
