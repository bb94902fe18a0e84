// How quel's main window keeps up with a flood of event lines: the log-service
// stand-in on the log service's pipe sends 1,000 records a second for 10
// seconds to the real application object, running its real loop, while another
// thread asks the window for an answer every 20 ms. Prints the lines shown per
// second, the share of the flood in the view when it ended and one second
// later, the largest delay of the window's answer, the live-block count
// before, during and after, and how long the window takes to close and the
// program to end after it.
#include "InstanceControl.h"
#include "MainFrame.h"
#include "MonitorApp.h"
#include "QuelIds.h"
#include "runtime/TrackedBlock.h"
#include "WindowHook.h"

#include "LogPeer.h"
#include "Records.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using logpeer::Bytes;

constexpr int kRecordsPerSecond = 1000;
constexpr int kSeconds = 10;
constexpr int kBatchesPerSecond = 100;
constexpr DWORD kProbeEveryMs = 20;

CMonitorApp theApp;

// Counts the lines that reach the log view: the line ends in the text that
// EM_REPLACESEL puts in, one line or several at a time.
class LineCounter : public CWindowHook {
public:
    std::atomic<long> lines{0};
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == EM_REPLACESEL && lParam) {
            const char* text = reinterpret_cast<const char*>(lParam);
            lines += long(std::count(text, text + std::strlen(text), '\n'));
        }
        return SubclassWindowProc(message, wParam, lParam);
    }
};

// The demo's kinds of records, info and error lines among them, in turn.
std::vector<std::pair<uint32_t, Bytes>> RecordKinds()
{
    using namespace logpeer;
    const uint32_t host = Ipv4(192, 168, 1, 20);
    return {
        {kDeviceOpened, {}},
        {kResolveByName, ResolveByNamePayload("serial-gw.local")},
        {kResolveResult, ResolveResultPayload(0, host)},
        {kConnectResult, StatusPayload(0, TcpAddressRecord(host, 4001))},
        {kConnectResult, StatusPayload(0xC0000236, TcpAddressRecord(host, 4002))},
        {kConnectionClosed, ClosedPayload(kClosedByRemote, TcpAddressRecord(host, 4001))},
        {kDeviceClosed, {}},
    };
}

long Milliseconds(Clock::time_point from, Clock::time_point to)
{
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

}  // namespace

int main()
{
    logpeer::PeerOptions options;
    options.tcp = false;
    logpeer::LogPeer peer(options);
    try {
        peer.StartListening();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quel_bench: %s\n", e.what());
        return 1;
    }
    PrepareApplication(theApp, GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
    if (!theApp.InitInstance()) {
        std::fprintf(stderr, "quel_bench: quel did not start (is another instance running?)\n");
        theApp.ExitInstance();
        return 1;
    }
    const HWND window = theApp.m_pMainWnd->m_hWnd;
    LineCounter counter;
    counter.SubclassHook(theApp.MainFrame()->LogView().m_hWnd);

    std::shared_ptr<logpeer::Connection> link = peer.WaitConnection(20000);
    if (!link || !link->WaitOpeningRequest(20000)) {
        std::fprintf(stderr, "quel_bench: quel did not connect\n");
        return 1;
    }

    std::atomic<bool> flooding{true};
    std::atomic<long> maxDelayMs{0}, probes{0};
    std::thread prober([&] {
        while (flooding) {
            const auto sent = Clock::now();
            DWORD_PTR answer = 0;
            SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
            const long delay = Milliseconds(sent, Clock::now());
            maxDelayMs = std::max(maxDelayMs.load(), delay);
            ++probes;
            Sleep(kProbeEveryMs);
        }
    });

    struct Second {
        long sent, shown;
        uint32_t liveBlocks;
    };
    std::vector<Second> seconds;
    uint32_t blocksBefore = 0;
    long sent = 0, shownAtEnd = 0, shownSecondLater = 0;
    Clock::time_point stopped, gone;
    std::thread flood([&] {
        Sleep(500);  // the connect's own records first
        blocksBefore = LiveBlockCount();
        const auto kinds = RecordKinds();
        const auto start = Clock::now();
        for (int batch = 0; batch < kSeconds * kBatchesPerSecond; ++batch) {
            for (int i = 0; i < kRecordsPerSecond / kBatchesPerSecond; ++i, ++sent) {
                const auto& kind = kinds[size_t(sent) % kinds.size()];
                link->SendRecord(kind.first, "COM" + std::to_string(1 + sent % 4), kind.second);
            }
            if ((batch + 1) % kBatchesPerSecond == 0)
                seconds.push_back({sent, counter.lines.load(), LiveBlockCount()});
            const auto due = start + std::chrono::milliseconds((batch + 1) * 1000 / kBatchesPerSecond);
            std::this_thread::sleep_until(due);
        }
        shownAtEnd = counter.lines;
        Sleep(1000);
        shownSecondLater = counter.lines;
        for (int waited = 0; counter.lines < sent && waited < 10000; waited += 10)
            Sleep(10);
        flooding = false;
        prober.join();
        seconds.push_back({sent, counter.lines.load(), LiveBlockCount()});
        stopped = Clock::now();
        PostMessageA(window, WM_COMMAND, ID_STOP_INSTANCE, 0);
        while (IsWindow(window))
            Sleep(1);
        gone = Clock::now();
    });

    theApp.Run();  // to the stop command, then the exit, which shuts the core down
    const auto ended = Clock::now();
    flood.join();
    const long closeMs = Milliseconds(stopped, gone);
    const long exitMs = Milliseconds(gone, ended);

    std::printf("second  sent  shown  live blocks\n");
    long previous = 0;
    for (size_t i = 0; i + 1 < seconds.size(); ++i) {
        std::printf("%6zu %5ld %6ld %12u\n", i + 1, seconds[i].sent - (i ? seconds[i - 1].sent : 0),
                    seconds[i].shown - previous, seconds[i].liveBlocks);
        previous = seconds[i].shown;
    }
    const Second& last = seconds.back();
    std::printf("lines shown: %ld of %ld sent, %.0f a second over the flood\n", last.shown, last.sent,
                double(seconds[size_t(kSeconds) - 1].shown) / kSeconds);
    std::printf("in the view when the flood ended: %.1f%% of it; one second later: %.1f%%\n",
                100.0 * shownAtEnd / sent, 100.0 * shownSecondLater / sent);
    std::printf("largest delay of the window's answer: %ld ms (%ld probes, one every %lu ms)\n",
                maxDelayMs.load(), probes.load(), kProbeEveryMs);
    std::printf("live blocks: %u before the flood, %u after it (every line shown, or 10 s later)\n", blocksBefore,
                last.liveBlocks);
    std::printf("stop command to the window gone: %ld ms; window gone to the end of the exit: %ld ms\n",
                closeMs, exitMs);
    return 0;
}
