#pragma once
#include "RichEditCtrl.h"

#include <string>

// The main window's log view: a read-only rich edit that lines are appended
// to. It notes when it was last painted, so that a stream of lines can hold
// its painting back and still have it caught up on regularly.
class CLogView : public CRichEditCtrl {
public:
    RUNTIME_CLASS_DECLARE(CLogView)
public:
    static constexpr DWORD kPaintIntervalMs = 200;

    // Paints what waits to be painted when the last paint is at least
    // kPaintIntervalMs ago; else leaves it to the next WM_PAINT.
    void PaintWhenDue();

protected:
    const MessageMap* GetMessageMap() const override;
    LRESULT OnPaint(WPARAM, LPARAM);

private:
    DWORD m_paintedAt = 0;
};

// Appends one line at the end of the log view in the given character format
// (none: the format at the end), then scrolls to the end. When the view's text
// limit would be passed, as many of the oldest characters as the line needs
// are dropped first, without undo. The control would paint itself at each of
// these steps; it is painted once for them, or for a burst of lines, instead.
void LogViewAppend(CLogView& view, const CHARFORMATA* format, const std::string& line);
