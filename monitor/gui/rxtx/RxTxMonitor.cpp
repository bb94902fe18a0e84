#include "RxTxMonitor.h"

#include <cassert>

#include "HexDumpWnd.h"
#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include "frontend/MonitorRecordView.h"
#include "runtime/MemberEmbedding.h"

namespace {

constexpr char kChannelName[] = "device_channel";
constexpr uint32_t kDumpData = 1;

}  // namespace

CRxTxMonitor::CRxTxMonitor(ControlBlock* cb) : m_cb(cb), m_link(cb, kStrandType)
{
    (void)BindingMemberCreate(this, &m_binding);  // Connect looks at the outcome
}

CRxTxMonitor::~CRxTxMonitor()
{
    StrFree(m_deviceName);
    m_take.reset();  // before the binding it holds
    BindingMemberRelease(&m_binding);
}

void CRxTxMonitor::Connect(CHexDumpWnd* view, const char* deviceName, const AddressRecord* server)
{
    m_view = view;
    StrAssign(m_deviceName, deviceName);
    if (!m_binding.constructed || !server)
        return;
    m_binding.binding.threadId = GetWindowThreadProcessId(view->m_hWnd, nullptr);
    BindMember<CRxTxMonitor, &CRxTxMonitor::OnTake>(m_take.put(), this, &m_binding.binding.exec);
    m_link.Open<CRxTxMonitor, &CRxTxMonitor::OnMessage>(this, kChannelName, deviceName, kDumpData, server);
}

// The message is released when this returns, unless the queue keeps it: the
// stream then reads on at once, and the view's thread is asked only once for
// all that comes before it takes.
void CRxTxMonitor::OnMessage(BufferHandle* record)
{
    assert(RunsOnStrand(&m_link.executor()) && "port data is queued on the link's strand");
    MonitorRecordView parts;
    if (!SplitMonitorRecord(record->data, record->size, &parts) || parts.payloadLength == 0 ||
        (parts.code != MonitorCodeRxData && parts.code != MonitorCodeTxData))
        return;
    const HexDirection direction = parts.code == MonitorCodeRxData ? HexDirection::Rx : HexDirection::Tx;
    if (m_queue.Push(direction, parts.payload, parts.payloadLength, record)) {
        BufferHandle none{};
        // Refused only once the dispatcher stops: the program is going, and a
        // message kept back goes with the monitor.
        (void)ClosureCall(m_take.get(), &none);
    }
}

void CRxTxMonitor::OnTake(BufferHandle*)
{
    assert(RunsOnThread(m_binding.binding.threadId) && "port data is shown on the window's thread");
    RxTxQueue::Taken taken = m_queue.Take();
    if (m_view)
        m_view->HexViewAppend(taken.batch);
    // Released after the append: the stream may read on inside this call, on
    // this thread, and its records then come after these.
    taken.held.reset();
}
