#pragma once
#include "ConsoleScreen.h"

#include <windows.h>
#include <string>

// The standard output as a ConsoleScreen. On a console every write goes out at
// once, as UTF-16, and the cursor can be moved; otherwise (a file or a pipe)
// the text is converted to the ANSI code page with CR LF line ends, as the C
// runtime writes a text file, and collected until Flush, or until a good
// amount has gathered. Writes from the monitor's strand and the main thread
// are serialised.
class Win32ConsoleScreen : public ConsoleScreen {
public:
    explicit Win32ConsoleScreen(HANDLE output);
    ~Win32ConsoleScreen();
    Win32ConsoleScreen(const Win32ConsoleScreen&) = delete;
    Win32ConsoleScreen& operator=(const Win32ConsoleScreen&) = delete;

    void Write(const wchar_t* text, size_t length) override;
    bool GetCursor(ScreenCursor* at) override;
    void SetCursor(ScreenCursor at) override;
    void Flush() override;

    bool IsConsole() const { return console_; }
    // Writes text of the ANSI code page and flushes at once.
    void Print(const char* text);

private:
    void WriteOut(const char* bytes, size_t length);

    HANDLE output_;
    bool console_;
    CRITICAL_SECTION lock_;
    std::string pending_;
};

// The process's standard output, made on first use and kept until the process ends.
Win32ConsoleScreen& StandardOutputScreen();

// _strdate and _strtime of the local clock.
class SystemDateTime : public DateTimeSource {
public:
    void Now(char date[16], char time[16]) override;
};
