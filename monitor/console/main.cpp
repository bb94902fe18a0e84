// quelcon: prints the log service's events and, with /d, the port data as
// hex dumps, until ESC is pressed (or Ctrl-C, Ctrl-Break, or the console
// window is closed).
#include "net/AddressRecord.h"
#include "CommandLine.h"
#include "ConsoleMonitor.h"
#include "EscapeKey.h"
#include "StopEvents.h"
#include "runtime/Framework.h"
#include "runtime/Platform.h"
#include "runtime/RefOwner.h"
#include "runtime/BlockOwner.h"
#include "Win32ConsoleScreen.h"

#include <objbase.h>
#include <cstring>
#include <windows.h>

namespace {

constexpr char kLogServicePipe[] = "vororado_log_server";
constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint16_t kLogServicePort = 50001;
constexpr DWORD kKeyPollMs = 500;

void ConnectToLogService(CConsoleMonitor* monitor, const CommandLine& line)
{
    if (IsNtPlatform()) {
        BlockOwner<AddressRecord> pipe(PipeAddressFromNameA(kLogServicePipe, nullptr, 0));
        monitor->Connect(line.device.c_str(), line.WantsDump(), pipe.get());
        return;
    }
    // {size 14, TCP stream, u32 address, u16 port}, host order.
    alignas(4) unsigned char tcp[kIpv4RecordSize] = {};
    const uint32_t header[3] = {kIpv4RecordSize, kAddressTypeTcp, kLoopback};
    std::memcpy(tcp, header, sizeof header);
    std::memcpy(tcp + 12, &kLogServicePort, 2);
    monitor->Connect(line.device.c_str(), line.WantsDump(), reinterpret_cast<AddressRecord*>(tcp));
}

}  // namespace

int main(int argc, char** argv)
{
    const CommandLine line = ParseCommandLine(argc, argv);
    Win32ConsoleScreen& screen = StandardOutputScreen();
    if (line.WantsUsage()) {
        screen.Print(kUsageText);
        return 0;
    }
    CatchStopEvents();  // before the banner invites a key
    screen.Print(kBannerText);

    CoInitialize(nullptr);
    FrameworkStartup();
    SystemDateTime clock;
    RefOwner<CConsoleMonitor> monitor = RefOwner<CConsoleMonitor>::Adopt(CConsoleMonitor::Create(screen, clock));
    if (monitor)
        ConnectToLogService(monitor.get(), line);
    // ESC is looked for every 500 ms; a stop event ends the pause at once.
    while (!IsEscapePressed() && !WaitForStopEvent(kKeyPollMs))
        continue;

    if (monitor)
        monitor->PrintLast(kUninitializingText);
    else
        screen.Print(kUninitializingText);
    monitor.reset();
    FrameworkShutdown();
    CoUninitialize();
    screen.Flush();
    return 0;
}
