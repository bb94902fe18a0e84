#include "RxTxMonitor.h"

#include <cassert>
#include <new>

#include "HexDumpWnd.h"
#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include "frontend/MonitorGlue.h"
#include "frontend/MonitorRecordView.h"

namespace {

constexpr char kChannelName[] = "device_channel";
constexpr uint32_t kDumpData = 1;

}  // namespace

void ConstructRxTxMonitor(void* payload, ControlBlock* cb)
{
    new (payload) CRxTxMonitor(cb);
}

void DestroyRxTxMonitor(void* payload)
{
    static_cast<CRxTxMonitor*>(payload)->~CRxTxMonitor();
}

CRxTxMonitor::CRxTxMonitor(ControlBlock* cb) : m_cb(cb)
{
    // The built flags keep the outcome; Connect looks at them.
    (void)ChannelMemberCreate(&m_channel, &m_channelBuilt, m_cb);
    (void)BindingMemberCreate(this, &m_binding);
}

CRxTxMonitor::~CRxTxMonitor()
{
    StrFree(m_deviceName);
    BindingMemberRelease(&m_binding);
    ChannelMemberRelease(&m_channel, &m_channelBuilt);
}

void CRxTxMonitor::Connect(CHexDumpWnd* view, const char* deviceName, const AddressRecord* server)
{
    m_view = view;
    StrAssign(m_deviceName, deviceName);
    if (!m_channelBuilt || !m_binding.constructed || !server)
        return;
    m_binding.binding.threadId = GetWindowThreadProcessId(view->m_hWnd, nullptr);
    ClosureOwner onMessage;
    BindMember<CRxTxMonitor, &CRxTxMonitor::OnMessage>(onMessage.put(), this, &m_binding.binding.exec);
    (void)ChannelOpen(&m_channel, kChannelName, deviceName, kDumpData, server,
                      onMessage.get());  // silent if it cannot open
}

void CRxTxMonitor::OnMessage(BufferHandle* record)
{
    assert(RunsOnThread(m_binding.binding.threadId) && "port data is shown on the window's thread");
    MonitorRecordView parts;
    if (!m_view || !SplitMonitorRecord(record->data, record->size, &parts))
        return;
    if (parts.code == MonitorCodeRxData || parts.code == MonitorCodeTxData)
        m_view->HexViewAppend(parts.code == MonitorCodeRxData ? HexDirection::Rx : HexDirection::Tx,
                              parts.payload, parts.payloadLength);
}
