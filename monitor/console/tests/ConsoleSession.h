#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Runs a console program in a console of its own and watches it as a user
// would: reads its screen and types on its keyboard. One session at a time
// per test process (a process attaches to one console only).
class ConsoleSession {
public:
    ConsoleSession() = default;
    ~ConsoleSession();  // ends a program still running
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    // Starts "program arguments" in a new console, in `directory` (empty: this
    // process's own); false when it cannot be started or its console cannot
    // be attached within the time. The control events that the session's
    // keys raise reach this process too, which takes no notice of them.
    bool Start(const std::string& program, const std::string& arguments, DWORD timeoutMs = 20000,
               const std::string& directory = {});

    // The screen buffer's rows, trailing blanks cut; as characters, and as
    // ASCII text ('?' for any other character).
    std::vector<std::wstring> WideScreen();
    std::vector<std::string> Screen();
    // The whole buffer as one string of full-width rows, so that a line
    // longer than the screen is wide reads on unbroken.
    std::string Text();
    // Polls the screen until `accept` takes it; false after the time-out.
    bool WaitForScreen(const std::function<bool(const std::vector<std::string>&)>& accept,
                       DWORD timeoutMs);
    // Polls the screen until a row holds `text`; false after the time-out.
    bool WaitForText(const std::string& text, DWORD timeoutMs);
    // Index of the first row at or after `from` that holds `text`, or -1.
    static int FindRow(const std::vector<std::string>& rows, const std::string& text, int from = 0);

    void PressKey(WORD virtualKey, char character, DWORD controlKeys = 0);
    void PressCtrlC() { PressKey('C', 3, LEFT_CTRL_PRESSED); }
    // The exit code, or -1 while still running after the time-out.
    long WaitExit(DWORD timeoutMs);
    DWORD processId() const { return pi_.dwProcessId; }

private:
    PROCESS_INFORMATION pi_{};
    bool attached_ = false;
    HANDLE output_ = INVALID_HANDLE_VALUE;
    HANDLE input_ = INVALID_HANDLE_VALUE;
};

// The directory of the running test executable, with a trailing backslash.
std::string ModuleDirectory();
