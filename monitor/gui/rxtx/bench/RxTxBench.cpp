// One RX/TX window fed by the log-service stand-in with its port's data
// records at fixed rates, 10 seconds each: the bytes the view took per
// second, the paints it made, the longest wait of a message sent to the window
// meanwhile, and the live-block count before and after.
//
//   rxtx_bench.exe [seconds per rate] [--show seconds]
//
// --show then leaves the window on the screen that long, cleared and showing
// the stand-in's demo traffic of its port.
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "Demo.h"
#include "LogPeer.h"
#include "LoopPump.h"
#include "QuelIds.h"
#include "RxTxFrame.h"
#include "WinApp.h"
#include "WindowHook.h"
#include "runtime/Framework.h"
#include "runtime/TrackedBlock.h"

namespace {

using Clock = std::chrono::steady_clock;
using logpeer::Bytes;

const char kPort[] = "COM1";
constexpr uint32_t kRecordBytes = 1024;

// Counts the view's paints and the time they take.
class PaintCounter : public CWindowHook {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_PAINT)
            return SubclassWindowProc(message, wParam, lParam);
        const auto start = Clock::now();
        const LRESULT result = SubclassWindowProc(message, wParam, lParam);
        ms += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        ++paints;
        return result;
    }
    long paints = 0;
    double ms = 0;
};

CWinApp& App()
{
    static CWinApp app("RX/TX Benchmark");
    return app;
}

// The sequence number in the newest record the view holds: every record
// begins with its number.
uint32_t NewestRecord(const CHexDumpWnd& view)
{
    // Every append is one whole record, so the newest ends at the write
    // position. Runs do not tell: records of one direction join one run once
    // the stand-in drops those between them, and the ring cuts a long run's
    // head in the middle of a record.
    const HexRing& ring = view.model().ring();
    if (ring.used() < kRecordBytes)
        return 0;
    uint32_t number = 0;
    uint32_t at = ring.Advance(ring.write(), ring.capacity() - kRecordBytes);
    for (int i = 0; i < 4; ++i, at = ring.Advance(at, 1))
        number |= uint32_t(ring.At(at)) << (8 * i);
    return number;
}

struct Outcome {
    double offeredPerSecond = 0;
    double shownPerSecond = 0;
    double paintsPerSecond = 0;
    double paintMs = 0;  // on average
    double longestAnswerMs = 0;
    uint64_t discarded = 0;
};

Outcome Run(logpeer::LogPeer& peer, logpeer::Connection& link, CRxTxFrame& frame, PaintCounter& paints,
            double bytesPerSecond, double seconds, uint32_t& sequence)
{
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> offered{0};
    const uint32_t first = sequence;
    std::thread feeder([&] {
        const auto start = Clock::now();
        Bytes payload(kRecordBytes);
        while (!stop) {
            const double due = std::chrono::duration<double>(Clock::now() - start).count() * bytesPerSecond;
            while (offered + kRecordBytes <= due) {
                const uint32_t number = sequence++;
                std::memcpy(payload.data(), &number, 4);
                std::fill(payload.begin() + 4, payload.end(), uint8_t('A' + number % 26));
                peer.Publish(number % 2 ? 9 : 10, kPort, payload);
                offered += kRecordBytes;
            }
            Sleep(1);
        }
    });
    std::atomic<double> longest{0};
    std::atomic<bool> probing{true};
    std::thread prober([&] {
        for (; !stop; Sleep(10)) {
            const auto sent = Clock::now();
            DWORD_PTR result = 0;
            SendMessageTimeoutA(frame.m_hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
            if (ms > longest)
                longest = ms;
        }
        probing = false;
    });
    const uint64_t discardedBefore = link.discarded();
    const long paintsBefore = paints.paints;
    const double paintMsBefore = paints.ms;
    PumpFor(DWORD(seconds * 1000));
    // The records up to the newest in the view: the stand-in queues what the
    // view has not read and drops only the records after a full queue. None
    // while the view still works through an earlier rate's records.
    const uint32_t newest = NewestRecord(frame.View());
    const uint32_t shown = newest >= first ? newest + 1 - first : 0;
    const long painted = paints.paints - paintsBefore;
    const double paintMs = paints.ms - paintMsBefore;
    stop = true;
    feeder.join();
    while (probing)  // its last message waits for this thread
        PumpFor(10);
    prober.join();
    PumpFor(1000);  // what is still on its way

    Outcome outcome;
    outcome.offeredPerSecond = double(offered) / seconds;
    outcome.shownPerSecond = double(shown) * kRecordBytes / seconds;
    outcome.paintsPerSecond = double(painted) / seconds;
    outcome.paintMs = painted ? paintMs / painted : 0;
    outcome.longestAnswerMs = longest;
    outcome.discarded = link.discarded() - discardedBefore;
    return outcome;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = 10;
    DWORD showMs = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--show") && i + 1 < argc)
            showMs = DWORD(std::atof(argv[++i]) * 1000);
        else
            seconds = std::atof(argv[i]);
    }
    CoInitialize(nullptr);
    FrameworkStartup();
    PrepareApplication(App(), GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);

    logpeer::PeerOptions options;
    options.tcp = false;
    logpeer::LogPeer peer(options);
    peer.StartListening();

    const uint32_t blocksAtStart = LiveBlockCount();
    auto* frame = new CRxTxFrame(kPort);
    if (!frame->Create(nullptr, "RX/TX data for COM1", WS_OVERLAPPEDWINDOW, CRect(0, 0, 720, 600), nullptr)) {
        std::fprintf(stderr, "the RX/TX window could not be made\n");
        return 1;
    }
    frame->ShowWindow(SW_SHOW);
    PaintCounter paints;
    paints.SubclassHook(frame->View().m_hWnd);
    std::shared_ptr<logpeer::Connection> link;
    for (DWORD start = GetTickCount(); !link && GetTickCount() - start < 10000;) {
        PumpPending();
        link = peer.WaitConnection(50);
    }
    if (!link || !link->WaitOpeningRequest(10000)) {
        std::fprintf(stderr, "the RX/TX window did not connect\n");
        return 1;
    }
    PumpFor(500);

    std::printf("One RX/TX window, %u-byte data records of alternating direction, %.0f s per rate\n\n",
                kRecordBytes, seconds);
    std::printf("%12s %13s %13s %9s %9s %15s %10s %14s %13s\n", "rate", "offered B/s", "shown B/s", "paints/s",
                "paint ms", "longest answer", "discarded", "blocks before", "blocks after");
    uint32_t sequence = 0;
    for (double rate : {100.0 * 1024, 1024.0 * 1024}) {
        const uint32_t before = LiveBlockCount();
        const Outcome o = Run(peer, *link, *frame, paints, rate, seconds, sequence);
        const uint32_t after = LiveBlockCount();
        std::printf("%7.0f KB/s %13.0f %13.0f %9.1f %9.1f %12.1f ms %10llu %14u %13u\n", rate / 1024,
                    o.offeredPerSecond, o.shownPerSecond, o.paintsPerSecond, o.paintMs, o.longestAnswerMs,
                    (unsigned long long)o.discarded, before, after);
    }
    if (showMs) {
        frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_RXTX_CLEAR, 0));
        HANDLE stopDemo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::thread demo([&] { logpeer::RunDemo(peer, 0, 100, stopDemo); });
        PumpFor(showMs);
        SetEvent(stopDemo);
        demo.join();
        CloseHandle(stopDemo);
    }
    frame->DestroyWindow();
    PumpFor(500);
    const uint32_t blocksAfterClose = LiveBlockCount();
    peer.CloseAll(false);
    FrameworkShutdown();
    std::printf("\nlive blocks: %u before the window, %u after it closed (the GUI thread's dispatcher stays), "
                "%u after the core's shut-down\n",
                blocksAtStart, blocksAfterClose, LiveBlockCount());
    CoUninitialize();
    return 0;
}
