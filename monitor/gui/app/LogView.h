#pragma once
#include "LogBatch.h"
#include "RichEditCtrl.h"

#include <string>

// The main window's log view: a read-only rich edit that lines are appended
// to. It notes when it was last painted, so that a stream of lines can hold
// its painting back and still have it caught up on regularly. Lines that come
// in a burst are held for a moment and go in together.
class CLogView : public CRichEditCtrl {
public:
    RUNTIME_CLASS_DECLARE(CLogView)
public:
    static constexpr DWORD kPaintIntervalMs = 200;
    static constexpr DWORD kBatchIntervalMs = 50;

    // Appends the line as LogViewAppend does: at once when lines last went in
    // kBatchIntervalMs ago or more, else together with the lines that come
    // until that interval is over.
    void AppendLine(const CHARFORMATA* format, const std::string& line);
    // The lines held go in now.
    void ShowHeldLines();
    // The lines held are dropped: the log is being cleared.
    void DropHeldLines();

    // Paints what waits to be painted when the last paint is at least
    // kPaintIntervalMs ago; else leaves it to the next WM_PAINT.
    void PaintWhenDue();

protected:
    const MessageMap* GetMessageMap() const override;
    LRESULT OnPaint(WPARAM, LPARAM);
    void OnTimer(UINT_PTR id);

private:
    void StopBatchTimer();

    DWORD m_paintedAt = 0;
    LogBatch m_held;
    DWORD m_shownAt = 0;        // tick count when lines last went in
    bool m_showPending = false;  // the held lines wait for the batch timer
};

// Appends one line at the end of the log view in the given character format
// (none: the format at the end), then scrolls to the end. When the view's text
// limit would be passed, as many of the oldest characters as the line needs
// are dropped first, without undo. The control would paint itself at each of
// these steps; it is painted once for them, or for a burst of lines, instead.
void LogViewAppend(CLogView& view, const CHARFORMATA* format, const std::string& line);

// Appends the batch's lines with one replacement, one pass over their formats
// and one cut of the oldest text; the view then shows what appending them one
// at a time with LogViewAppend shows. The batch is shorter than the view's
// limit (LogBatch::Takes).
void LogViewAppendBatch(CLogView& view, const LogBatch& batch);
