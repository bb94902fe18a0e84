#pragma once
#include "ConsoleScreen.h"

#include <windows.h>
#include <string>

// The standard output as a ConsoleScreen. On a console every write goes out at
// once and the cursor can be moved; otherwise (a file or a pipe) writes are
// collected until Flush, or until a good amount has gathered. Writes from the
// monitor's strand and the main thread are serialised.
class Win32ConsoleScreen : public ConsoleScreen {
public:
    explicit Win32ConsoleScreen(HANDLE output);
    ~Win32ConsoleScreen();
    Win32ConsoleScreen(const Win32ConsoleScreen&) = delete;
    Win32ConsoleScreen& operator=(const Win32ConsoleScreen&) = delete;

    void Write(const char* text, size_t length) override;
    bool GetCursor(ScreenCursor* at) override;
    void SetCursor(ScreenCursor at) override;
    void Flush() override;

    bool IsConsole() const { return console_; }
    // Writes and flushes at once.
    void Print(const char* text);

private:
    void WriteOut(const char* text, size_t length);

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
