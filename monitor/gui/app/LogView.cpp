#include "LogView.h"

void LogViewAppend(CRichEditCtrl& view, const CHARFORMATA* format, const std::string& line)
{
    const long length = static_cast<long>(line.size());
    long end = view.GetTextLength();
    const long excess = end + length - view.GetLimitText();
    if (excess > 0) {
        view.SetSel(0, excess);
        view.ReplaceSel("", FALSE);
        end = end > excess ? end - excess : 0;
    }
    view.SetSel(end, end);
    if (format) {
        CHARFORMATA applied = *format;
        view.SetSelectionCharFormat(applied);
    }
    view.ReplaceSel(line.c_str(), TRUE);

    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_ALL;
    if (GetScrollInfo(view.m_hWnd, SB_VERT, &scroll) && scroll.nPage != 0) {
        const int position = scroll.nMax - static_cast<int>(scroll.nPage);
        SetScrollPos(view.m_hWnd, SB_VERT, position, TRUE);
        view.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), 0);
    }
}
