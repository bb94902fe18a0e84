// Keep-alive round trips of gatecfg at several rates: the main form on
// screen, listening on a loopback port, its message loop running as in the
// program, and the fake controller keeping alive at each rate in turn. Every
// keep-alive is logged, so the rate is also the traffic log's line rate.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FakeController.h"
#include "TcpSrv.h"
#include "Unit1.h"
#include "forms/Application.h"
#include "net/CalyxUnits.h"

namespace {

using fakecontroller::FakeController;
using Clock = std::chrono::steady_clock;

const unsigned kRates[] = {5, 50, 200};
const DWORD kConnectWaitMs = 10000;
// How long the answers to a run's keep-alives may lag behind its end.
const auto kDrainLimit = std::chrono::seconds(10);

struct RateResult {
    unsigned rate = 0;
    std::size_t sent = 0;       // keep-alives sent during the run
    std::size_t answered = 0;   // of those, answered (within the drain limit)
    double answeredPerSecond = 0;  // echoes that arrived during the run
    double medianMs = 0, p95Ms = 0, maxMs = 0;
    std::string error;
};

double Milliseconds(std::chrono::microseconds value)
{
    return value.count() / 1000.0;
}

// The controller of the previous rate may still be closing its connection:
// the tool serves one at a time, so a refused newcomer tries again.
std::unique_ptr<FakeController> ConnectedController(std::uint16_t port, unsigned rate)
{
    fakecontroller::Options options;
    options.port = port;
    options.pingIntervalMs = 1000 / rate;
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto controller = std::make_unique<FakeController>(options);
        controller->Start();
        if (controller->WaitForBanner(kConnectWaitMs) && controller->Banner() == "Welcome to TcpSrv")
            return controller;
        controller->Stop();
        Sleep(200);
    }
    return nullptr;
}

RateResult MeasureRate(std::uint16_t port, unsigned rate, double seconds)
{
    RateResult result;
    result.rate = rate;
    std::unique_ptr<FakeController> controller = ConnectedController(port, rate);
    if (!controller) {
        result.error = "the tool did not take the controller";
        return result;
    }
    Sleep(static_cast<DWORD>(seconds * 1000));
    result.sent = controller->PingsSent();
    result.answeredPerSecond = controller->EchoRoundTrips().size() / seconds;
    const auto drainEnd = Clock::now() + kDrainLimit;
    std::vector<std::chrono::microseconds> trips;
    while ((trips = controller->EchoRoundTrips()).size() < result.sent && Clock::now() < drainEnd)
        Sleep(20);
    controller->Stop();
    trips.resize(std::min(trips.size(), result.sent));
    result.answered = trips.size();
    if (trips.empty())
        return result;
    std::sort(trips.begin(), trips.end());
    result.medianMs = Milliseconds(trips[trips.size() / 2]);
    result.p95Ms = Milliseconds(trips[std::min(trips.size() - 1, trips.size() * 95 / 100)]);
    result.maxMs = Milliseconds(trips.back());
    return result;
}

void Print(const std::vector<RateResult>& results, double seconds)
{
    std::printf("keep-alive round trips through gatecfg's form, %.0f s per rate\n", seconds);
    std::printf("%8s %7s %9s %11s %10s %8s %8s\n", "rate/s", "sent", "answered", "answered/s",
                "median ms", "95% ms", "max ms");
    for (const RateResult& r : results) {
        if (!r.error.empty()) {
            std::printf("%8u  %s\n", r.rate, r.error.c_str());
            continue;
        }
        std::printf("%8u %7u %9u %11.1f %10.2f %8.2f %8.2f\n", r.rate, static_cast<unsigned>(r.sent),
                    static_cast<unsigned>(r.answered), r.answeredPerSecond, r.medianMs, r.p95Ms,
                    r.maxMs);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 && std::atof(argv[1]) > 0 ? std::atof(argv[1]) : 5.0;
    calyx::TCalyxUnits units;
    forms::TApplication application;
    std::vector<RateResult> results;
    try {
        auto owned = std::make_unique<gatecfg::TTcpSrv>();
        gatecfg::TTcpSrv* server = owned.get();
        gatecfg::TForm1* form = nullptr;
        application.CreateForm(form, std::move(owned));
        form->SetListenAddr("127.0.0.1");
        form->SetListenPort("0");
        form->Button1Click(nullptr);
        const auto port = static_cast<std::uint16_t>(std::stoi(server->Port()));
        const DWORD uiThread = GetCurrentThreadId();
        std::thread driver([&] {
            // Measured once the form is on screen, with its log window.
            for (int i = 0; i < 500 && !FindWindowW(nullptr, L"Form1"); ++i)
                Sleep(20);
            for (unsigned rate : kRates)
                results.push_back(MeasureRate(port, rate, seconds));
            PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
        });
        application.Run();
        driver.join();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gatecfg_bench: %s\n", e.what());
        return 1;
    }
    Print(results, seconds);
    return 0;
}
