#pragma once
// A menu handle with its owner: a CMenu that loaded or attached a menu destroys it;
// one that borrows a handle (sub-menus) does not.
#include <windows.h>

class CWnd;

class CMenu {
public:
    CMenu() = default;
    ~CMenu() { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    CMenu(CMenu&& other) noexcept : m_hMenu(other.m_hMenu), m_owned(other.m_owned)
    {
        other.m_hMenu = nullptr;
    }

    // A view of a handle owned elsewhere.
    static CMenu Borrow(HMENU menu);

    BOOL LoadMenu(UINT id);
    BOOL CreatePopupMenu();
    BOOL Attach(HMENU menu);
    HMENU Detach();
    BOOL DestroyMenu();

    HMENU m_hMenu = nullptr;
    operator HMENU() const { return m_hMenu; }

    CMenu GetSubMenu(int position) const { return Borrow(::GetSubMenu(m_hMenu, position)); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    UINT GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(m_hMenu, item, flags); }
    BOOL SetDefaultItem(UINT item, BOOL byPosition = FALSE)
    {
        return ::SetMenuDefaultItem(m_hMenu, item, byPosition);
    }
    // The chosen command goes to owner as WM_COMMAND (unless TPM_RETURNCMD).
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) const;

private:
    bool m_owned = false;
};
