#pragma once
// Frame windows: a top-level window with a menu, accelerators, control bars along
// its edges and one client pane (the child with id IDW_PANE_FIRST) filling the rest.
//
// - Commands that the frame's map does not handle go on to the application's map;
//   a command that nobody handles does nothing.
// - Menu items are updated through the same route when their popup opens, toolbar
//   buttons and status indicators when the program goes idle; an item whose command
//   has no handler at all is disabled.
// - ID_VIEW_TOOLBAR and ID_VIEW_STATUS_BAR show and hide the bar with that child id,
//   docked or floating, and check their menu items; a menu item's prompt (its string's text before "\n")
//   shows in status pane 0 while the item is selected, "Ready" otherwise.
// - A frame deletes itself once its window is gone: make frames with new.
#include <vector>

#include "ControlBar.h"
#include "DockPlacement.h"
#include "FrameworkIds.h"
#include "IdleHandlers.h"
#include "Wnd.h"

#define FWS_ADDTOTITLE 0x00008000

class CFrameWnd : public CWnd, private CIdleHandler {
public:
    RUNTIME_CLASS_DECLARE(CFrameWnd)
public:
    static const CRect rectDefault;

    CFrameWnd();
    ~CFrameWnd() override;

    // Menu, accelerators, title (the string's text before "\n") and icon of one resource id.
    // When LoadFrame or Create fails, the frame has deleted itself.
    virtual BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* parent = nullptr);
    BOOL Create(const char* className, const char* title, DWORD style = WS_OVERLAPPEDWINDOW,
                const RECT& rect = rectDefault, CWnd* parent = nullptr,
                const char* menuName = nullptr, DWORD exStyle = 0);
    BOOL LoadAccelTable(UINT id);
    HACCEL GetDefaultAccelerator() const { return m_hAccelTable; }

    // Lays out the visible bars and the pane over the client area.
    void RecalcLayout();
    // The bar whose child id is id, or null.
    CControlBar* GetControlBar(UINT id) const;
    void ShowControlBar(CControlBar* bar, BOOL show);

    // Docking. The sides (CBRS_ALIGN_*) at which this frame docks bars.
    void EnableDocking(DWORD alignments) { m_dockAlignments = alignments & CBRS_ALIGN_ANY; }
    DWORD GetDockAlignments() const { return m_dockAlignments; }
    // Docks bar (a child of this frame, or floating from it) along side; docked bars
    // are laid out inside the non-dockable ones (the status bar), in docking order.
    void DockControlBar(CControlBar* bar, DockSide side = DockSide::Top);
    // Floats a docked bar in a tool window of its own, its top-left corner at
    // topLeft (screen coordinates). A hidden bar stays hidden.
    void FloatControlBar(CControlBar* bar, POINT topLeft);
    // The client area on the screen: where bars are dropped to dock.
    CRect GetDockArea() const;
    // Status pane 0.
    void SetMessageText(const char* text);
    void SetMessageText(UINT stringId);

    // Idle update of this frame's bars.
    void UpdateControlBars();

    BOOL PreTranslateMessage(MSG* msg) override;
    bool OnCmdMsg(UINT id, UINT code, CCmdUI* cmdUI, bool probeOnly = false) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // The default class (arrow cursor, window brush, the resource's icon) and a client edge.
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    void PostNcDestroy() override;
    const MessageMap* GetMessageMap() const override;

    // The framework's handlers; derived handlers call them for the default behaviour.
    int OnCreate(CREATESTRUCTA* cs);
    void OnSize(UINT type, int cx, int cy);
    void OnClose();
    void OnDestroy();
    void OnSetFocus(HWND lost);
    LRESULT OnInitMenuPopup(WPARAM wParam, LPARAM lParam);
    LRESULT OnMenuSelect(WPARAM wParam, LPARAM lParam);
    void OnBarCheck(UINT id);
    void OnUpdateControlBarMenu(CCmdUI* ui);
    void OnUpdateKeyIndicator(CCmdUI* ui);
    void OnToolTipText(NMHDR* header, LRESULT* result);
    void OnHotItemChange(NMHDR* header, LRESULT* result);
    // A bar that goes away leaves the docking list.
    void RemoveControlBar(CControlBar* bar);
    friend class CControlBar;

    HACCEL m_hAccelTable = nullptr;
    HMENU m_hMenuDefault = nullptr;  // loaded by LoadFrame or Create, owned by the frame
    UINT m_nIDResource = 0;

private:
    // Updates the bars while the frame shows.
    void OnIdle() override;
    BOOL CreateFrame(const char* className, const char* title, DWORD style, const RECT& rect,
                     CWnd* parent, HMENU menu, DWORD exStyle);
    // Bars of this frame's own children and its floating bars.
    std::vector<CControlBar*> AllControlBars() const;

    bool m_inLayout = false;
    DWORD m_dockAlignments = 0;
    std::vector<CControlBar*> m_dockBars;  // in docking order
};

// The prompt of a command: its string's text before "\n" (the tooltip follows it).
std::string CommandPrompt(UINT id);
std::string CommandTip(UINT id);
