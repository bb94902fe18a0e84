#include "Win32ConsoleScreen.h"
#include "containers/AnsiText.h"
#include "runtime/ScopedLock.h"

#include <algorithm>
#include <cstring>
#include <time.h>

namespace {

constexpr size_t kPendingLimit = 64 * 1024;
constexpr size_t kConsoleChunk = 8 * 1024;  // characters per console write: older consoles refuse long ones

}  // namespace

Win32ConsoleScreen::Win32ConsoleScreen(HANDLE output) : output_(output)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    console_ = GetConsoleScreenBufferInfo(output_, &info) != 0;
    InitializeCriticalSection(&lock_);
}

Win32ConsoleScreen::~Win32ConsoleScreen()
{
    Flush();
    DeleteCriticalSection(&lock_);
}

void Win32ConsoleScreen::WriteOut(const char* bytes, size_t length)
{
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(output_, bytes, static_cast<DWORD>(length), &written, nullptr) || written == 0)
            return;  // nowhere to write to: nothing else to be done with the text
        bytes += written;
        length -= written;
    }
}

void Win32ConsoleScreen::Write(const wchar_t* text, size_t length)
{
    ScopedLock hold(lock_);
    if (console_) {
        while (length > 0) {
            DWORD written = 0;
            if (!WriteConsoleW(output_, text, static_cast<DWORD>(std::min<size_t>(length, kConsoleChunk)),
                               &written, nullptr) ||
                written == 0)
                return;
            text += written;
            length -= written;
        }
        return;
    }
    const std::string ansi = WideToAnsi(text, length);
    for (char c : ansi) {
        if (c == '\n')
            pending_ += '\r';
        pending_ += c;
    }
    if (pending_.size() >= kPendingLimit) {
        WriteOut(pending_.data(), pending_.size());
        pending_.clear();
    }
}

bool Win32ConsoleScreen::GetCursor(ScreenCursor* at)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!console_ || !GetConsoleScreenBufferInfo(output_, &info))
        return false;
    *at = {info.dwCursorPosition.X, info.dwCursorPosition.Y};
    return true;
}

void Win32ConsoleScreen::SetCursor(ScreenCursor at)
{
    COORD position = {static_cast<SHORT>(at.column), static_cast<SHORT>(at.row)};
    SetConsoleCursorPosition(output_, position);
}

void Win32ConsoleScreen::Flush()
{
    ScopedLock hold(lock_);
    if (pending_.empty())
        return;
    WriteOut(pending_.data(), pending_.size());
    pending_.clear();
}

void Win32ConsoleScreen::Print(const char* text)
{
    const std::wstring wide = AnsiToWide(text, strlen(text));
    Write(wide.data(), wide.size());
    Flush();
}

Win32ConsoleScreen& StandardOutputScreen()
{
    static Win32ConsoleScreen* const screen = new Win32ConsoleScreen(GetStdHandle(STD_OUTPUT_HANDLE));
    return *screen;
}

void SystemDateTime::Now(char date[16], char time[16])
{
    _strdate(date);
    _strtime(time);
}
