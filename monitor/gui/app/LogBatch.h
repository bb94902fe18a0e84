#pragma once
#include <windows.h>
#include <richedit.h>

#include <string>
#include <vector>

// One character format of a batch, applied from the first character of its
// line to the end of the batch's text.
struct LogFormatStep {
    size_t start;
    CHARFORMATA format;
};

// Lines waiting to go into the log view together, as one text and a chain of
// format steps. Laying each step over the end of the batch gives every line
// its own format on top of the formats of the lines before it, as appending
// the lines one at a time does (a format may describe only some properties).
// A line without a format, or with the format of the line before it, adds no
// step. Plain text work: no window.
class LogBatch {
public:
    // Whether a line of `length` characters still joins the lines held in a
    // view of `limit` characters: the batch stays shorter than the limit, so
    // the oldest text is cut once for it and the text it follows is still
    // there when it goes in. An empty batch takes any line.
    bool Takes(size_t length, long limit) const;
    void Add(const CHARFORMATA* format, const std::string& line);
    void Clear();

    size_t lines() const { return m_lines; }
    const std::string& text() const { return m_text; }
    const std::vector<LogFormatStep>& steps() const { return m_steps; }

private:
    size_t m_lines = 0;
    std::string m_text;
    std::vector<LogFormatStep> m_steps;
};

// How long lines wait before they go into the view: none when the last lines
// went in `intervalMs` or more ago (a trickle shows at once), else the rest of
// that interval, so that the lines of a burst go in together.
DWORD LogBatchWait(DWORD now, DWORD shownAt, DWORD intervalMs);
