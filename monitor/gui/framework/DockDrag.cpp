#include "DockDrag.h"

#include <algorithm>
#include <cstdlib>

#include "ControlBar.h"
#include "Dc.h"
#include "DockPlacement.h"
#include "FrameWnd.h"

namespace {

// Where the bar would lie if released at cursor.
struct DropTarget {
    DockSide side;
    CRect rect;  // screen coordinates
};

class DragFeedback {
public:
    ~DragFeedback() { Erase(); }
    void Show(const CRect& rect)
    {
        if (m_shown && rect == m_rect)
            return;
        Erase();
        m_rect = rect;
        Draw();
        m_shown = true;
    }
    void Erase()
    {
        if (m_shown)
            Draw();  // the focus rectangle is drawn by XOR: twice removes it
        m_shown = false;
    }

private:
    void Draw()
    {
        CClientDC screen(nullptr);
        DrawFocusRect(screen, &m_rect);
    }
    CRect m_rect;
    bool m_shown = false;
};

class DragTracker {
public:
    DragTracker(CControlBar& bar, CFrameWnd& frame, POINT start) : m_bar(bar), m_frame(frame), m_start(start)
    {
        CRect barRect = bar.GetWindowRect();
        SIZE floating = bar.CalcBarSize(DockSide::Floating);
        // The bar keeps the grabbed point under the mouse, also where it changes shape.
        m_grab = {std::min<LONG>(start.x - barRect.left, floating.cx - 1),
                  std::min<LONG>(start.y - barRect.top, floating.cy - 1)};
    }

    DropTarget TargetAt(POINT cursor) const
    {
        CRect area = m_frame.GetDockArea();
        int snap = 2 * GetSystemMetrics(SM_CYCAPTION);
        DockSide side = DockSideForDrop(cursor, area, m_bar.GetDockAlignments() & m_frame.GetDockAlignments(), snap);
        if (side != DockSide::Floating) {
            SIZE size = m_bar.CalcBarSize(side);
            return {side, TakeDockStrip(area, side, IsVerticalSide(side) ? size.cx : size.cy)};
        }
        SIZE size = m_bar.CalcBarSize(DockSide::Floating);
        POINT topLeft{cursor.x - m_grab.x, cursor.y - m_grab.y};
        return {side, CRect(topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy)};
    }

    bool Moved(POINT cursor) const
    {
        return std::abs(cursor.x - m_start.x) > GetSystemMetrics(SM_CXDRAG) ||
               std::abs(cursor.y - m_start.y) > GetSystemMetrics(SM_CYDRAG);
    }

    void Drop(POINT cursor)
    {
        DropTarget target = TargetAt(cursor);
        if (target.side == DockSide::Floating)
            m_frame.FloatControlBar(&m_bar, POINT{target.rect.left, target.rect.top});
        else
            m_frame.DockControlBar(&m_bar, target.side);
    }

private:
    CControlBar& m_bar;
    CFrameWnd& m_frame;
    POINT m_start;
    POINT m_grab;
};

}  // namespace

void TrackDockDrag(CControlBar& bar, CFrameWnd& frame, POINT start)
{
    DragTracker tracker(bar, frame, start);
    HWND capture = bar.m_hWnd;
    SetCapture(capture);
    bool moved = false, released = false;
    POINT end = start;
    {
        DragFeedback feedback;
        MSG msg{};
        while (!released && GetCapture() == capture && GetMessageA(&msg, nullptr, 0, 0)) {
            if (msg.message == WM_MOUSEMOVE) {
                moved = moved || tracker.Moved(msg.pt);
                if (moved)
                    feedback.Show(tracker.TargetAt(msg.pt).rect);
            } else if (msg.message == WM_LBUTTONUP) {
                released = true;
                end = msg.pt;
            } else if ((msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) || msg.message == WM_RBUTTONDOWN) {
                break;
            } else if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) {
                continue;  // keys other than Escape do nothing while dragging
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        if (msg.message == WM_QUIT)
            PostQuitMessage(int(msg.wParam));  // for the loop that owns it
    }
    if (GetCapture() == capture)
        ReleaseCapture();
    if (released && (moved || tracker.Moved(end)))
        tracker.Drop(end);
}
