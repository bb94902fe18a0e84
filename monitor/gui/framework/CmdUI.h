#pragma once
// Update-UI: one object per menu item, toolbar button or status pane whose state
// a command's update handler sets. The route is that of the command itself, so a
// frame's handler wins over the application's. A command that has neither an
// update handler nor a command handler anywhere on the route is disabled.
#include <windows.h>

class CCmdTarget;

class CCmdUI {
public:
    virtual ~CCmdUI() = default;

    virtual void Enable(BOOL on = TRUE);
    virtual void SetCheck(int check = 1);  // 0 unchecked, 1 checked, 2 indeterminate
    virtual void SetRadio(BOOL on = TRUE);
    virtual void SetText(const char* text);

    // Routes the update through target; with disableIfNoHandler, an item whose
    // command nobody handles is disabled.
    void DoUpdate(CCmdTarget* target, bool disableIfNoHandler);

    UINT m_nID = 0;
    UINT m_nIndex = 0;         // position in the menu, toolbar or status bar
    HMENU m_hMenu = nullptr;   // the popup of a menu item
    HWND m_hOther = nullptr;   // the toolbar or status bar of a button or pane

protected:
    bool m_enableChanged = false;
};

// The shared radio mark that SetRadio puts on menu items (a dot the size of a check mark).
HBITMAP RadioMarkBitmap();
