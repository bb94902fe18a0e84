#pragma once
#include <windows.h>
#include <richedit.h>

#include <string>
#include <vector>

// The format a line shows when it is typed at the end of the view in `own`
// (none: nothing laid over `end`): the properties that `own` describes, by its
// mask, over those of `end`, the format the control reports at the end of the
// text. The result describes every property that `end` does.
CHARFORMATA MergeCharFormat(const CHARFORMATA& end, const CHARFORMATA* own);

// Whether two formats show the same properties (padding and the bytes after a
// face name's terminator do not count).
bool SameCharFormat(const CHARFORMATA& a, const CHARFORMATA& b);

// A range of a batch's text and the complete format its characters show.
struct LogFormatRun {
    size_t start, end;
    CHARFORMATA format;
};

// Lines waiting to go into the log view together, as one text and each line's
// own format. Plain text work: no window.
class LogBatch {
public:
    // Whether a line of `length` characters still joins the lines held in a
    // view of `limit` characters: the batch stays shorter than the limit, so
    // the oldest text is cut once for it and the text it follows is still
    // there when it goes in. An empty batch takes any line.
    bool Takes(size_t length, long limit) const;
    void Add(const CHARFORMATA* format, const std::string& line);
    void Clear();

    size_t lines() const { return m_lines.size(); }
    const std::string& text() const { return m_text; }
    // The line's own format, or none.
    const CHARFORMATA* FormatOf(size_t line) const;

    // The ranges whose characters show another format than `end`, the format
    // at the end of the view, once the text is typed there: each line shows
    // its own format merged over `end` (the format at the end of this control
    // stays as it is while lines are typed). Neighbouring lines that show the
    // same format form one range.
    std::vector<LogFormatRun> Runs(const CHARFORMATA& end) const;

private:
    struct Line {
        size_t start;
        bool formatted;
        CHARFORMATA format;
    };
    std::string m_text;
    std::vector<Line> m_lines;
};

// How long lines wait before they go into the view: none when the last lines
// went in `intervalMs` or more ago (a trickle shows at once), else the rest of
// that interval, so that the lines of a burst go in together.
DWORD LogBatchWait(DWORD now, DWORD shownAt, DWORD intervalMs);
