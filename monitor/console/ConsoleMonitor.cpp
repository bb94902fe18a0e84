#include "ConsoleMonitor.h"
#include "exec/CurrentExecutor.h"

#include <cassert>

namespace {

constexpr char kChannelName[] = "master_channel";
constexpr char kIniFile[] = "quel.ini";

}  // namespace

CConsoleMonitor* CConsoleMonitor::Create(ConsoleScreen& screen, DateTimeSource& clock)
{
    return CreateMonitorObject<CConsoleMonitor>(screen, clock);
}

CConsoleMonitor::CConsoleMonitor(ControlBlock* cb, ConsoleScreen& screen, DateTimeSource& clock)
    : cb_(cb), link_(cb, kStrandType), texts_(&providers_), printer_(screen, clock)
{
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
}

void CConsoleMonitor::Connect(const char* device, bool dump, const AddressRecord* server)
{
    link_.Open<CConsoleMonitor, &CConsoleMonitor::OnMessage>(this, kChannelName, device, dump ? 1 : 0, server);
}

// On the strand. What has been printed goes out before the next record is
// asked for, so redirected output can be followed live and loses nothing.
void CConsoleMonitor::OnMessage(BufferHandle* record)
{
    assert(RunsOnStrand(&link_.executor()) && "records are printed on the monitor's strand");
    printer_.PrintRecord(record->data, record->size, texts_);
    printer_.Flush();
}
