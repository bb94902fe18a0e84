// A stand-in TORVALA controller for tests and for trying gatecfg by hand: it
// connects to the tool, reads the banner, sends its keep-alive periodically,
// answers the poll with a canned set of replies and records every frame the
// tool sends. It shares no code with the tool.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fakecontroller {

// The CRC-8 of controller frames (polynomial 0x31, start 0xFF) as two
// upper-case hex digits.
std::string FrameCrc(const std::string& text);

struct Options {
    std::string host = "127.0.0.1";  // dotted IPv4 or "localhost"
    std::uint16_t port = 1001;
    std::string deviceNumber = "127";
    char side = 'B';
    unsigned pingIntervalMs = 5000;
    // Parameters of the reply to each poll command ("GN" ... "GC"; "RTA" and
    // "RTB" for the reader type of either side).
    std::map<std::string, std::string> replies = DefaultReplies();

    static std::map<std::string, std::string> DefaultReplies();
};

class FakeController {
public:
    explicit FakeController(Options options);
    ~FakeController();
    FakeController(const FakeController&) = delete;
    FakeController& operator=(const FakeController&) = delete;

    // Called on the controller's thread for every line it sends or frame it
    // receives ("-> " or "<- " in front) and for connection events.
    void SetLog(std::function<void(const std::string&)> log);

    // Connects and serves until the tool closes the connection or Stop is
    // called. False when the connection cannot be made.
    bool Run();
    // Run on a thread of its own.
    void Start();
    void Stop();

    // Sends text as is (a controller line needs its own CR LF).
    bool Send(const std::string& bytes);

    bool WaitForBanner(unsigned timeoutMs) const;
    bool WaitForReceived(std::size_t count, unsigned timeoutMs) const;
    bool WaitForClosed(unsigned timeoutMs) const;
    std::string Banner() const;
    std::vector<std::string> Received() const;
    bool Closed() const;
    // Keep-alives sent so far, and the round trip of each one answered, from
    // its PING going out to its ECHO coming back, oldest first: the tool
    // answers them in order.
    std::size_t PingsSent() const;
    std::vector<std::chrono::microseconds> EchoRoundTrips() const;

private:
    using Clock = std::chrono::steady_clock;

    bool Connect();
    bool ReadBanner(std::string& rest);
    void Serve(std::string pending);
    void TakeFrames(std::string& pending, bool idle);
    // Records the round trip of the oldest keep-alive that waits for an
    // echo, and tells it for the log.
    std::string EchoArrived(Clock::time_point at);
    void Answer(const std::string& frame);
    void SendPing();
    void Log(const std::string& text);
    void MarkClosed();

    const Options options_;
    std::function<void(const std::string&)> log_;
    SOCKET socket_ = INVALID_SOCKET;
    std::mutex sendLock_;
    std::atomic<bool> stop_{false};
    std::thread thread_;

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    bool haveBanner_ = false;
    bool closed_ = false;
    std::string banner_;
    std::vector<std::string> received_;
    std::size_t pingsSent_ = 0;
    std::deque<Clock::time_point> pingsInFlight_;
    std::vector<std::chrono::microseconds> echoRoundTrips_;
};

}  // namespace fakecontroller
