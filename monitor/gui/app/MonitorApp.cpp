#include "MonitorApp.h"

#include "AboutDlg.h"
#include "Autorun.h"
#include "ChooseVspDlg.h"
#include "gui/DispatchManager.h"
#include "InstanceControl.h"
#include "MainFrame.h"
#include "MainIconId.h"
#include "MessageBox.h"
#include "PathRoutines.h"
#include "PreferencesSheet.h"
#include "QuelIds.h"
#include "RxTxFrame.h"
#include "runtime/Framework.h"
#include "StartupSwitches.h"

#include <objbase.h>
#include <winsock2.h>

namespace {

constexpr char kHelpFileName[] = "mirk.chm";
constexpr char kIniFileName[] = "quel.ini";
constexpr char kHelpTopicSeparator[] = "::/";

}  // namespace

void BringWindowUp(HWND window)
{
    ShowWindow(window, SW_SHOW);
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

CMonitorApp* GetMonitorApp()
{
    return dynamic_cast<CMonitorApp*>(GetApp());
}

CMonitorApp::CMonitorApp() : CWinApp("Pelko Monitor")
{
    ProviderListInit(&m_providers);
    LoadSettingsDefaults(m_settings);
}

CMonitorApp::~CMonitorApp()
{
    RxTxFrameListDeleteAll();
    ProviderListDestroy(&m_providers);
}

const MessageMap* CMonitorApp::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand<ID_SHOW_MONITOR, &CMonitorApp::OnShowMonitorWindow>(),
        OnCommand<ID_APP_EXIT, &CMonitorApp::OnAppExit>(),
        OnCommand<ID_MONITOR_HELP, &CMonitorApp::OnMonitorHelp>(),
        OnCommand<ID_PREFERENCES, &CMonitorApp::OnPreferences>(),
        OnCommand<ID_APP_ABOUT, &CMonitorApp::OnAbout>(),
        OnCommand<ID_HELP_ABOUT, &CMonitorApp::OnAbout>(),
        OnCommand<ID_RXTX_DATA, &CMonitorApp::OnRxTxData>(),
    };
    static const MessageMap map = MakeMessageMap(CWinApp::GetMessageMap(), entries);
    return &map;
}

CMainFrame* CMonitorApp::MainFrame() const
{
    return dynamic_cast<CMainFrame*>(m_pMainWnd);
}

BOOL CMonitorApp::InitInstance()
{
    CoInitialize(nullptr);
    FrameworkStartup();

    const StartupSwitches switches = ParseStartupSwitches(GetCommandLineA());
    if (switches.autorun) {
        SetAutorun(false, HKEY_LOCAL_MACHINE);
        SetAutorun(true, HKEY_CURRENT_USER);
    }
    if (switches.noAutorun) {
        SetAutorun(false, HKEY_CURRENT_USER);
        SetAutorun(false, HKEY_LOCAL_MACHINE);
    }
    const int showCommand = switches.minimize ? SW_HIDE : SW_RESTORE;
    if (switches.stop) {
        StopRunningInstances();
        return FALSE;
    }

    const std::string directory = ModuleDir(ModulePath(nullptr));
    m_helpFilePath = PathJoin(directory, kHelpFileName);
    LoadMessageProviders(&m_providers, PathJoin(directory, kIniFileName).c_str());
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);

    if (m_instanceRegion.SharedMemoryCreate(kInstanceRegionName, sizeof(uint32_t)))
        return StartFirstInstance(showCommand);
    RaiseRunningInstance(showCommand);
    return FALSE;
}

BOOL CMonitorApp::StartFirstInstance(int showCommand)
{
    ChooseMainIcon();
    LoadSettingsDefaults(m_settings);
    LoadSettings(m_settings);

    auto* frame = new CMainFrame;
    m_pMainWnd = frame;
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE)) {
        m_pMainWnd = nullptr;  // the frame is gone
        return FALSE;
    }
    frame->ShowWindow(showCommand);
    frame->UpdateWindow();
    StoreMainWindow(m_instanceRegion, frame->m_hWnd);
    return TRUE;
}

void CMonitorApp::RaiseRunningInstance(int showCommand)
{
    CSharedMemory running;
    HWND window = running.SharedMemoryOpen(kInstanceRegionName) ? StoredMainWindow(running) : nullptr;
    if (!window) {
        AppMessageBox(IDS_ONE_INSTANCE, MB_OK);
        return;
    }
    ShowWindow(window, showCommand);
    if (showCommand != SW_HIDE)
        SetForegroundWindow(window);
}

int CMonitorApp::ExitInstance()
{
    m_rxtxFrames.DestroyAllWindows();
    if (m_pMainWnd) {
        m_pMainWnd->DestroyWindow();
        m_pMainWnd = nullptr;
    }
    // Calls queued for this thread hold their records, and the records hold the
    // link's objects: dropped now, the core's shut-down need not wait for them.
    DispatchManagerDiscardAll();
    ReleaseAllProviders(&m_providers);
    FrameworkShutdown();
    CoUninitialize();
    return CWinApp::ExitInstance();
}

std::string CMonitorApp::OpenHelpTopic(const char* topic)
{
    m_lastHelpAddress = m_helpFilePath + kHelpTopicSeparator + (topic ? topic : "");
    return m_lastHelpAddress;
}

void CMonitorApp::OnShowMonitorWindow()
{
    if (m_pMainWnd)
        BringWindowUp(m_pMainWnd->m_hWnd);
}

void CMonitorApp::OnAppExit()
{
    if (m_pMainWnd)
        m_pMainWnd->PostMessage(WM_CLOSE);
}

void CMonitorApp::OnMonitorHelp()
{
    OpenHelpTopic("port_monitor.htm");
}

void CMonitorApp::OnPreferences()
{
    // On OK the sheet takes the General page's copy back and saves the settings.
    RunPreferencesSheet(m_settings, m_pMainWnd);
}

void CMonitorApp::OnAbout()
{
    CAboutDlg about(m_pMainWnd);
    about.DoModal();
}

void CMonitorApp::OnRxTxData()
{
    CChooseVspDlg chooser;
    if (chooser.DoModal() != IDOK)
        return;
    if (CRxTxFrame* frame = CRxTxFrame::Open(chooser.PortName()))
        RxTxFrameListAdd(frame);
}
