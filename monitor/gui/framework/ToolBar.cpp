#include "ToolBar.h"

#include <commctrl.h>

#include "FrameWnd.h"
#include "ToolBarResource.h"

RUNTIME_CLASS_IMPLEMENT(CToolBar, CControlBar)

CToolBar::~CToolBar()
{
    // The control does not own a bitmap added by handle: it goes after the window.
    DestroyWindowFromDestructor();
    if (m_bitmap)
        DeleteObject(m_bitmap);
}

const MessageMap* CToolBar::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnMessage<WM_ERASEBKGND, &CToolBar::OnEraseBackground>(),
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
    DWORD windowStyle = WindowStyle(style) | WS_CHILD | controlStyle | CCS_TOP | CCS_NODIVIDER;
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

    m_bitmap = bitmap;

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
    SendMessage(TB_AUTOSIZE);
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

void CToolBar::Reposition(RECT& free)
{
    // The control sizes itself along its parent's top edge.
    SendMessage(TB_AUTOSIZE);
    int height = GetWindowRect().Height() + m_borders.top + m_borders.bottom;
    MoveWindow(CRect(free.left, free.top + m_borders.top, free.right, free.top + height - m_borders.bottom));
    free.top += height;
    if (free.top > free.bottom)
        free.top = free.bottom;
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
