#include "MiniDockFrameWnd.h"

#include <windowsx.h>

#include <cassert>

#include "ControlBar.h"
#include "DockPlacement.h"
#include "FrameWnd.h"

RUNTIME_CLASS_IMPLEMENT(CMiniDockFrameWnd, CWnd)

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

}  // namespace

CMiniDockFrameWnd::~CMiniDockFrameWnd() { DestroyWindowFromDestructor(); }

const MessageMap* CMiniDockFrameWnd::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnWmClose<&CMiniDockFrameWnd::OnClose>(),
        OnMessage<WM_NCLBUTTONDOWN, &CMiniDockFrameWnd::OnNcLButtonDown>(),
    };
    static const MessageMap map = MakeMessageMap(CWnd::GetMessageMap(), entries);
    return &map;
}

BOOL CMiniDockFrameWnd::Create(CFrameWnd* owner)
{
    const char* className =
        RegisterWndClass(CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW), GetSysColorBrush(COLOR_BTNFACE), nullptr);
    return CreateEx(kExStyle, className, "", kStyle, CRect(0, 0, 0, 0), owner, 0);
}

void CMiniDockFrameWnd::FitAround(POINT barTopLeft)
{
    SIZE bar = m_bar.CalcBarSize(DockSide::Floating);
    CRect r(barTopLeft.x, barTopLeft.y, barTopLeft.x + bar.cx, barTopLeft.y + bar.cy);
    // The window grows outwards around the bar, which stays where it was asked for.
    AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    ::SetWindowPos(m_hWnd, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    m_bar.MoveWindow(CRect(0, 0, bar.cx, bar.cy));
}

void CMiniDockFrameWnd::OnClose()
{
    // The bar stays floating while hidden: View > Toolbar shows it here again.
    if (CFrameWnd* frame = m_bar.GetDockSite())
        frame->ShowControlBar(&m_bar, FALSE);
    else
        ShowWindow(SW_HIDE);
}

LRESULT CMiniDockFrameWnd::OnNcLButtonDown(WPARAM hit, LPARAM)
{
    assert(m_bar.IsFloating());
    if (hit == HTCAPTION) {
        // The caption drags the bar itself, so that it can dock again.
        DWORD pos = GetMessagePos();
        if (m_bar.TrackDragFrom(POINT{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)}))
            return 0;
    }
    return Default();
}
