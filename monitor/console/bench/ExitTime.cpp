#include "ExitTime.h"

#include "ConsoleSession.h"
#include "LogPeer.h"
#include "Records.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kStartMs = 30000;
constexpr DWORD kExitMs = 30000;
// The flow: a host-name record, as text, 200 a second in batches of 10.
constexpr int kBatch = 10;
constexpr auto kBatchEvery = std::chrono::milliseconds(50);

struct ExitCase {
    const char* name;
    bool flowing;
    bool escape;  // else Ctrl-C, a stop event
};

const ExitCase kCases[] = {
    {"idle, ESC", false, true},
    {"idle, Ctrl-C", false, false},
    {"flowing, ESC", true, true},
    {"flowing, Ctrl-C", true, false},
};

// Milliseconds from the key to the end of the process; -1 when the run did
// not get that far.
long ExitTime(logpeer::LogPeer& peer, const std::string& program, const ExitCase& how)
{
    ConsoleSession session;
    if (!session.Start(program, ""))
        return -1;
    std::shared_ptr<logpeer::Connection> link = peer.WaitConnection(kStartMs);
    if (!link || !link->WaitOpeningRequest(kStartMs) || !session.WaitForText("Monitor has established", kStartMs))
        return -1;

    std::atomic<bool> flowing{how.flowing};
    std::thread sender([&] {
        const logpeer::Bytes host = logpeer::ResolveByNamePayload("serial-gw.local");
        for (auto due = Clock::now(); flowing; std::this_thread::sleep_until(due += kBatchEvery))
            for (int i = 0; i < kBatch; ++i)
                if (!link->SendRecord(logpeer::kResolveByName, "COM1", host))
                    return;  // the monitor has gone
    });
    long ms = -1;
    if (!how.flowing || session.WaitForText("COM1:", kStartMs)) {
        const Clock::time_point pressed = Clock::now();
        if (how.escape)
            session.PressKey(VK_ESCAPE, 27);
        else
            session.PressCtrlC();
        if (session.WaitExit(kExitMs) >= 0)
            ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pressed).count());
    }
    flowing = false;
    sender.join();
    link->WaitClosed(kExitMs);
    return ms;
}

}  // namespace

void PrintExitTimes(const std::string& program, int runs)
{
    logpeer::PeerOptions options;
    options.tcp = false;
    logpeer::LogPeer peer(options);
    peer.StartListening();

    // Runs of the cases in turn, so that a busy moment of the machine falls on all of them.
    std::vector<std::vector<long>> times(std::size(kCases));
    for (int run = 0; run < runs; ++run)
        for (size_t i = 0; i < std::size(kCases); ++i)
            times[i].push_back(ExitTime(peer, program, kCases[i]));
    peer.StopListening();

    std::printf("\nquelcon exit, key to process ended (ms; -1: the run failed)\n");
    std::printf("%-16s %6s %13s   runs\n", "case", "median", "min-max");
    for (size_t i = 0; i < std::size(kCases); ++i) {
        std::vector<long> sorted = times[i];
        std::sort(sorted.begin(), sorted.end());
        std::printf("%-16s %6ld %6ld-%-6ld  ", kCases[i].name, sorted[sorted.size() / 2], sorted.front(),
                    sorted.back());
        for (long ms : times[i])
            std::printf(" %ld", ms);
        std::printf("\n");
    }
    std::fflush(stdout);
}
