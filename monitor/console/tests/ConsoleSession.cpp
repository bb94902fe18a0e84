#include "ConsoleSession.h"

namespace {

constexpr DWORD kPollMs = 50;

BOOL WINAPI IgnoreControlEvent(DWORD) { return TRUE; }

}  // namespace

ConsoleSession::~ConsoleSession()
{
    if (pi_.hProcess) {
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(pi_.hProcess, 1);
        WaitForSingleObject(pi_.hProcess, 5000);
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }
    if (output_ != INVALID_HANDLE_VALUE)
        CloseHandle(output_);
    if (input_ != INVALID_HANDLE_VALUE)
        CloseHandle(input_);
    if (attached_)
        FreeConsole();
}

bool ConsoleSession::Start(const std::string& program, const std::string& arguments,
                           DWORD timeoutMs, const std::string& directory)
{
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, directory.empty() ? nullptr : directory.c_str(),
                        &si, &pi_))
        return false;
    // A handler rather than ignoring Ctrl-C, which later programs would inherit.
    SetConsoleCtrlHandler(IgnoreControlEvent, TRUE);
    FreeConsole();
    const DWORD start = GetTickCount();
    while (!AttachConsole(pi_.dwProcessId)) {
        if (GetTickCount() - start > timeoutMs || WaitForSingleObject(pi_.hProcess, 0) == 0)
            return false;
        Sleep(kPollMs);
    }
    attached_ = true;
    output_ = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    input_ = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return output_ != INVALID_HANDLE_VALUE && input_ != INVALID_HANDLE_VALUE;
}

namespace {

// The buffer's rows as they stand, blanks included.
std::vector<std::wstring> RawRows(HANDLE output)
{
    std::vector<std::wstring> rows;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output, &info))
        return rows;
    std::wstring row(info.dwSize.X, L' ');
    for (SHORT y = 0; y < info.dwSize.Y; ++y) {
        DWORD read = 0;
        if (!ReadConsoleOutputCharacterW(output, &row[0], info.dwSize.X, COORD{0, y}, &read))
            break;
        rows.emplace_back(row, 0, read);
    }
    return rows;
}

std::string Ascii(const std::wstring& text)
{
    std::string ascii;
    for (wchar_t c : text)
        ascii += c < 0x80 ? static_cast<char>(c) : '?';
    return ascii;
}

}  // namespace

std::vector<std::wstring> ConsoleSession::WideScreen()
{
    std::vector<std::wstring> rows = RawRows(output_);
    for (std::wstring& line : rows)
        line.erase(line.find_last_not_of(L" \0", std::wstring::npos, 2) + 1);
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    return rows;
}

std::vector<std::string> ConsoleSession::Screen()
{
    std::vector<std::string> rows;
    for (const std::wstring& row : WideScreen())
        rows.push_back(Ascii(row));
    return rows;
}

std::string ConsoleSession::Text()
{
    std::string text;
    for (const std::wstring& row : RawRows(output_))
        text += Ascii(row);
    return text;
}

bool ConsoleSession::WaitForScreen(
    const std::function<bool(const std::vector<std::string>&)>& accept, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (accept(Screen()))
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(kPollMs);
    }
}

bool ConsoleSession::WaitForText(const std::string& text, DWORD timeoutMs)
{
    return WaitForScreen([&](const std::vector<std::string>& rows) { return FindRow(rows, text) >= 0; }, timeoutMs);
}

int ConsoleSession::FindRow(const std::vector<std::string>& rows, const std::string& text, int from)
{
    for (int i = from; i < static_cast<int>(rows.size()); ++i)
        if (rows[i].find(text) != std::string::npos)
            return i;
    return -1;
}

void ConsoleSession::PressKey(WORD virtualKey, char character, DWORD controlKeys)
{
    INPUT_RECORD keys[2] = {};
    for (int i = 0; i < 2; ++i) {
        keys[i].EventType = KEY_EVENT;
        keys[i].Event.KeyEvent.bKeyDown = i == 0;
        keys[i].Event.KeyEvent.wRepeatCount = 1;
        keys[i].Event.KeyEvent.wVirtualKeyCode = virtualKey;
        keys[i].Event.KeyEvent.uChar.AsciiChar = character;
        keys[i].Event.KeyEvent.dwControlKeyState = controlKeys;
    }
    DWORD written = 0;
    WriteConsoleInputA(input_, keys, 2, &written);
}

long ConsoleSession::WaitExit(DWORD timeoutMs)
{
    if (WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<long>(code);
}

std::string ModuleDirectory()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, n);
    return directory.substr(0, directory.find_last_of('\\') + 1);
}
