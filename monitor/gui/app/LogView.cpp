#include "LogView.h"

#include <cassert>

RUNTIME_CLASS_IMPLEMENT(CLogView, CRichEditCtrl)

namespace {

constexpr UINT_PTR kBatchTimer = 0x4C42;  // apart from the control's own timers

// Drops as many of the oldest characters, without undo, as `length` more need
// to fit in the view's limit. The end of the text that stays.
long MakeRoom(CLogView& view, long length)
{
    const long excess = view.GetTextLength() + length - view.GetLimitText();
    if (excess <= 0)
        return view.GetTextLength();
    view.SetSel(0, excess);
    long start = 0, end = 0;
    view.GetSel(start, end);
    // The control will not end a selection between the two characters of a
    // line end: it ends it before them. The whole line end goes.
    if (end < excess)
        view.SetSel(0, excess + 1);
    view.ReplaceSel("", FALSE);
    return view.GetTextLength();
}

void ScrollToEnd(CLogView& view)
{
    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_ALL;
    if (GetScrollInfo(view.m_hWnd, SB_VERT, &scroll) && scroll.nPage != 0) {
        const int position = scroll.nMax - static_cast<int>(scroll.nPage);
        SetScrollPos(view.m_hWnd, SB_VERT, position, TRUE);
        view.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), 0);
    }
}

// The control would paint itself at every step of an edit: it is painted once
// afterwards, when due.
template <class Edit>
void WithPaintingHeld(CLogView& view, Edit edit)
{
    view.SendMessage(WM_SETREDRAW, FALSE);
    edit();
    ScrollToEnd(view);
    view.SendMessage(WM_SETREDRAW, TRUE);
    RedrawWindow(view.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
    view.PaintWhenDue();
}

void ApplyFormat(CLogView& view, const CHARFORMATA& format)
{
    CHARFORMATA applied = format;
    view.SetSelectionCharFormat(applied);
}

}  // namespace

const MessageMap* CLogView::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnMessage<WM_PAINT, &CLogView::OnPaint>(),
        OnWmTimer<&CLogView::OnTimer>(),
    };
    static const MessageMap map = MakeMessageMap(CRichEditCtrl::GetMessageMap(), entries);
    return &map;
}

LRESULT CLogView::OnPaint(WPARAM, LPARAM)
{
    m_paintedAt = GetTickCount();
    return Default();
}

void CLogView::OnTimer(UINT_PTR id)
{
    if (id != kBatchTimer) {
        Default();
        return;
    }
    ShowHeldLines();
}

void CLogView::PaintWhenDue()
{
    if (GetTickCount() - m_paintedAt >= kPaintIntervalMs)
        UpdateWindow();
}

void CLogView::AppendLine(const CHARFORMATA* format, const std::string& line)
{
    if (!m_held.Takes(line.size(), GetLimitText()))
        ShowHeldLines();
    m_held.Add(format, line);
    // Checked here too, not only by the timer: a steady stream of posted
    // messages keeps WM_TIMER from coming.
    const DWORD wait = LogBatchWait(GetTickCount(), m_shownAt, kBatchIntervalMs);
    if (wait != 0 && !m_showPending)
        m_showPending = SetTimer(kBatchTimer, wait) != 0;
    if (wait == 0 || !m_showPending)
        ShowHeldLines();
}

void CLogView::StopBatchTimer()
{
    if (m_showPending) {
        KillTimer(kBatchTimer);
        m_showPending = false;
    }
}

void CLogView::ShowHeldLines()
{
    StopBatchTimer();
    if (m_held.lines() == 1)  // a trickle: the line goes in by itself
        LogViewAppend(*this, m_held.FormatOf(0), m_held.text());
    else if (m_held.lines() > 1)
        LogViewAppendBatch(*this, m_held);
    m_held.Clear();
    m_shownAt = GetTickCount();
}

void CLogView::DropHeldLines()
{
    StopBatchTimer();
    m_held.Clear();
}

void LogViewAppend(CLogView& view, const CHARFORMATA* format, const std::string& line)
{
    WithPaintingHeld(view, [&] {
        const long end = MakeRoom(view, static_cast<long>(line.size()));
        view.SetSel(end, end);
        if (format)
            ApplyFormat(view, *format);
        view.ReplaceSel(line.c_str(), TRUE);
    });
}

void LogViewAppendBatch(CLogView& view, const LogBatch& batch)
{
    assert(batch.Takes(0, view.GetLimitText()) && "a batch is shorter than the view's limit");
    WithPaintingHeld(view, [&] {
        const long start = MakeRoom(view, static_cast<long>(batch.text().size()));
        view.SetSel(start, start);
        CHARFORMATA end{};
        view.GetSelectionCharFormat(end);
        view.ReplaceSel(batch.text().c_str(), TRUE);
        for (const LogFormatRun& run : batch.Runs(end)) {
            view.SetSel(start + static_cast<long>(run.start), start + static_cast<long>(run.end));
            ApplyFormat(view, run.format);
        }
        const long stop = view.GetTextLength();
        view.SetSel(stop, stop);
    });
}
