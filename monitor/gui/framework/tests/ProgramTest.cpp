// The demo as a running program: its exit codes after a failed start and after
// the loop ends, with its frame gone.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

class Program {
public:
    explicit Program(const char* arguments)
    {
        std::string line = std::string("fwdemo.exe ") + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &info) != 0;
    }
    ~Program()
    {
        if (!started)
            return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    DWORD ExitCode(DWORD waitMs)
    {
        if (WaitForSingleObject(info.hProcess, waitMs) != WAIT_OBJECT_0)
            return STILL_ACTIVE;
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    // The program's main window, once it shows (bounded wait).
    HWND MainWindow(DWORD waitMs)
    {
        for (DWORD waited = 0; waited < waitMs; waited += 50) {
            HWND found = nullptr;
            while ((found = FindWindowExA(nullptr, found, nullptr, "Frame Demo"))) {
                DWORD pid = 0;
                GetWindowThreadProcessId(found, &pid);
                if (pid == info.dwProcessId && IsWindowVisible(found))
                    return found;
            }
            Sleep(50);
        }
        return nullptr;
    }
    bool started = false;
    PROCESS_INFORMATION info{};
};

TEST(Program, AFailedStartStillRunsTheExitHookAndShowsNoWindow)
{
    Program program("/fail");
    ASSERT_TRUE(program.started);
    EXPECT_EQ(program.ExitCode(20000), 3u);
}

TEST(Program, TheQuitCodeBecomesTheExitCodeAndNoFrameIsLeft)
{
    Program program("");
    ASSERT_TRUE(program.started);
    HWND window = program.MainWindow(20000);
    ASSERT_NE(window, nullptr);
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    ASSERT_TRUE(PostThreadMessageA(thread, WM_QUIT, 7, 0));
    EXPECT_EQ(program.ExitCode(20000), 7u);  // 99 would mean a frame outlived its window
}

}  // namespace
