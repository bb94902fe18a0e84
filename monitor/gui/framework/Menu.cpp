#include "Menu.h"

#include "Wnd.h"

CMenu CMenu::Borrow(HMENU menu)
{
    CMenu view;
    view.m_hMenu = menu;
    view.m_owned = false;
    return view;
}

BOOL CMenu::LoadMenu(UINT id)
{
    return Attach(::LoadMenuA(ResourceHandle(), MAKEINTRESOURCEA(id)));
}

BOOL CMenu::CreatePopupMenu()
{
    return Attach(::CreatePopupMenu());
}

BOOL CMenu::Attach(HMENU menu)
{
    if (!menu)
        return FALSE;
    DestroyMenu();
    m_hMenu = menu;
    m_owned = true;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    m_owned = false;
    return menu;
}

BOOL CMenu::DestroyMenu()
{
    BOOL done = FALSE;
    if (m_hMenu && m_owned)
        done = ::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;
    m_owned = false;
    return done;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) const
{
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->m_hWnd : nullptr, nullptr);
}
