// Throughput of the console monitor's whole road (pipe, client, codec,
// channel, provider, formatted line written to a file) next to a plain pipe
// reader taking the same bytes in the same run, and the live-block count
// while the monitor's output is slow; then how long quelcon.exe takes to end.
#include "ConsoleMonitor.h"
#include "runtime/Framework.h"
#include "runtime/RefOwner.h"
#include "runtime/BlockOwner.h"
#include "Win32ConsoleScreen.h"

#include "ConsoleSession.h"
#include "ExitTime.h"

#include "Frame.h"
#include "LogPeer.h"
#include "Records.h"

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using logpeer::Bytes;
using Clock = std::chrono::steady_clock;

const char kDevice[] = "COM1";
constexpr uint32_t kDumpCode = 9;       // port data: dumped, no provider asked
constexpr uint32_t kResolveCode = 12;   // a host name: the standard provider's text

// Counts the lines the monitor writes on their way into a file and signals
// when a target is reached; optionally slow, as a reader that lags behind.
// Rates stay 0 for a road that did not deliver every line.
class CountingScreen : public ConsoleScreen {
public:
    CountingScreen(HANDLE file, DWORD delayMs) : file_(file), delayMs_(delayMs), done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CountingScreen() { CloseHandle(done_); }

    void Write(const wchar_t* text, size_t length) override
    {
        file_.Write(text, length);
        const long lines = lines_ += static_cast<long>(std::count(text, text + length, L'\n'));
        if (lines >= target_)
            SetEvent(done_);
    }
    bool GetCursor(ScreenCursor*) override { return false; }
    void SetCursor(ScreenCursor) override {}
    // Called once per record handled: the slow reader's pause.
    void Flush() override
    {
        if (delayMs_)
            Sleep(delayMs_);
        file_.Flush();
    }

    // Waits until `more` lines beyond the present count have been written.
    void ExpectMore(long more)
    {
        ResetEvent(done_);
        target_ = lines_ + more;
        if (lines_ >= target_)
            SetEvent(done_);
    }
    bool Wait(DWORD ms) { return WaitForSingleObject(done_, ms) == WAIT_OBJECT_0; }
    long lines() const { return lines_; }

private:
    Win32ConsoleScreen file_;
    DWORD delayMs_;
    HANDLE done_;
    std::atomic<long> lines_{0};
    std::atomic<long> target_{0x7FFFFFFF};
};

struct Rate {
    double recordsPerSecond = 0;
    double megabytesPerSecond = 0;
};

Rate RateOf(uint32_t records, uint64_t bytes, Clock::duration elapsed)
{
    const double seconds = std::chrono::duration<double>(elapsed).count();
    return seconds > 0 ? Rate{records / seconds, bytes / seconds / 1e6} : Rate{};
}

uint64_t WireBytes(uint32_t payload) { return logpeer::kFrameHeaderSize + 8 + sizeof kDevice + payload; }

Bytes Payload(uint32_t code, uint32_t size)
{
    if (code == kResolveCode)
        return Bytes(size, 'h');  // an ANSI host name of `size` characters
    Bytes data(size);
    for (uint32_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    return data;
}

// Sends the records from a thread of its own: the peer blocks while the monitor lags.
std::thread Publish(logpeer::Connection& link, uint32_t code, uint32_t count, uint32_t size)
{
    return std::thread([&link, code, count, size] {
        const Bytes payload = Payload(code, size);
        for (uint32_t i = 0; i < count; ++i)
            link.SendRecord(code, kDevice, payload);
    });
}

// The same bytes taken by a plain blocking reader of the pipe.
Rate RawPipe(logpeer::LogPeer& peer, uint32_t count, uint32_t size)
{
    HANDLE pipe = CreateFileA(peer.pipePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return {};
    const Bytes hello = logpeer::BuildFrame(Bytes{1, 0, 0, 0});
    DWORD moved = 0;
    WriteFile(pipe, hello.data(), static_cast<DWORD>(hello.size()), &moved, nullptr);
    std::shared_ptr<logpeer::Connection> link = peer.WaitConnection(10000);
    if (!link || !link->WaitOpeningRequest(10000)) {
        CloseHandle(pipe);
        return {};
    }
    const uint64_t total = WireBytes(size) * count;
    const Clock::time_point start = Clock::now();
    std::thread sender = Publish(*link, kDumpCode, count, size);
    static char chunk[64 * 1024];
    uint64_t got = 0;
    while (got < total && ReadFile(pipe, chunk, sizeof chunk, &moved, nullptr) && moved > 0)
        got += moved;
    const Clock::duration elapsed = Clock::now() - start;
    sender.join();
    CloseHandle(pipe);
    link->WaitClosed(10000);
    return got == total ? RateOf(count, total, elapsed) : Rate{};
}

struct RoadResult {
    Rate rate;
    uint32_t liveMin = 0, liveMax = 0;
};

// Lines one record of `size` bytes makes: dump lines of 16, or one text line.
long LinesPerRecord(uint32_t code, uint32_t size) { return code == kDumpCode ? (size + 15) / 16 : 1; }

RoadResult Road(logpeer::LogPeer& peer, const char* outputPath, uint32_t code, uint32_t count,
                uint32_t size, DWORD delayMs)
{
    RoadResult result;
    HANDLE file = CreateFileA(outputPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return result;
    {
        CountingScreen screen(file, delayMs);
        SystemDateTime clock;
        RefOwner<CConsoleMonitor> monitor = RefOwner<CConsoleMonitor>::Adopt(CConsoleMonitor::Create(screen, clock));
        BlockOwner<AddressRecord> address(PipeAddressFromNameA(peer.pipePath().c_str(), nullptr, 0));
        screen.ExpectMore(1);  // the connect line
        if (monitor && address)
            monitor->Connect("", true, address.get());
        std::shared_ptr<logpeer::Connection> link = peer.WaitConnection(10000);
        if (link && link->WaitOpeningRequest(10000) && screen.Wait(10000)) {
            // A first record opens the dump header, so every record after it
            // makes the same lines.
            const Bytes first = Payload(code, size);
            screen.ExpectMore(LinesPerRecord(code, size) + (code == kDumpCode));
            link->SendRecord(code, kDevice, first);
            screen.Wait(10000);

            screen.ExpectMore(LinesPerRecord(code, size) * count);
            result.liveMin = result.liveMax = LiveBlockCount();
            const Clock::time_point start = Clock::now();
            std::thread sender = Publish(*link, code, count, size);
            bool complete = false;
            while (!(complete = screen.Wait(20)) && Clock::now() - start < std::chrono::minutes(2)) {
                const uint32_t live = LiveBlockCount();
                result.liveMin = std::min(result.liveMin, live);
                result.liveMax = std::max(result.liveMax, live);
            }
            if (complete)
                result.rate = RateOf(count, WireBytes(size) * count, Clock::now() - start);
            monitor.reset();  // a stalled road lets the sender go
            sender.join();
        }
        monitor.reset();
        ObjWaitAllFreed(15000);
        if (link)
            link->WaitClosed(10000);
    }
    CloseHandle(file);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string quelcon = ModuleDirectory() + "quelcon.exe";
    if (argc > 1 && std::string(argv[1]) == "exit") {
        PrintExitTimes(quelcon, argc > 2 ? std::max(1, std::atoi(argv[2])) : 3);
        return 0;
    }
    const double scale = argc > 1 ? std::max(0.01, std::atof(argv[1])) : 1.0;
    CoInitialize(nullptr);
    FrameworkStartup();

    logpeer::PeerOptions options;
    options.tcp = false;
    options.pipeName = "quelcon_bench_" + std::to_string(GetCurrentProcessId());
    logpeer::LogPeer peer(options);
    peer.StartListening();
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    const std::string output = std::string(directory) + "quelcon_bench_output.txt";

    std::printf("%-8s %9s %9s | %9s %9s | %9s %9s | %9s %s\n", "payload", "raw rec/s", "raw MB/s",
                "dump r/s", "dump MB/s", "text r/s", "text MB/s", "slow r/s", "live blocks min-max");
    for (uint32_t size : {16u, 64u, 256u, 4096u}) {
        const uint32_t count = static_cast<uint32_t>(scale * (size >= 4096 ? 4000 : 20000));
        const uint32_t slowCount = static_cast<uint32_t>(scale * 400);
        const Rate raw = RawPipe(peer, count, size);
        const RoadResult dump = Road(peer, output.c_str(), kDumpCode, count, size, 0);
        const RoadResult text = Road(peer, output.c_str(), kResolveCode, count, size, 0);
        const RoadResult slow = Road(peer, output.c_str(), kDumpCode, slowCount, size, 2);
        std::printf("%-8u %9.0f %9.2f | %9.0f %9.2f | %9.0f %9.2f | %9.0f %u-%u\n", size,
                    raw.recordsPerSecond, raw.megabytesPerSecond, dump.rate.recordsPerSecond,
                    dump.rate.megabytesPerSecond, text.rate.recordsPerSecond,
                    text.rate.megabytesPerSecond, slow.rate.recordsPerSecond, slow.liveMin,
                    slow.liveMax);
        std::fflush(stdout);
    }
    DeleteFileA(output.c_str());
    peer.StopListening();
    PrintExitTimes(quelcon, 3);
    FrameworkShutdown();
    CoUninitialize();
    return 0;
}
