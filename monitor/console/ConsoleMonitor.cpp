#include "ConsoleMonitor.h"
#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include "frontend/MonitorGlue.h"

#include <cassert>
#include <new>

namespace {

constexpr char kChannelName[] = "master_channel";
constexpr char kIniFile[] = "quel.ini";

void ConstructConsoleMonitor(void* payload, ControlBlock* cb)
{
    *static_cast<ControlBlock**>(payload) = cb;  // the rest is built by Create, with its arguments
}

void DestroyConsoleMonitor(void* payload)
{
    static_cast<CConsoleMonitor*>(payload)->~CConsoleMonitor();
}

}  // namespace

CConsoleMonitor* CConsoleMonitor::Create(ConsoleScreen& screen, DateTimeSource& clock)
{
    void* payload = nullptr;
    if (ObjCreateWithPayload(&payload, ConstructConsoleMonitor, DestroyConsoleMonitor,
                             sizeof(CConsoleMonitor)) != kStatusSuccess)
        return nullptr;
    return new (payload) CConsoleMonitor(ObjControlBlockOf(payload), screen, clock);
}

CConsoleMonitor::CConsoleMonitor(ControlBlock* cb, ConsoleScreen& screen, DateTimeSource& clock)
    : cb_(cb), texts_(&providers_), printer_(screen, clock)
{
    // The built flags keep the outcome; Connect looks at them.
    (void)MemberCreate(&strand_, &strandBuilt_, kStrandType.construct, kStrandType.destroy, cb_);
    (void)ChannelMemberCreate(&channel_, &channelBuilt_, cb_);
    ProviderListInit(&providers_);
    ProviderLoadFailure failure;
    LoadMessageProviders(&providers_, kIniFile, &failure);
    if (FAILED(failure.result)) {
        printer_.PrintProviderFailure(failure.progId, failure.result);
        printer_.Flush();
    }
}

CConsoleMonitor::~CConsoleMonitor()
{
    printer_.Flush();
    ProviderListDestroy(&providers_);
    ChannelMemberRelease(&channel_, &channelBuilt_);
    MemberRelease(&strand_, &strandBuilt_);
}

void CConsoleMonitor::Connect(const char* device, bool dump, const AddressRecord* server)
{
    if (!channelBuilt_ || !strandBuilt_)
        return;  // a monitor without its members stays silent
    ClosureOwner onMessage;
    BindMember<CConsoleMonitor, &CConsoleMonitor::OnMessage>(onMessage.put(), this, &strand_.exec);
    // A channel that cannot open leaves the monitor silent, as one without its members.
    (void)ChannelOpen(&channel_, kChannelName, device, dump ? 1 : 0, server, onMessage.get());
}

// On the strand. What has been printed goes out before the next record is
// asked for, so redirected output can be followed live and loses nothing.
void CConsoleMonitor::OnMessage(BufferHandle* record)
{
    assert(RunsOnStrand(&strand_) && "records are printed on the monitor's strand");
    printer_.PrintRecord(record->data, record->size, texts_);
    printer_.Flush();
}
