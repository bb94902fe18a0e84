#include "MainFrame.h"

#include "InstanceControl.h"
#include "LogServiceAddress.h"
#include "MainIconId.h"
#include "MainMonitor.h"
#include "MessageBox.h"
#include "MonitorApp.h"
#include "QuelIds.h"
#include "VersionInfo.h"

#include <commctrl.h>

#include <iterator>

RUNTIME_CLASS_IMPLEMENT(CMainFrame, CFrameWnd)

namespace {

const UINT kIndicators[] = {ID_SEPARATOR, ID_SEPARATOR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM,
                            ID_INDICATOR_SCRL};
constexpr int kConnectionPane = 1;
constexpr int kPaneWidth = 100;
constexpr UINT kBlinkPeriodMs = 1000;

constexpr DWORD kLogViewStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                ES_AUTOHSCROLL | ES_READONLY | ES_DISABLENOSCROLL;
static_assert(kLogViewStyle == 0x502028C4, "the log view's style");

}  // namespace

CMainFrame::CMainFrame()
    : m_largeIcon(LoadIconA(ResourceHandle(), MAKEINTRESOURCEA(MainIconId()))),
      m_smallIcon(LoadSmallIcon(IDI_MAIN)),
      m_blinkIcon(LoadSmallIcon(IDI_MAIN_BLINK))
{
    m_trayMenu.LoadMenu(IDR_TRAY_MENU);
}

CMainFrame::~CMainFrame()
{
    DestroyWindowFromDestructor();  // still a main frame here: WM_DESTROY detaches the monitor
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs)
{
    cs.lpszClass = RegisterNamedWndClass(kMainFrameClassName, 0);
    if (!CFrameWnd::PreCreateWindow(cs) || !cs.lpszClass)
        return FALSE;
    cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
    return TRUE;
}

const MessageMap* CMainFrame::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnWmCreate<&CMainFrame::OnCreate>(),
        OnWmSetFocus<&CMainFrame::OnSetFocus>(),
        OnMessage<WM_TRAY_NOTIFY, &CMainFrame::OnTrayNotify>(),
        OnMessage<WM_ATTENTION, &CMainFrame::OnAttention>(),
        OnWmDestroy<&CMainFrame::OnDestroy>(),
        OnWmSize<&CMainFrame::OnSize>(),
        OnUpdateCommand<ID_EDIT_COPY, &CMainFrame::OnUpdateEditCopy>(),
        OnCommand<ID_EDIT_COPY, &CMainFrame::OnEditCopy>(),
        OnCommand<ID_STOP_INSTANCE, &CMainFrame::OnStopInstance>(),
        OnUpdateCommand<ID_CLEAR_LOG, &CMainFrame::OnUpdateClearLog>(),
        OnCommand<ID_CLEAR_LOG, &CMainFrame::OnClearLog>(),
        OnWmClose<&CMainFrame::OnClose>(),
        OnWmTimer<&CMainFrame::OnTimer>(),
        OnWmHelp<&CMainFrame::OnHelp>(),
    };
    static const MessageMap map = MakeMessageMap(CFrameWnd::GetMessageMap(), entries);
    return &map;
}

int CMainFrame::OnCreate(CREATESTRUCTA* cs)
{
    if (CFrameWnd::OnCreate(cs) == -1)
        return -1;
    SetIcon(m_largeIcon, TRUE);
    SetIcon(m_smallIcon.get(), FALSE);
    SetWindowText(BuildMainTitle(ResourceHandle(), IDS_MAIN_TITLE).c_str());
    m_menuManager.MenuDrawInstall(this);
    m_menuManager.MenuDrawLoadToolbar(IDR_MAINFRAME);
    EnableDocking(CBRS_ALIGN_ANY);
    if (!CreateLogView() || !CreateStatusBar() || !CreateToolBar())
        return -1;
    m_trayIcon.Add(m_hWnd, ID_TRAY_ICON, WM_TRAY_NOTIFY, m_smallIcon.get(), LoadResString(IDS_TRAY_TIP));
    ConnectMonitor();
    return 0;
}

bool CMainFrame::CreateLogView()
{
    if (!m_wndLogView.Create(kLogViewStyle, CRect(), this, IDW_LOG_VIEW))
        return false;
    m_wndLogView.ModifyStyleEx(0, WS_EX_CLIENTEDGE, SWP_FRAMECHANGED);
    m_wndLogView.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    m_wndLogView.SendMessage(EM_SETLANGOPTIONS, 0, 0);
    return true;
}

bool CMainFrame::CreateStatusBar()
{
    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, IDW_STATUS_BAR) ||
        !m_wndStatusBar.SetIndicators(kIndicators, int(std::size(kIndicators))))
        return false;
    m_wndStatusBar.SetPaneInfo(0, ID_SEPARATOR, SBPS_STRETCH | SBPS_NOBORDERS, kPaneWidth);
    m_wndStatusBar.SetPaneInfo(kConnectionPane, ID_SEPARATOR, SBPS_NORMAL, kPaneWidth);
    m_wndStatusBar.SetPaneText(kConnectionPane, "DISCONNECTED");
    return true;
}

bool CMainFrame::CreateToolBar()
{
    if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT,
                               WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC,
                               CRect(), IDW_TOOLBAR) ||
        !m_wndToolBar.LoadToolBar(IDR_MAINFRAME))
        return false;
    m_wndToolBar.EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&m_wndToolBar);
    return true;
}

void CMainFrame::ConnectMonitor()
{
    CMonitorApp* app = GetMonitorApp();
    m_monitor.reset();  // the old monitor goes before a new one is made
    if (!app)
        return;
    m_monitor.reset(CMainMonitor::Create(app->Providers(), &app->Settings()));
    LogServiceAddress server;
    if (CMainMonitor* monitor = m_monitor.get())
        monitor->Connect(&m_wndLogView, server.Get());
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
        ShowWindow(SW_MINIMIZE);
        return TRUE;
    }
    return CFrameWnd::PreTranslateMessage(msg);
}

void CMainFrame::StopBlinking()
{
    KillTimer(ID_BLINK_TIMER);
    m_trayIcon.SetIcon(m_smallIcon.get());
}

void CMainFrame::OnSetFocus(HWND)
{
    StopBlinking();
    m_wndLogView.SetFocus();
}

LRESULT CMainFrame::OnTrayNotify(WPARAM id, LPARAM mouseMessage)
{
    if (id != ID_TRAY_ICON)
        return 0;
    if (mouseMessage == WM_LBUTTONDBLCLK)
        BringWindowUp(m_hWnd);
    else if (mouseMessage == WM_RBUTTONDOWN)
        ShowTrayMenu();
    return 0;
}

void CMainFrame::ShowTrayMenu()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(m_hWnd);
    CMenu popup = m_trayMenu.GetSubMenu(0);
    popup.SetDefaultItem(0, TRUE);
    popup.TrackPopupMenu(TPM_LEFTALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, this);
    PostMessage(WM_NULL);  // so that a click elsewhere closes the menu
}

LRESULT CMainFrame::OnAttention(WPARAM, LPARAM)
{
    HWND focus = GetFocus();
    if (focus != m_hWnd && !IsChild(m_hWnd, focus)) {
        m_blinkPhase = true;
        SetTimer(ID_BLINK_TIMER, kBlinkPeriodMs);
    }
    return 0;
}

void CMainFrame::OnTimer(UINT_PTR id)
{
    if (id == ID_BLINK_TIMER) {
        m_blinkPhase = !m_blinkPhase;
        m_trayIcon.SetIcon(m_blinkPhase ? m_smallIcon.get() : m_blinkIcon.get());
    }
    Default();
}

void CMainFrame::OnDestroy()
{
    m_destroying = true;
    if (CMainMonitor* monitor = m_monitor.get())
        monitor->DetachWindow();
    m_trayIcon.Remove();
    CFrameWnd::OnDestroy();
}

void CMainFrame::OnSize(UINT type, int cx, int cy)
{
    CFrameWnd::OnSize(type, cx, cy);
    if (type == SIZE_MINIMIZED) {
        ShowWindow(SW_HIDE);  // it lives on in the notification area
    } else if (!m_destroying) {  // taking the menu off at the end resizes the client area
        ShowWindow(SW_SHOW);
        SetFocus();
    }
}

void CMainFrame::OnClose()
{
    if (AppMessageBox(IDS_EXIT_QUESTION, MB_OKCANCEL | MB_ICONQUESTION) == IDOK)
        DestroyWindow();
}

BOOL CMainFrame::OnHelp(HELPINFO*)
{
    if (CMonitorApp* app = GetMonitorApp())
        app->OpenHelpTopic("port_monitor.htm");
    return TRUE;
}

void CMainFrame::OnEditCopy()
{
    m_wndLogView.Copy();
}

void CMainFrame::OnUpdateEditCopy(CCmdUI* ui)
{
    long start = 0, end = 0;
    m_wndLogView.GetSel(start, end);
    ui->Enable(end > start);
}

void CMainFrame::OnClearLog()
{
    m_wndLogView.DropHeldLines();
    m_wndLogView.SetWindowText("");
}

void CMainFrame::OnUpdateClearLog(CCmdUI* ui)
{
    ui->Enable(m_wndLogView.GetTextLength() > 0);
}

void CMainFrame::OnStopInstance()
{
    DestroyWindow();
}
