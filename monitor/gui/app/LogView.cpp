#include "LogView.h"

RUNTIME_CLASS_IMPLEMENT(CLogView, CRichEditCtrl)

const MessageMap* CLogView::GetMessageMap() const
{
    static const MessageEntry entries[] = {OnMessage<WM_PAINT, &CLogView::OnPaint>()};
    static const MessageMap map = MakeMessageMap(CRichEditCtrl::GetMessageMap(), entries);
    return &map;
}

LRESULT CLogView::OnPaint(WPARAM, LPARAM)
{
    m_paintedAt = GetTickCount();
    return Default();
}

void CLogView::PaintWhenDue()
{
    if (GetTickCount() - m_paintedAt >= kPaintIntervalMs)
        UpdateWindow();
}

void LogViewAppend(CLogView& view, const CHARFORMATA* format, const std::string& line)
{
    view.SendMessage(WM_SETREDRAW, FALSE);
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
    view.SendMessage(WM_SETREDRAW, TRUE);
    RedrawWindow(view.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
    view.PaintWhenDue();
}
