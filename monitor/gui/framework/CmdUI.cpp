#include "CmdUI.h"

#include "CmdTarget.h"
#include "win32/Handles.h"

namespace {

void SetMenuItemState(HMENU menu, UINT index, UINT mask, UINT state)
{
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    if (!GetMenuItemInfoA(menu, index, TRUE, &info))
        return;
    info.fState = (info.fState & ~mask) | state;
    SetMenuItemInfoA(menu, index, TRUE, &info);
}

// Process-lifetime bitmap, made on first use.
class RadioMark {
public:
    RadioMark()
    {
        int cx = GetSystemMetrics(SM_CXMENUCHECK), cy = GetSystemMetrics(SM_CYMENUCHECK);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        bitmap_.reset(CreateBitmap(cx, cy, 1, 1, nullptr));
        HGDIOBJ old = SelectObject(dc, bitmap_.get());
        PatBlt(dc, 0, 0, cx, cy, WHITENESS);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
        Ellipse(dc, cx / 2 - 3, cy / 2 - 3, cx / 2 + 3, cy / 2 + 3);
        SelectObject(dc, oldBrush);
        SelectObject(dc, old);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
    HBITMAP Get() const { return static_cast<HBITMAP>(bitmap_.get()); }

private:
    win32::UniqueGdiObject bitmap_;
};

}  // namespace

HBITMAP RadioMarkBitmap()
{
    static RadioMark mark;
    return mark.Get();
}

void CCmdUI::Enable(BOOL on)
{
    m_enableChanged = true;
    if (m_hMenu)
        SetMenuItemState(m_hMenu, m_nIndex, MFS_GRAYED | MFS_DISABLED, on ? 0 : MFS_GRAYED);
}

void CCmdUI::SetCheck(int check)
{
    if (m_hMenu)
        SetMenuItemState(m_hMenu, m_nIndex, MFS_CHECKED, check ? MFS_CHECKED : 0);
}

void CCmdUI::SetRadio(BOOL on)
{
    if (m_hMenu) {
        SetMenuItemBitmaps(m_hMenu, m_nIndex, MF_BYPOSITION, nullptr, RadioMarkBitmap());
        SetMenuItemState(m_hMenu, m_nIndex, MFS_CHECKED, on ? MFS_CHECKED : 0);
    }
}

void CCmdUI::SetText(const char* text)
{
    if (!m_hMenu)
        return;
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_TYPE;
    info.fType = MFT_STRING;
    info.dwTypeData = const_cast<char*>(text);
    SetMenuItemInfoA(m_hMenu, m_nIndex, TRUE, &info);
}

void CCmdUI::DoUpdate(CCmdTarget* target, bool disableIfNoHandler)
{
    m_enableChanged = false;
    if (target->OnCmdMsg(m_nID, 0, this))
        return;
    if (disableIfNoHandler && !m_enableChanged)
        Enable(target->OnCmdMsg(m_nID, 0, nullptr, true));
}
