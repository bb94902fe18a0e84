#include "QuelProcess.h"

#include "InstanceControl.h"

#include <commctrl.h>

namespace {

constexpr DWORD kPollMs = 20;

// Polls until `find` gives a window; none after the time-out.
template <class Find>
HWND WaitForWindow(Find find, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount();;) {
        if (HWND found = find())
            return found;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(kPollMs);
    }
}

DWORD OwnerOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

}  // namespace

std::string ProgramDirectory()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory = path;
    return directory.substr(0, directory.rfind('\\') + 1);
}

QuelProcess::~QuelProcess()
{
    if (!info_.hProcess)
        return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool QuelProcess::Start(const std::string& arguments)
{
    const std::string program = ProgramDirectory() + "quel.exe";
    std::string line = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info_) != 0;
}

HWND QuelProcess::MainWindow(DWORD timeoutMs) const
{
    return WaitForWindow(
        [this] {
            for (HWND window : QuelMainWindows())
                if (OwnerOf(window) == info_.dwProcessId)
                    return window;
            return HWND(nullptr);
        },
        timeoutMs);
}

HWND QuelProcess::MessageBox(DWORD timeoutMs) const
{
    return WaitForWindow(
        [this] {
            for (HWND box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", nullptr));)
                if (OwnerOf(box) == info_.dwProcessId && IsWindowVisible(box))
                    return box;
            return HWND(nullptr);
        },
        timeoutMs);
}

long QuelProcess::WaitExit(DWORD timeoutMs) const
{
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return long(code);
}

LRESULT QuelProcess::SendWithBuffer(HWND window, UINT message, WPARAM wParam, void* buffer, size_t size) const
{
    void* remote = VirtualAllocEx(info_.hProcess, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return 0;
    WriteProcessMemory(info_.hProcess, remote, buffer, size, nullptr);
    LRESULT result = SendMessageA(window, message, wParam, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(info_.hProcess, remote, buffer, size, nullptr);
    VirtualFreeEx(info_.hProcess, remote, 0, MEM_RELEASE);
    return result;
}

std::string QuelProcess::StatusPane(HWND mainWindow, int index) const
{
    HWND status = GetDlgItem(mainWindow, 59393);
    char text[256] = {};
    SendWithBuffer(status, SB_GETTEXTA, WPARAM(index), text, sizeof text - 1);
    return text;
}

std::string QuelProcess::LogText(HWND mainWindow)
{
    HWND view = GetDlgItem(mainWindow, 0xE900);
    std::string text(size_t(SendMessageA(view, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    text.resize(size_t(SendMessageA(view, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

CHARFORMATA QuelProcess::LogFormat(HWND mainWindow, long start, long end) const
{
    HWND view = GetDlgItem(mainWindow, 0xE900);
    CHARRANGE range{start, end};
    SendWithBuffer(view, EM_EXSETSEL, 0, &range, sizeof range);
    CHARFORMATA format{};
    format.cbSize = sizeof format;
    SendWithBuffer(view, EM_GETCHARFORMAT, SCF_SELECTION, &format, sizeof format);
    return format;
}

std::vector<HWND> QuelMainWindows()
{
    std::vector<HWND> windows;
    for (HWND found = nullptr; (found = FindWindowExA(nullptr, found, kMainFrameClassName, nullptr));)
        windows.push_back(found);
    return windows;
}

std::string MessageBoxText(HWND box)
{
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

void PressMessageBoxButton(HWND box, int button)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), LPARAM(GetDlgItem(box, button)));
}

ScopedRegistryValue::ScopedRegistryValue(HKEY root, const std::string& path, const char* name,
                                         const std::string& value)
    : name_(name)
{
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS) {
        key_ = nullptr;
        return;
    }
    set_ = RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD(value.size() + 1)) == ERROR_SUCCESS;
}

ScopedRegistryValue::~ScopedRegistryValue()
{
    if (!key_)
        return;
    RegDeleteValueA(key_, name_.c_str());
    RegCloseKey(key_);
}

long RunProgram(const std::string& commandLine, DWORD timeoutMs)
{
    std::string line = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info))
        return -1;
    long result = -1;
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        result = long(code);
    } else {
        TerminateProcess(info.hProcess, 1);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return result;
}
