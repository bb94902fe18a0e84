#include "FakeController.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

namespace fakecontroller {

namespace {

struct CrcTable {
    std::uint8_t entry[256];
    CrcTable()
    {
        for (int i = 0; i < 256; ++i) {
            unsigned r = static_cast<unsigned>(i);
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80) ? ((r << 1) ^ 0x31) & 0xFF : (r << 1) & 0xFF;
            entry[i] = static_cast<std::uint8_t>(r);
        }
    }
};

bool IsHexDigit(char ch) { return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'); }

// A frame whose last two characters are the CRC of the rest is complete even
// before the next frame arrives.
bool CarriesItsCrc(const std::string& frame)
{
    if (frame.size() < 3 || !IsHexDigit(frame[frame.size() - 1]) || !IsHexDigit(frame[frame.size() - 2]))
        return false;
    return FrameCrc(frame.substr(0, frame.size() - 2)) == frame.substr(frame.size() - 2);
}

// Winsock stays started for as long as a fake controller exists.
struct WinsockUser {
    WinsockUser()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
};

const unsigned kBannerTimeoutMs = 10000;
// The tool ends every frame with its CRC; a piece without a valid one counts
// as a whole frame only once the line has been idle this long.
const unsigned kIdleFlushMs = 1000;
const unsigned kPollStepMs = 20;

}  // namespace

std::string FrameCrc(const std::string& text)
{
    static const CrcTable table;
    std::uint8_t crc = 0xFF;
    for (char ch : text)
        crc = table.entry[crc ^ static_cast<unsigned char>(ch)];
    static const char digits[] = "0123456789ABCDEF";
    return {digits[crc >> 4], digits[crc & 15]};
}

std::map<std::string, std::string> Options::DefaultReplies()
{
    return {
        {"GN", "TORVALA fake"},
        {"GL", "LDR 1.02"},
        {"GV", "FW 3.14"},
        {"GD", "00012345678"},
        {"GC", "NORRF10510520020030511055"},
        {"RTA", "MG"},
        {"RTB", "F3UC05ABCDE"},
    };
}

FakeController::FakeController(Options options) : options_(std::move(options)) {}

FakeController::~FakeController() { Stop(); }

void FakeController::SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

void FakeController::Start()
{
    thread_ = std::thread([this] {
        try {
            Run();
        } catch (...) {
            MarkClosed();
        }
    });
}

void FakeController::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

bool FakeController::Run()
{
    WinsockUser winsock;
    std::string pending;
    const bool connected = Connect() && ReadBanner(pending);
    if (connected)
        Serve(std::move(pending));
    if (socket_ != INVALID_SOCKET) {
        std::lock_guard<std::mutex> guard(sendLock_);
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    MarkClosed();
    return connected;
}

bool FakeController::Connect()
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(options_.port);
    address.sin_addr.s_addr = inet_addr(options_.host == "localhost" ? "127.0.0.1" : options_.host.c_str());
    if (address.sin_addr.s_addr == INADDR_NONE) {
        Log("bad host address " + options_.host);
        return false;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return false;
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Log("cannot connect to " + options_.host + ":" + std::to_string(options_.port) + " (error " +
            std::to_string(WSAGetLastError()) + ")");
        closesocket(s);
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(sendLock_);
        socket_ = s;
    }
    Log("connected to " + options_.host + ":" + std::to_string(options_.port));
    return true;
}

// The banner is the first line; whatever follows it in the same read is kept.
bool FakeController::ReadBanner(std::string& rest)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBannerTimeoutMs);
    std::string data;
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval step = {0, static_cast<long>(kPollStepMs * 1000)};
        if (select(0, &readable, nullptr, nullptr, &step) <= 0)
            continue;
        char buffer[512];
        const int got = recv(socket_, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        data.append(buffer, static_cast<std::size_t>(got));
        const std::size_t lf = data.find('\n');
        if (lf == std::string::npos)
            continue;
        std::string banner = data.substr(0, lf);
        while (!banner.empty() && banner.back() == '\r')
            banner.pop_back();
        rest = data.substr(lf + 1);
        Log("banner: " + banner);
        {
            std::lock_guard<std::mutex> guard(lock_);
            banner_ = banner;
            haveBanner_ = true;
        }
        changed_.notify_all();
        return true;
    }
    Log("no banner");
    return false;
}

void FakeController::Serve(std::string pending)
{
    const auto interval = std::chrono::milliseconds(options_.pingIntervalMs);
    SendPing();
    // Keep-alives stay on their schedule, so that a rate holds however long
    // a turn of this loop takes.
    auto nextPing = Clock::now() + interval;
    auto lastData = Clock::now();
    TakeFrames(pending, false);
    while (!stop_) {
        const auto now = Clock::now();
        if (now >= nextPing) {
            SendPing();
            nextPing += interval;
            continue;
        }
        const auto untilPing = std::chrono::duration_cast<std::chrono::microseconds>(nextPing - now);
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval step = {0, static_cast<long>(std::min<long long>(kPollStepMs * 1000, untilPing.count()))};
        const int ready = select(0, &readable, nullptr, nullptr, &step);
        if (ready < 0)
            break;
        if (ready == 0) {
            if (!pending.empty() && Clock::now() - lastData >= std::chrono::milliseconds(kIdleFlushMs))
                TakeFrames(pending, true);
            continue;
        }
        char buffer[1024];
        const int got = recv(socket_, buffer, sizeof buffer, 0);
        if (got <= 0) {
            TakeFrames(pending, true);
            Log("connection closed by the tool");
            break;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        lastData = Clock::now();
        TakeFrames(pending, false);
    }
}

// The tool's frames carry no line end: each one begins with "$".
void FakeController::TakeFrames(std::string& pending, bool idle)
{
    while (!pending.empty()) {
        const std::size_t next = pending.find('$', 1);
        std::string frame;
        if (next != std::string::npos)
            frame = pending.substr(0, next);
        else if (idle || CarriesItsCrc(pending))
            frame = pending;
        else
            return;
        pending.erase(0, frame.size());
        const bool echo = frame.size() >= 9 && frame[0] == '$' && frame.compare(5, 4, "ECHO") == 0;
        Log("<- " + frame + (echo ? EchoArrived(Clock::now()) : std::string()));
        {
            std::lock_guard<std::mutex> guard(lock_);
            received_.push_back(frame);
        }
        changed_.notify_all();
        Answer(frame);
    }
}

void FakeController::Answer(const std::string& frame)
{
    if (frame.size() < 7 || frame[0] != '$')
        return;
    const std::string command = frame.substr(5, 2);
    const std::string key = command == "RT" ? command + frame[4] : command;
    const auto reply = options_.replies.find(key);
    if (reply == options_.replies.end())
        return;
    const std::string line = "#" + frame.substr(1, 4) + command + reply->second;
    Send(line + FrameCrc(line) + "\r\n");
}

std::string FakeController::EchoArrived(Clock::time_point at)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (pingsInFlight_.empty())
        return " (no keep-alive waits for it)";
    const auto roundTrip = std::chrono::duration_cast<std::chrono::microseconds>(at - pingsInFlight_.front());
    pingsInFlight_.pop_front();
    echoRoundTrips_.push_back(roundTrip);
    char text[48];
    std::snprintf(text, sizeof text, " (round trip %.2f ms)", roundTrip.count() / 1000.0);
    return text;
}

void FakeController::SendPing()
{
    const std::string ping = "$" + options_.deviceNumber + options_.side + "PING";
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++pingsSent_;
        pingsInFlight_.push_back(Clock::now());
    }
    Send(ping + FrameCrc(ping) + "\r\n");
}

bool FakeController::Send(const std::string& bytes)
{
    bool sent = false;
    {
        std::lock_guard<std::mutex> guard(sendLock_);
        std::size_t done = 0;
        while (socket_ != INVALID_SOCKET && done < bytes.size()) {
            const int n = send(socket_, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        sent = done == bytes.size();
    }
    std::string shown = bytes;
    while (!shown.empty() && (shown.back() == '\r' || shown.back() == '\n'))
        shown.pop_back();
    Log((sent ? "-> " : "-> (not sent) ") + shown);
    return sent;
}

void FakeController::Log(const std::string& text)
{
    if (log_)
        log_(text);
}

void FakeController::MarkClosed()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool FakeController::WaitForBanner(unsigned timeoutMs) const
{
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return haveBanner_ || closed_; }) &&
           haveBanner_;
}

bool FakeController::WaitForReceived(std::size_t count, unsigned timeoutMs) const
{
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return received_.size() >= count; });
}

bool FakeController::WaitForClosed(unsigned timeoutMs) const
{
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return closed_; });
}

std::string FakeController::Banner() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return banner_;
}

std::vector<std::string> FakeController::Received() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

bool FakeController::Closed() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return closed_;
}

std::size_t FakeController::PingsSent() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return pingsSent_;
}

std::vector<std::chrono::microseconds> FakeController::EchoRoundTrips() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return echoRoundTrips_;
}

}  // namespace fakecontroller
