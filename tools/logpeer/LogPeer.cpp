#include "LogPeer.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "Frame.h"
#include "Records.h"

namespace logpeer {

LogPeer::LogPeer(PeerOptions options) : options_(std::move(options))
{
    pipePath_ = options_.pipeName;
    if (pipePath_.empty() || pipePath_[0] != '\\')
        pipePath_ = "\\\\.\\pipe\\" + pipePath_;
    WSADATA data;
    wsa_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

LogPeer::~LogPeer()
{
    StopListening();
    std::vector<std::shared_ptr<Connection>> all;
    {
        std::lock_guard<std::mutex> lock(lock_);
        all.swap(all_);
    }
    for (auto& c : all)
        c->Abort();
    for (auto& c : all)
        c->WaitClosed(INFINITE);
    all.clear();
    if (wsa_)
        WSACleanup();
}

void LogPeer::Emit(const std::string& line)
{
    if (options_.onEvent)
        options_.onEvent(line);
}

void LogPeer::StartListening()
{
    if (listening_)
        return;
    std::vector<std::string> failures;
    if (options_.pipe) {
        pipe_ = std::make_unique<PipeListener>(
            pipePath_, [this](win32::UniqueHandle h) { Add(Transport::Pipe, MakePipeStream(std::move(h))); });
        DWORD error = 0;
        if (!pipe_->Start(error)) {
            pipe_.reset();
            failures.push_back("cannot serve pipe " + pipePath_ + " (error " + std::to_string(error) + ")");
        }
    }
    if (options_.tcp) {
        tcp_ = std::make_unique<TcpListener>(
            [this](win32::UniqueSocket s) { Add(Transport::Tcp, MakeSocketStream(std::move(s))); });
        int error = 0;
        // Coming up again on the port it had: connections closed meanwhile may still hold it.
        uint16_t port = boundPort_ ? boundPort_ : options_.tcpPort;
        if (tcp_->Start(port, boundPort_ != 0, error)) {
            boundPort_ = tcp_->port();
        } else {
            tcp_.reset();
            failures.push_back("cannot listen on 127.0.0.1:" + std::to_string(port) + " (error " +
                               std::to_string(error) + ")");
        }
    }
    if (!failures.empty() && !pipe_ && !tcp_) {
        std::string all = failures[0];
        for (size_t i = 1; i < failures.size(); ++i)
            all += "; " + failures[i];
        throw std::runtime_error(all);
    }
    for (const std::string& failure : failures)
        Emit(failure);
    listening_ = true;
    Emit("listening" + (pipe_ ? " pipe " + pipePath_ : std::string()) +
         (tcp_ ? " tcp 127.0.0.1:" + std::to_string(boundPort_) : std::string()));
}

void LogPeer::StopListening()
{
    if (!listening_)
        return;
    pipe_.reset();
    tcp_.reset();
    listening_ = false;
    Emit("not listening");
}

bool LogPeer::listening() const { return listening_; }

void LogPeer::SetPipeBusy(bool busy)
{
    if (pipe_)
        pipe_->SetBusy(busy);
    Emit(busy ? "pipe busy" : "pipe free");
}

uint16_t LogPeer::tcpPort() const { return tcp_ ? boundPort_ : 0; }

void LogPeer::Add(Transport transport, std::unique_ptr<Stream> stream)
{
    std::lock_guard<std::mutex> lock(lock_);
    // Forget connections that have ended and were handed out, so a long run does not grow.
    for (size_t i = 0; i < handedOut_ && i < all_.size();) {
        if (all_[i]->closed() && all_[i].use_count() == 1) {
            all_.erase(all_.begin() + static_cast<std::ptrdiff_t>(i));
            --handedOut_;
        } else {
            ++i;
        }
    }
    all_.push_back(std::make_shared<Connection>(nextId_++, transport, std::move(stream), options_.maxQueuedBytes,
                                                options_.onEvent));
    arrived_.notify_all();
}

std::shared_ptr<Connection> LogPeer::WaitConnection(DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(lock_);
    // A client that arrived while the endpoints were going down may have ended
    // before anyone asked for it: only live connections are handed out.
    auto nextLive = [&] {
        while (handedOut_ < all_.size() && all_[handedOut_]->closed())
            ++handedOut_;
        return handedOut_ < all_.size();
    };
    if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), nextLive))
        return nullptr;
    return all_[handedOut_++];
}

std::vector<std::shared_ptr<Connection>> LogPeer::connections() const
{
    std::lock_guard<std::mutex> lock(lock_);
    std::vector<std::shared_ptr<Connection>> open;
    for (auto& c : all_)
        if (!c->closed())
            open.push_back(c);
    return open;
}

size_t LogPeer::Publish(uint32_t code, const std::string& device, const Bytes& payload, uint32_t second,
                        WhenFull whenFull)
{
    Bytes frame = BuildFrame(MonitorRecord(code, device, payload, second));
    size_t sent = 0;
    for (auto& c : connections()) {  // a copy: a waiting send must not hold up new connections
        if (!c->Admits(code, device))
            continue;
        if (whenFull == WhenFull::Wait ? c->SendRaw(frame) : c->Offer(frame))
            ++sent;
    }
    return sent;
}

void LogPeer::CloseAll(bool afterQueue)
{
    for (auto& c : connections())
        afterQueue ? c->Close() : c->Abort();
}

std::unique_ptr<LogPeer> ListenAsTcpService()
{
    PeerOptions options;
    options.pipe = false;
    options.tcpPort = kDefaultTcpPort;
    auto peer = std::make_unique<LogPeer>(options);
    try {
        peer->StartListening();
    } catch (const std::exception& e) {
        throw std::runtime_error("another program holds TCP port " + std::to_string(kDefaultTcpPort) +
                                 " on 127.0.0.1, which this test must serve as the log service (" + e.what() +
                                 "); end it and run the test again");
    }
    return peer;
}

}  // namespace logpeer
