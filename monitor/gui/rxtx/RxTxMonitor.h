#pragma once
// The link of one RX/TX window: a channel "device_channel" to the log service
// for one port with the dump flag set, whose TX and RX data records are
// appended to the window's hex-dump view on the view's thread. Reference
// counted (CreateMonitorObject); the control block sits in the first word.
#include <cstdint>

#include "containers/Str.h"
#include "frontend/MonitorGlue.h"
#include "gui/ThreadBinding.h"
#include "net/AddressRecord.h"

class CHexDumpWnd;

class CRxTxMonitor {
public:
    explicit CRxTxMonitor(ControlBlock* cb);
    ~CRxTxMonitor();
    CRxTxMonitor(const CRxTxMonitor&) = delete;
    CRxTxMonitor& operator=(const CRxTxMonitor&) = delete;

    // Feeds `view` (whose window exists) with the data of port `deviceName`
    // from `server`; records are delivered on the thread of the view's window.
    // The link reconnects by itself; a monitor whose members could not be
    // made stays silent.
    void Connect(CHexDumpWnd* view, const char* deviceName, const AddressRecord* server);
    // A record from the channel, on the view's thread: TX (9) and RX (10)
    // data go to the view, every other record and every record that is cut
    // short or has no terminated name is dropped, and so is everything once
    // the view is gone.
    void OnMessage(BufferHandle* record);
    // The window is being destroyed: records still in flight are dropped.
    void DetachView() { m_view = nullptr; }

    CHexDumpWnd* view() const { return m_view; }

private:
    ControlBlock* m_cb;
    MonitorLink<ThreadBinding> m_link;
    CHexDumpWnd* m_view = nullptr;
    Str m_deviceName;
};

static_assert(sizeof(void*) == 4, "the monitor object keeps its control block in its first 32-bit word");
