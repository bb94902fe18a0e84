#pragma once
// The toolbar on the common control, loaded from a toolbar resource and the bitmap
// of the same id. CBRS_TOOLTIPS gives its buttons tooltips (the text after "\n" in
// the command's string); CBRS_FLYBY shows the command's prompt (the text before
// "\n") in the frame's status bar while the mouse is over a button.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "CmdUI.h"
#include "ControlBar.h"
#include "win32/Handles.h"

class CToolBar : public CControlBar {
public:
    RUNTIME_CLASS_DECLARE(CToolBar)
public:
    ~CToolBar() override;

    BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                UINT id = IDW_TOOLBAR);
    // controlStyle: toolbar styles such as TBSTYLE_FLAT; borders: space around the buttons.
    BOOL CreateEx(CWnd* parent, DWORD controlStyle, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                  const RECT& borders = CRect(), UINT id = IDW_TOOLBAR);
    // Once per bar.
    BOOL LoadToolBar(UINT id);

    int GetCount() const { return int(m_ids.size()); }
    UINT GetItemID(int index) const { return m_ids.at(index); }
    int CommandToIndex(UINT id) const;
    CRect GetItemRect(int index) const;

    void Reposition(RECT& free) override;
    void OnUpdateCmdUI(CFrameWnd* target, bool disableIfNoHandler) override;
    SIZE CalcBarSize(DockSide side) const override;

protected:
    const MessageMap* GetMessageMap() const override;
    // Down the side of a frame the buttons stand in one column.
    void OnDockSideChanged() override;
    // A docked bar has an edge around its buttons, and a gripper before them with
    // CBRS_GRIPPER: both start a drag, as does the bar's empty space.
    LRESULT OnNcCalcSize(WPARAM, LPARAM rect);
    LRESULT OnNcPaint(WPARAM, LPARAM);
    LRESULT OnNcHitTest(WPARAM, LPARAM point);
    LRESULT OnNcLButtonDown(WPARAM hit, LPARAM point);
    LRESULT OnLButtonDown(WPARAM, LPARAM point);
    // A flat toolbar lets its parent show through: it paints the button face itself,
    // whatever the frame's class brush is.
    LRESULT OnEraseBackground(WPARAM dc, LPARAM);

private:
    // The space between the window's edges and its client area for side.
    CRect NonClientInsets(DockSide side) const;
    // The space the buttons take laid out in a row or a column.
    SIZE ButtonsExtent(bool vertical) const;

    std::vector<UINT> m_ids;  // per button, 0 for a separator
    win32::UniqueGdiObject m_bitmap;
    CRect m_borders;
};

// The update-UI object of a toolbar button.
class CToolCmdUI : public CCmdUI {
public:
    void Enable(BOOL on = TRUE) override;
    void SetCheck(int check = 1) override;
    void SetRadio(BOOL on = TRUE) override { SetCheck(on ? 1 : 0); }
    void SetText(const char*) override {}
};
