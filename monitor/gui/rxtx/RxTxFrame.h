#pragma once
// The RX/TX data window of one virtual port: menu 146, toolbar 129 (Save,
// Clear) and a hex-dump view fed by the window's own link to the log service
// (a CRxTxMonitor on "device_channel" for that port, with the port data).
// Made with new and Create (or Open); it deletes itself when its window is
// gone, and leaves the application's list of RX/TX windows then.
#include <string>

#include "HexDumpWnd.h"
#include "Menu.h"
#include "RxTxFrameList.h"
#include "ToolBar.h"
#include "runtime/RefOwner.h"

class CRxTxMonitor;

class CRxTxFrame : public CRxTxFrameBase {
public:
    explicit CRxTxFrame(const char* deviceName);
    ~CRxTxFrame() override;

    // A new window "RX/TX data for <deviceName>", shown; none when it could not be made.
    static CRxTxFrame* Open(const std::string& deviceName);

    const std::string& DeviceName() const { return m_deviceName; }
    CHexDumpWnd& View() { return m_view; }
    CToolBar& ToolBar() { return m_toolBar; }
    // The window's link, none when it could not be made.
    CRxTxMonitor* Monitor() const { return m_linkObject.get(); }

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
    RefOwner<CRxTxMonitor> m_linkObject;  // last: let go as soon as the window is gone
};
