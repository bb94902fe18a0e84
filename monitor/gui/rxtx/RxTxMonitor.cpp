#include "RxTxMonitor.h"

#include <cassert>
#include <new>

#include "HexDumpWnd.h"
#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include "frontend/MonitorGlue.h"
#include "frontend/MonitorRecordView.h"
#include "runtime/MemberEmbedding.h"

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
    (void)MemberCreate(&m_strand, &m_strandBuilt, kStrandType.construct, kStrandType.destroy, m_cb);
    (void)BindingMemberCreate(this, &m_binding);
}

CRxTxMonitor::~CRxTxMonitor()
{
    StrFree(m_deviceName);
    m_take.reset();  // before the binding it holds
    BindingMemberRelease(&m_binding);
    ChannelMemberRelease(&m_channel, &m_channelBuilt);
    MemberRelease(&m_strand, &m_strandBuilt);
}

void CRxTxMonitor::Connect(CHexDumpWnd* view, const char* deviceName, const AddressRecord* server)
{
    m_view = view;
    StrAssign(m_deviceName, deviceName);
    if (!m_channelBuilt || !m_strandBuilt || !m_binding.constructed || !server)
        return;
    m_binding.binding.threadId = GetWindowThreadProcessId(view->m_hWnd, nullptr);
    BindMember<CRxTxMonitor, &CRxTxMonitor::OnTake>(m_take.put(), this, &m_binding.binding.exec);
    ClosureOwner onMessage;
    BindMember<CRxTxMonitor, &CRxTxMonitor::OnMessage>(onMessage.put(), this, &m_strand.exec);
    (void)ChannelOpen(&m_channel, kChannelName, deviceName, kDumpData, server,
                      onMessage.get());  // silent if it cannot open
}

// The message is released when this returns, unless the queue keeps it: the
// stream then reads on at once, and the view's thread is asked only once for
// all that comes before it takes.
void CRxTxMonitor::OnMessage(BufferHandle* record)
{
    assert(RunsOnStrand(&m_strand) && "port data is queued on the link's strand");
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
