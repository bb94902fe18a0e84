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

    void Write(const char* text, size_t length) override
    {
        for (size_t i = 0; i < length; ++i) {
            if (!console_) {
                stream_ += text[i];
                continue;
            }
            if (text[i] == '\n') {
                at_ = {0, at_.row + 1};
                continue;
            }
            std::string& row = Row(at_.row);
            if (static_cast<int>(row.size()) <= at_.column)
                row.resize(at_.column + 1, ' ');
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
    std::string Line(int row)
    {
        std::string line = Row(row);
        line.erase(line.find_last_not_of(' ') + 1);
        return line;
    }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    ScreenCursor cursor() const { return at_; }
    const std::string& stream() const { return stream_; }
    const std::string& flushed() const { return flushed_; }
    int flushes() const { return flushes_; }

private:
    std::string& Row(int row)
    {
        if (static_cast<int>(rows_.size()) <= row)
            rows_.resize(row + 1);
        return rows_[row];
    }

    bool console_;
    ScreenCursor at_{0, 0};
    std::vector<std::string> rows_;
    std::string stream_;
    std::string flushed_;
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
