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

protected:
    const MessageMap* GetMessageMap() const override;
    // A flat toolbar lets its parent show through: it paints the button face itself,
    // whatever the frame's class brush is.
    LRESULT OnEraseBackground(WPARAM dc, LPARAM);

private:
    std::vector<UINT> m_ids;  // per button, 0 for a separator
    HBITMAP m_bitmap = nullptr;
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
