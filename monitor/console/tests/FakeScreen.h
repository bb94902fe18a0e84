#pragma once
#include "ConsoleScreen.h"

#include <cstdio>
#include <string>
#include <vector>

// An 80-column console screen that grows downwards, or (redirected) a plain
// character stream without a cursor.
class FakeScreen : public ConsoleScreen {
public:
    explicit FakeScreen(bool console = true) : console_(console) {}

    void Write(const wchar_t* text, size_t length) override
    {
        for (size_t i = 0; i < length; ++i) {
            if (!console_) {
                stream_ += text[i];
                continue;
            }
            if (text[i] == L'\n') {
                at_ = {0, at_.row + 1};
                continue;
            }
            std::wstring& row = Row(at_.row);
            if (static_cast<int>(row.size()) <= at_.column)
                row.resize(at_.column + 1, L' ');
            row[at_.column++] = text[i];
        }
    }
    bool GetCursor(ScreenCursor* at) override
    {
        if (console_)
            *at = at_;
        return console_;
    }
    void SetCursor(ScreenCursor at) override { at_ = at; }
    void Flush() override
    {
        flushed_ = stream_;
        ++flushes_;
    }

    // The row as the screen shows it, trailing blanks cut.
    std::wstring WideLine(int row)
    {
        std::wstring line = Row(row);
        line.erase(line.find_last_not_of(L' ') + 1);
        return line;
    }
    // The same, for rows of ASCII text ('?' stands for any other character).
    std::string Line(int row) { return Narrow(WideLine(row)); }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    ScreenCursor cursor() const { return at_; }
    std::string stream() const { return Narrow(stream_); }
    std::string flushed() const { return Narrow(flushed_); }
    int flushes() const { return flushes_; }

private:
    static std::string Narrow(const std::wstring& text)
    {
        std::string narrow;
        for (wchar_t c : text)
            narrow += c < 0x80 ? static_cast<char>(c) : '?';
        return narrow;
    }
    std::wstring& Row(int row)
    {
        if (static_cast<int>(rows_.size()) <= row)
            rows_.resize(row + 1);
        return rows_[row];
    }

    bool console_;
    ScreenCursor at_{0, 0};
    std::vector<std::wstring> rows_;
    std::wstring stream_;
    std::wstring flushed_;
    int flushes_ = 0;
};

class FixedClock : public DateTimeSource {
public:
    void Now(char date[16], char time[16]) override
    {
        std::snprintf(date, 16, "%s", "07/04/24");
        std::snprintf(time, 16, "%s", "12:34:56");
    }
};
