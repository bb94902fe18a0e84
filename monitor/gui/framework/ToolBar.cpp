#include "ToolBar.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "Dc.h"
#include "DockPlacement.h"
#include "FrameWnd.h"
#include "ToolBarResource.h"

RUNTIME_CLASS_IMPLEMENT(CToolBar, CControlBar)

namespace {

constexpr int kEdge = 2;
constexpr int kGripper = 6;
constexpr int kSeparatorWidth = 8;
constexpr int kButtonMargin = 2;  // estimated space around the buttons, each side

}  // namespace

CToolBar::~CToolBar()
{
    // The control does not own a bitmap added by handle: its owner, a member,
    // deletes it after the window.
    DestroyWindowFromDestructor();
}

const MessageMap* CToolBar::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnMessage<WM_ERASEBKGND, &CToolBar::OnEraseBackground>(),
        OnMessage<WM_NCCALCSIZE, &CToolBar::OnNcCalcSize>(),
        OnMessage<WM_NCPAINT, &CToolBar::OnNcPaint>(),
        OnMessage<WM_NCHITTEST, &CToolBar::OnNcHitTest>(),
        OnMessage<WM_NCLBUTTONDOWN, &CToolBar::OnNcLButtonDown>(),
        OnMessage<WM_LBUTTONDOWN, &CToolBar::OnLButtonDown>(),
    };
    static const MessageMap map = MakeMessageMap(CControlBar::GetMessageMap(), entries);
    return &map;
}

LRESULT CToolBar::OnEraseBackground(WPARAM dc, LPARAM)
{
    CRect client = GetClientRect();
    FillRect(reinterpret_cast<HDC>(dc), &client, GetSysColorBrush(COLOR_BTNFACE));
    return TRUE;
}

BOOL CToolBar::Create(CWnd* parent, DWORD style, UINT id)
{
    return CreateEx(parent, 0, style, CRect(), id);
}

BOOL CToolBar::CreateEx(CWnd* parent, DWORD controlStyle, DWORD style, const RECT& borders, UINT id)
{
    SetBarStyle(style);
    m_borders = borders;
    // The frame sizes and places the bar: the control neither aligns nor sizes itself.
    DWORD windowStyle = WindowStyle(style) | WS_CHILD | controlStyle | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
    if (style & CBRS_TOOLTIPS)
        windowStyle |= TBSTYLE_TOOLTIPS;
    if (!CWnd::CreateEx(0, TOOLBARCLASSNAMEA, "", windowStyle, CRect(), parent, id))
        return FALSE;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT id)
{
    if (m_bitmap)
        return FALSE;  // one resource per bar
    ToolBarResource resource;
    HINSTANCE instance = ResourceHandle();
    if (!LoadToolBarResource(instance, id, resource))
        return FALSE;
    HBITMAP bitmap = LoadSysColorBitmap(instance, id);
    if (!bitmap)
        return FALSE;

    m_bitmap.reset(bitmap);

    SendMessage(TB_SETBITMAPSIZE, 0, MAKELPARAM(resource.imageWidth, resource.imageHeight));
    SendMessage(TB_SETBUTTONSIZE, 0, MAKELPARAM(resource.imageWidth + 7, resource.imageHeight + 7));
    BITMAP info{};
    GetObject(bitmap, sizeof info, &info);
    TBADDBITMAP add{nullptr, reinterpret_cast<UINT_PTR>(bitmap)};
    int images = resource.imageWidth ? info.bmWidth / resource.imageWidth : 0;
    if (SendMessage(TB_ADDBITMAP, images, reinterpret_cast<LPARAM>(&add)) == -1)
        return FALSE;

    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (UINT command : resource.ids) {
        TBBUTTON b{};
        if (command == ID_SEPARATOR) {
            b.iBitmap = kSeparatorWidth;
            b.fsStyle = TBSTYLE_SEP;
        } else {
            b.iBitmap = image++;
            b.idCommand = int(command);
            b.fsState = TBSTATE_ENABLED;
            b.fsStyle = TBSTYLE_BUTTON;
        }
        buttons.push_back(b);
    }
    SendMessage(TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    m_ids = resource.ids;
    OnDockSideChanged();
    return TRUE;
}

int CToolBar::CommandToIndex(UINT id) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (m_ids[i] == id)
            return i;
    return -1;
}

CRect CToolBar::GetItemRect(int index) const
{
    CRect r;
    SendMessage(TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    return r;
}

CRect CToolBar::NonClientInsets(DockSide side) const
{
    CRect insets(kEdge, kEdge, kEdge, kEdge);
    if (side != DockSide::Floating && (m_dwStyle & CBRS_GRIPPER))
        (IsVerticalSide(side) ? insets.top : insets.left) += kGripper;
    return insets;
}

SIZE CToolBar::ButtonsExtent(bool vertical) const
{
    if (vertical == IsVerticalSide(GetDockSide()) && GetCount() > 0) {
        // Laid out this way now: the control's own rectangles.
        CRect all = GetItemRect(0);
        for (int i = 1; i < GetCount(); ++i) {
            CRect item = GetItemRect(i);
            UnionRect(&all, &all, &item);
        }
        return {all.right + all.left, all.bottom + all.top};
    }
    DWORD button = DWORD(SendMessage(TB_GETBUTTONSIZE));
    int across = vertical ? LOWORD(button) : HIWORD(button);
    int along = 0;
    for (UINT id : m_ids)
        along += id == ID_SEPARATOR ? kSeparatorWidth : vertical ? HIWORD(button) : LOWORD(button);
    along += 2 * kButtonMargin;
    across += 2 * kButtonMargin;
    return vertical ? SIZE{across, along} : SIZE{along, across};
}

SIZE CToolBar::CalcBarSize(DockSide side) const
{
    SIZE buttons = ButtonsExtent(IsVerticalSide(side));
    CRect insets = NonClientInsets(side);
    return {buttons.cx + insets.left + insets.right, buttons.cy + insets.top + insets.bottom};
}

void CToolBar::Reposition(RECT& free)
{
    DockSide side = GetDockSide();
    SIZE size = CalcBarSize(side);
    int thickness =
        IsVerticalSide(side) ? size.cx + m_borders.left + m_borders.right : size.cy + m_borders.top + m_borders.bottom;
    CRect strip = TakeDockStrip(free, side, thickness);
    MoveWindow(CRect(strip.left + m_borders.left, strip.top + m_borders.top, strip.right - m_borders.right,
                     strip.bottom - m_borders.bottom));
}

void CToolBar::OnDockSideChanged()
{
    bool vertical = IsVerticalSide(GetDockSide());
    for (int i = 0; i < GetCount(); ++i) {
        TBBUTTONINFOA info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_STATE | TBIF_BYINDEX;
        SendMessage(TB_GETBUTTONINFOA, i, reinterpret_cast<LPARAM>(&info));
        info.fsState = BYTE(vertical ? info.fsState | TBSTATE_WRAP : info.fsState & ~TBSTATE_WRAP);
        SendMessage(TB_SETBUTTONINFOA, i, reinterpret_cast<LPARAM>(&info));
    }
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
}

LRESULT CToolBar::OnNcCalcSize(WPARAM, LPARAM rect)
{
    LRESULT result = Default();
    // Both forms of the message start with the window's rectangle, to become the client's.
    auto* client = reinterpret_cast<RECT*>(rect);
    CRect insets = NonClientInsets(GetDockSide());
    client->left += insets.left;
    client->top += insets.top;
    client->right = std::max(client->left, client->right - insets.right);
    client->bottom = std::max(client->top, client->bottom - insets.bottom);
    return result;
}

LRESULT CToolBar::OnNcPaint(WPARAM, LPARAM)
{
    CRect window = GetWindowRect();
    CRect client = GetClientRect();
    MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    OffsetRect(&client, -window.left, -window.top);
    OffsetRect(&window, -window.left, -window.top);
    CWindowDC dc(m_hWnd);
    ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    FillRect(dc, &window, GetSysColorBrush(COLOR_BTNFACE));
    DockSide side = GetDockSide();
    if (side != DockSide::Floating && (m_dwStyle & CBRS_GRIPPER)) {
        CRect grip = IsVerticalSide(side) ? CRect(kEdge + 1, kEdge + 1, window.right - kEdge - 1, kEdge + 4)
                                          : CRect(kEdge + 1, kEdge + 1, kEdge + 4, window.bottom - kEdge - 1);
        DrawEdge(dc, &grip, BDR_RAISEDINNER, BF_RECT);
    }
    return 0;
}

LRESULT CToolBar::OnNcHitTest(WPARAM, LPARAM point)
{
    POINT p{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    CRect client = GetClientRect();
    MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    if (!client.PtInRect(p) && GetWindowRect().PtInRect(p))
        return HTBORDER;
    return Default();
}

LRESULT CToolBar::OnNcLButtonDown(WPARAM hit, LPARAM point)
{
    if (hit == HTBORDER && TrackDragFrom(POINT{GET_X_LPARAM(point), GET_Y_LPARAM(point)}))
        return 0;
    return Default();
}

LRESULT CToolBar::OnLButtonDown(WPARAM, LPARAM point)
{
    POINT p{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    if (SendMessage(TB_HITTEST, 0, reinterpret_cast<LPARAM>(&p)) < 0) {
        ClientToScreen(m_hWnd, &p);
        if (TrackDragFrom(p))
            return 0;
    }
    return Default();
}

void CToolBar::OnUpdateCmdUI(CFrameWnd* target, bool disableIfNoHandler)
{
    CToolCmdUI ui;
    ui.m_hOther = m_hWnd;
    for (int i = 0; i < GetCount(); ++i) {
        if (m_ids[i] == ID_SEPARATOR)
            continue;
        ui.m_nID = m_ids[i];
        ui.m_nIndex = UINT(i);
        ui.DoUpdate(target, disableIfNoHandler);
    }
}

void CToolCmdUI::Enable(BOOL on)
{
    CCmdUI::Enable(on);
    BOOL enabled = BOOL(::SendMessageA(m_hOther, TB_ISBUTTONENABLED, m_nID, 0));
    if (!enabled != !on)
        ::SendMessageA(m_hOther, TB_ENABLEBUTTON, m_nID, MAKELPARAM(on ? TRUE : FALSE, 0));
}

void CToolCmdUI::SetCheck(int check)
{
    BOOL checked = BOOL(::SendMessageA(m_hOther, TB_ISBUTTONCHECKED, m_nID, 0));
    if (!checked != !check) {
        // A check needs the check-button style to stay down.
        TBBUTTONINFOA info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_STYLE;
        ::SendMessageA(m_hOther, TB_GETBUTTONINFOA, m_nID, reinterpret_cast<LPARAM>(&info));
        info.fsStyle |= TBSTYLE_CHECK;
        ::SendMessageA(m_hOther, TB_SETBUTTONINFOA, m_nID, reinterpret_cast<LPARAM>(&info));
        ::SendMessageA(m_hOther, TB_CHECKBUTTON, m_nID, MAKELPARAM(check ? TRUE : FALSE, 0));
    }
}
