#pragma once
// quel.exe as a user meets it, from another process: started with a command
// line, its main window found by its class, its status pane and log view read
// back through the controls, its message boxes read and answered.
#include <windows.h>
#include <richedit.h>

#include <string>
#include <vector>

class QuelProcess {
public:
    QuelProcess() = default;
    ~QuelProcess();  // ends a program still running
    QuelProcess(const QuelProcess&) = delete;
    QuelProcess& operator=(const QuelProcess&) = delete;

    // Starts quel.exe beside this program with the arguments.
    bool Start(const std::string& arguments);
    // Its main window once it exists (bounded wait), or none.
    HWND MainWindow(DWORD timeoutMs = 20000) const;
    // A message box of this process once one shows (bounded wait), or none.
    HWND MessageBox(DWORD timeoutMs) const;
    // The exit code, or -1 while it still runs after the time-out.
    long WaitExit(DWORD timeoutMs) const;
    DWORD processId() const { return info_.dwProcessId; }
    HANDLE process() const { return info_.hProcess; }

    // Pane `index` of the main window's status bar.
    std::string StatusPane(HWND mainWindow, int index) const;
    // The log view's text.
    static std::string LogText(HWND mainWindow);
    // The character format of the log view's characters [start, end).
    CHARFORMATA LogFormat(HWND mainWindow, long start, long end) const;

private:
    // Sends a message whose lParam points to `size` bytes, which live in the
    // program's memory for the call and are copied in and back out.
    LRESULT SendWithBuffer(HWND window, UINT message, WPARAM wParam, void* buffer, size_t size) const;

    PROCESS_INFORMATION info_{};
};

// The windows of every running quel, by their class.
std::vector<HWND> QuelMainWindows();
// The text of a message box and the press of one of its buttons.
std::string MessageBoxText(HWND box);
void PressMessageBoxButton(HWND box, int button);
// A registry value of type REG_SZ set while the object lives, then deleted.
class ScopedRegistryValue {
public:
    ScopedRegistryValue(HKEY root, const std::string& path, const char* name, const std::string& value);
    ~ScopedRegistryValue();
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;
    bool set() const { return set_; }

private:
    HKEY key_ = nullptr;
    std::string name_;
    bool set_ = false;
};

// Runs a program to its end with no window; its exit code, or -1 after the time-out.
long RunProgram(const std::string& commandLine, DWORD timeoutMs);
// The directory of this test program, with a trailing backslash.
std::string ProgramDirectory();
