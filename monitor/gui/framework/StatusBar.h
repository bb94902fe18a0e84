#pragma once
// The status bar on the common control: panes with ids, styles, widths and texts.
// Panes whose id is not ID_SEPARATOR are indicators: their text is the string of
// that id, shown while their update handler enables them (CAPS, NUM, SCRL have
// handlers in every frame).
#include <string>
#include <vector>

#include "CmdUI.h"
#include "ControlBar.h"

#define SBPS_NORMAL 0x0000
#define SBPS_NOBORDERS 0x0100  // SBT_NOBORDERS
#define SBPS_POPOUT 0x0200     // SBT_POPOUT
#define SBPS_DISABLED 0x04000000
#define SBPS_STRETCH 0x08000000

class CStatusBar : public CControlBar {
public:
    RUNTIME_CLASS_DECLARE(CStatusBar)
public:
    BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                UINT id = IDW_STATUS_BAR);
    BOOL SetIndicators(const UINT* ids, int count);
    void SetPaneInfo(int index, UINT id, UINT style, int width);
    void GetPaneInfo(int index, UINT& id, UINT& style, int& width) const;
    BOOL SetPaneText(int index, const char* text, BOOL update = TRUE);
    std::string GetPaneText(int index) const;
    int CommandToIndex(UINT id) const;
    int GetCount() const { return int(m_panes.size()); }
    UINT GetPaneStyle(int index) const;
    void SetPaneStyle(int index, UINT style);

    void Reposition(RECT& free) override;
    void OnUpdateCmdUI(CFrameWnd* target, bool disableIfNoHandler) override;

private:
    struct Pane {
        UINT id;
        UINT style;
        int width;
        std::string text;
    };
    void UpdateParts();
    void ShowPane(int index);
    int TextWidth(const std::string& text) const;

    std::vector<Pane> m_panes;
};

// The update-UI object of a status pane: enabling shows its text, SetText sets it,
// a check makes it pop out.
class CStatusCmdUI : public CCmdUI {
public:
    explicit CStatusCmdUI(CStatusBar& bar) : m_bar(bar) {}
    void Enable(BOOL on = TRUE) override;
    void SetCheck(int check = 1) override;
    void SetText(const char* text) override;

private:
    CStatusBar& m_bar;
};
