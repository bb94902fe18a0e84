// A stand-in for the driver's log service: serves a named pipe and a TCP port on 127.0.0.1,
// many monitors at once, and sends them "MSG." frames holding log records.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "Connection.h"
#include "PipeListener.h"
#include "TcpListener.h"

namespace logpeer {

constexpr char kDefaultPipeName[] = "vororado_log_server";
constexpr uint16_t kDefaultTcpPort = 50001;

struct PeerOptions {
    bool pipe = true;
    std::string pipeName = kDefaultPipeName;  // "\\.\pipe\" is put in front unless it begins with '\'
    bool tcp = true;
    uint16_t tcpPort = kDefaultTcpPort;  // 0: any free port, see LogPeer::tcpPort()
    size_t maxQueuedBytes = 1 << 20;     // per connection; see Publish and Connection::SendRaw
    EventSink onEvent;                   // one line per connection event, from any thread
};

class LogPeer {
public:
    explicit LogPeer(PeerOptions options);
    ~LogPeer();  // stops listening and closes every connection at once
    LogPeer(const LogPeer&) = delete;
    LogPeer& operator=(const LogPeer&) = delete;

    // Opens the endpoints asked for. One that cannot be opened is reported through onEvent,
    // naming the endpoint and error, and the others are served; throws std::runtime_error
    // with that report when none of them can be opened.
    void StartListening();
    // Closes the endpoints; open connections stay.
    void StopListening();
    bool listening() const;
    void SetPipeBusy(bool busy);

    const std::string& pipePath() const { return pipePath_; }
    uint16_t tcpPort() const;  // the port being served; 0 when TCP is not served

    // The next live connection not yet handed out by this call, in order of arrival; null on time-out.
    std::shared_ptr<Connection> WaitConnection(DWORD timeoutMs);
    std::vector<std::shared_ptr<Connection>> connections() const;  // open ones

    // What a record does for a connection whose queue is over the limit.
    enum class WhenFull {
        Discard,  // it is discarded and counted for that connection (Connection::Offer)
        Wait,     // the sender waits for room (Connection::SendRaw)
    };
    // Sends one record to every connection that admits it; returns how many got it. By default a
    // monitor that stops reading loses records rather than holding up every other connection.
    size_t Publish(uint32_t code, const std::string& device, const Bytes& payload, uint32_t second = 0,
                   WhenFull whenFull = WhenFull::Discard);
    void CloseAll(bool afterQueue);

private:
    void Add(Transport transport, std::unique_ptr<Stream> stream);
    void Emit(const std::string& line);

    PeerOptions options_;
    std::string pipePath_;
    bool wsa_ = false;
    std::unique_ptr<PipeListener> pipe_;
    std::unique_ptr<TcpListener> tcp_;
    uint16_t boundPort_ = 0;
    bool listening_ = false;

    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<std::shared_ptr<Connection>> all_;
    size_t handedOut_ = 0;
    int nextId_ = 1;
};

// For the tests of a monitor on Windows 9x, where it reaches the log service on TCP
// 127.0.0.1:50001: a stand-in listening there alone, without the pipe. Throws
// std::runtime_error, saying that another program holds the port, when it cannot listen.
std::unique_ptr<LogPeer> ListenAsTcpService();

}  // namespace logpeer
