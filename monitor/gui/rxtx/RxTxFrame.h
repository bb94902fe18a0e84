#pragma once
// The RX/TX data window of one virtual port: menu 146, toolbar 129 (Save,
// Clear) and a hex-dump view fed by the window's own link to the log service
// (a CRxTxMonitor on "device_channel" for that port, with the port data).
// Made with new and Create; it deletes itself when its window is gone.
#include <string>

#include "FrameWnd.h"
#include "HexDumpWnd.h"
#include "Menu.h"
#include "RxTxAppServices.h"
#include "ToolBar.h"
#include "runtime/ObjRef.h"

class CRxTxMonitor;

class CRxTxFrame : public CFrameWnd {
public:
    explicit CRxTxFrame(const char* deviceName);
    ~CRxTxFrame() override;

    const std::string& DeviceName() const { return m_deviceName; }
    CHexDumpWnd& View() { return m_view; }
    CToolBar& ToolBar() { return m_toolBar; }
    // The window's link, none when it could not be made.
    CRxTxMonitor* Monitor() const { return static_cast<CRxTxMonitor*>(m_linkObject.object); }

    // The window's place in the application's list of open RX/TX windows.
    RxTxListLink m_listLink;

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    const MessageMap* GetMessageMap() const override;

private:
    int OnCreate(CREATESTRUCTA* cs);
    void OnDestroy();
    void OnSetFocus(HWND lost);
    void OnSave();
    void OnClear();
    void OnUpdateClear(CCmdUI* ui);
    void OnCloseCommand();
    BOOL OnHelp(HELPINFO* info);

    std::string m_deviceName;
    CMenu m_menu;
    CToolBar m_toolBar;
    CHexDumpWnd m_view;
    ObjRef m_linkObject{};
};
