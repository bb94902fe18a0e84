#pragma once
#include "frontend/MessageProviderHost.h"
#include "MonitorSettings.h"
#include "RxTxFrameList.h"
#include "SharedMemory.h"
#include "WinApp.h"

#include <string>

class CMainFrame;

// quel's application object. Start-up: COM, the monitor core, the command
// line's switches, the message providers of quel.ini, WinSock, the
// single-instance region, the settings and the main frame. Exit: the RX/TX
// windows and the main window go, the calls still queued for this thread are
// dropped, then the providers, the core and COM. It owns the commands of the
// main menu, the toolbar and the notification icon's menu that are not the
// frame's.
class CMonitorApp : public CWinApp {
public:
    CMonitorApp();
    ~CMonitorApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // The live settings: read by the main frame, the monitor object and the
    // preferences pages.
    MonitorSettings& Settings() { return m_settings; }
    ProviderList* Providers() { return &m_providers; }
    CMainFrame* MainFrame() const;

    // The open RX/TX windows: RxTxFrameListAdd links a shown one at the tail;
    // ExitInstance destroys their windows first; RxTxFrameListDeleteAll, run
    // when the application object goes, deletes those still listed.
    RxTxFrameList& RxTxFrames() { return m_rxtxFrames; }
    void RxTxFrameListAdd(CRxTxFrameBase* frame) { m_rxtxFrames.Add(frame); }
    void RxTxFrameListDeleteAll() { m_rxtxFrames.DeleteAll(); }

    // A help topic's address in mirk.chm beside the program ("...\mirk.chm::/topic").
    // The program has no help viewer to hand it to: the address is kept
    // (LastHelpAddress) and returned.
    std::string OpenHelpTopic(const char* topic) override;
    const std::string& LastHelpAddress() const { return m_lastHelpAddress; }

protected:
    const MessageMap* GetMessageMap() const override;
    void OnShowMonitorWindow();
    void OnAppExit();
    void OnMonitorHelp();
    void OnPreferences();
    void OnAbout();
    // The port chooser, then an RX/TX window for the chosen port, listed.
    void OnRxTxData();

private:
    BOOL StartFirstInstance(int showCommand);
    void RaiseRunningInstance(int showCommand);

    CSharedMemory m_instanceRegion;
    std::string m_helpFilePath;
    std::string m_lastHelpAddress;
    RxTxFrameList m_rxtxFrames;
    ProviderList m_providers;
    MonitorSettings m_settings;
};

// The application object, or none (before it is made, or in a program of another kind).
CMonitorApp* GetMonitorApp();

// Shows, restores and brings the window to the front: the notification icon's
// double click and "Show Monitor Window".
void BringWindowUp(HWND window);
