#include "RxTxMonitor.h"

#include <cassert>

#include "HexDumpWnd.h"
#include "exec/CurrentExecutor.h"
#include "frontend/MonitorRecordView.h"

namespace {

constexpr char kChannelName[] = "device_channel";
constexpr uint32_t kDumpData = 1;

}  // namespace

CRxTxMonitor::CRxTxMonitor(ControlBlock* cb) : m_cb(cb), m_link(cb, kThreadBindingType) {}

CRxTxMonitor::~CRxTxMonitor() { StrFree(m_deviceName); }

void CRxTxMonitor::Connect(CHexDumpWnd* view, const char* deviceName, const AddressRecord* server)
{
    m_view = view;
    StrAssign(m_deviceName, deviceName);
    m_link.executor().threadId = GetWindowThreadProcessId(view->m_hWnd, nullptr);
    m_link.Open<CRxTxMonitor, &CRxTxMonitor::OnMessage>(this, kChannelName, deviceName, kDumpData, server);
}

void CRxTxMonitor::OnMessage(BufferHandle* record)
{
    assert(RunsOnThread(m_link.executor().threadId) && "port data is shown on the window's thread");
    MonitorRecordView parts;
    if (!m_view || !SplitMonitorRecord(record->data, record->size, &parts))
        return;
    if (parts.code == MonitorCodeRxData || parts.code == MonitorCodeTxData)
        m_view->HexViewAppend(parts.code == MonitorCodeRxData ? HexDirection::Rx : HexDirection::Tx,
                              parts.payload, parts.payloadLength);
}
