#pragma once
// The link of one RX/TX window: a channel "device_channel" to the log service
// for one port with the dump flag set, whose TX and RX data records are
// queued on the link's strand and taken in batches to the window's hex-dump
// view on the view's thread. Reference counted (CreateMonitorObject); the
// control block sits in the first word.
#include <cstdint>

#include "RxTxQueue.h"
#include "containers/Str.h"
#include "exec/ClosureOwner.h"
#include "exec/Strand.h"
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
    // from `server`; the view takes the data on its window's thread. The link
    // reconnects by itself; a monitor whose members could not be made stays
    // silent.
    void Connect(CHexDumpWnd* view, const char* deviceName, const AddressRecord* server);
    // A record from the channel, on the link's strand: the bytes of TX (9) and
    // RX (10) records are queued for the view, and a take is asked of the
    // view's thread unless one is on its way; every other record and every
    // record that is cut short or has no terminated name is dropped.
    void OnMessage(BufferHandle* record);
    // On the view's thread: everything queued goes to the view in one append
    // (nowhere once the view is gone), then a message kept back is released.
    void OnTake(BufferHandle*);
    // The window is being destroyed: data still queued or in flight is dropped.
    void DetachView() { m_view = nullptr; }

    CHexDumpWnd* view() const { return m_view; }

private:
    ControlBlock* m_cb;
    RxTxQueue m_queue;          // destroyed after the link: a message kept back is released last
    MonitorLink<Strand> m_link;
    BindingMember m_binding{};  // its own control block: the take closure holds it strongly
    ClosureOwner m_take;        // OnTake on the view's thread
    CHexDumpWnd* m_view = nullptr;
    Str m_deviceName;
};

static_assert(sizeof(void*) == 4, "the monitor object keeps its control block in its first 32-bit word");
