#pragma once
#include "frontend/MessageProviderHost.h"
#include "frontend/MonitorGlue.h"
#include "frontend/MonitorRecordView.h"
#include "gui/ThreadBinding.h"
#include "MonitorSettings.h"
#include "net/AddressRecord.h"

class CLogView;

// The main window's link to the log service: the channel "main_channel",
// whose records arrive on the thread of the window they are shown in. The
// link's state shows in status pane 1 of the view's frame; every other record
// becomes a prefixed line, in its severity's format, at the end of the view
// and, when enabled, of the log file. Reference counted: the control block
// sits in the first word.
class CMainMonitor {
public:
    // A new monitor with one strong reference that formats through the
    // providers by the settings (both outlive it); none when memory is short.
    static CMainMonitor* Create(ProviderList* providers, const MonitorSettings* settings);

    CMainMonitor(ControlBlock* cb, ProviderList* providers, const MonitorSettings* settings);
    CMainMonitor(const CMainMonitor&) = delete;
    CMainMonitor& operator=(const CMainMonitor&) = delete;

    // Opens the channel to the server; its records go to the view, on the
    // view's thread. A monitor without its members stays silent.
    void Connect(CLogView* view, const AddressRecord* server);
    // From now on records are dropped (the view is going).
    void DetachWindow() { m_window = nullptr; }
    // One record, on the view's thread. A malformed one is dropped.
    void OnMessage(BufferHandle* record);

private:
    void ShowConnection(const char* text);
    void ShowEvent(const MonitorRecordView& record);

    ControlBlock* m_cb;
    MonitorLink<ThreadBinding> m_link;
    CLogView* m_window = nullptr;
    ProviderList* m_providers;
    const MonitorSettings* m_settings;
};

static_assert(sizeof(void*) == 4, "the monitor object keeps its control block in its first 32-bit word");
