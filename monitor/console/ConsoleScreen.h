#pragma once
#include <cstddef>

// Where the monitor's lines go: a console screen with a cursor, or, when the
// output is redirected, a plain stream of characters.
struct ScreenCursor {
    int column;
    int row;
};

class ConsoleScreen {
public:
    // UTF-16 text with "\n" line ends. A console shows every character as it
    // stands; a file receives the ANSI code page and CR LF line ends.
    virtual void Write(const wchar_t* text, size_t length) = 0;
    // The cursor position; false when the output is not a console.
    virtual bool GetCursor(ScreenCursor* at) = 0;
    virtual void SetCursor(ScreenCursor at) = 0;
    // Hands what has been written to the system (a no-op on a console).
    virtual void Flush() = 0;

protected:
    ~ConsoleScreen() = default;
};

// The "MM/DD/YY" date and "HH:MM:SS" time that start every line.
class DateTimeSource {
public:
    virtual void Now(char date[16], char time[16]) = 0;

protected:
    ~DateTimeSource() = default;
};
