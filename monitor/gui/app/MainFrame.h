#pragma once
#include "FrameWnd.h"
#include "LogView.h"
#include "Menu.h"
#include "MenuDrawManager.h"
#include "SmallIcon.h"
#include "win32/Handles.h"
#include "runtime/RefOwner.h"
#include "StatusBar.h"
#include "ToolBar.h"
#include "TrayIcon.h"

#include <windows.h>

class CMainMonitor;

// quel's main window: menu, toolbar, a status bar whose pane 1 shows the link
// to the log service, and the read-only rich-edit log view as its client area,
// fed by the main monitor object. It keeps an icon in the notification area,
// hides there when minimised or on Esc, blinks that icon on WM_ATTENTION while
// the user works in another window, and asks before it closes; the stop
// command of a later "quel /stop" closes it at once. Its window class has a
// fixed name (kMainFrameClassName), by which a stopping instance finds it.
class CMainFrame : public CFrameWnd {
public:
    RUNTIME_CLASS_DECLARE(CMainFrame)
public:
    CMainFrame();
    ~CMainFrame() override;

    // Esc hides the window to the notification area.
    BOOL PreTranslateMessage(MSG* msg) override;

    CLogView& LogView() { return m_wndLogView; }
    CStatusBar& StatusBar() { return m_wndStatusBar; }
    CToolBar& ToolBar() { return m_wndToolBar; }
    const CTrayIcon& TrayIcon() const { return m_trayIcon; }
    CMenu& TrayMenu() { return m_trayMenu; }
    CMenuDrawManager& MenuManager() { return m_menuManager; }

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    const MessageMap* GetMessageMap() const override;

    int OnCreate(CREATESTRUCTA* cs);
    void OnSetFocus(HWND lost);
    LRESULT OnTrayNotify(WPARAM id, LPARAM mouseMessage);
    LRESULT OnAttention(WPARAM, LPARAM);
    void OnDestroy();
    void OnSize(UINT type, int cx, int cy);
    void OnClose();
    void OnTimer(UINT_PTR id);
    BOOL OnHelp(HELPINFO* info);
    void OnEditCopy();
    void OnUpdateEditCopy(CCmdUI* ui);
    void OnClearLog();
    void OnUpdateClearLog(CCmdUI* ui);
    void OnStopInstance();

private:
    bool CreateLogView();
    bool CreateStatusBar();
    bool CreateToolBar();
    void ConnectMonitor();
    void ShowTrayMenu();
    void StopBlinking();

    CMenuDrawManager m_menuManager;  // goes after the window: its popups are plain again by then
    CMenu m_trayMenu;
    HICON m_largeIcon;  // shared, not destroyed
    win32::UniqueIcon m_smallIcon;
    win32::UniqueIcon m_blinkIcon;
    CTrayIcon m_trayIcon;
    bool m_blinkPhase = false;
    bool m_destroying = false;  // from WM_DESTROY on: a hidden window stays hidden
    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;
    CLogView m_wndLogView;
    RefOwner<CMainMonitor> m_monitor;  // last: let go first, once the window is gone
};
