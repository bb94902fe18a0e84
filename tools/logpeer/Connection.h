// One monitor connected to the peer. Its own thread reads what the monitor sends (the opening
// request first) and writes the queued bytes in order, blocking while the monitor does not read.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "Frame.h"
#include "OpeningRequest.h"
#include "Stream.h"

namespace logpeer {

enum class Transport { Pipe, Tcp };

using EventSink = std::function<void(const std::string& line)>;

class Connection {
public:
    Connection(int id, Transport transport, std::unique_ptr<Stream> stream, size_t maxQueuedBytes, EventSink sink);
    ~Connection();  // closes at once and joins the thread
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int id() const { return id_; }
    Transport transport() const { return transport_; }
    const std::string& name() const { return name_; }  // "pipe#1", "tcp#2"

    // What the monitor sent. The wait ends with the first frame; false when it held no valid request.
    bool WaitOpeningRequest(DWORD timeoutMs);
    std::optional<OpeningRequest> openingRequest() const;
    bool WaitReceived(size_t count, DWORD timeoutMs);  // at least `count` bytes
    Bytes received() const;                            // every byte, exactly as it arrived
    std::vector<Bytes> frames() const;                 // every valid frame's payload, in order

    // Whether a record of `code` about `device` is for this connection: only after a valid
    // opening request, and as its filter and dump flag say.
    bool Admits(uint32_t code, const std::string& device) const;

    // Queue bytes for the monitor. Blocks while more than the queue limit is waiting;
    // false once the connection is closing or closed.
    bool SendRaw(Bytes bytes);
    // Queue bytes without waiting: while more than the queue limit is waiting they are
    // discarded and counted instead (false), so a monitor that stopped reading holds up no one.
    bool Offer(Bytes bytes);
    uint64_t discarded() const;  // offers discarded so far
    bool SendFrame(const Bytes& payload);
    bool SendRecord(uint32_t code, const std::string& device, const Bytes& payload, uint32_t second = 0);
    bool WaitDrained(DWORD timeoutMs);  // every queued byte has been taken by the system
    uint64_t bytesWritten() const;

    // Stop or resume reading what the monitor sends (it then blocks once the buffers are full).
    void SetReading(bool on);

    void Close();  // after the queued bytes are written
    void Abort();  // at once; unwritten bytes are dropped
    bool WaitClosed(DWORD timeoutMs);
    bool closed() const;

private:
    void Run();
    void Emit(const std::string& text);
    void OnBytes(const uint8_t* data, size_t size);
    bool Wake();
    bool HasRoom() const { return queuedBytes_ == 0 || queuedBytes_ < maxQueued_; }  // under lock_
    void QueueAndWake(std::unique_lock<std::mutex>& lock, Bytes bytes);              // releases the lock

    const int id_;
    const Transport transport_;
    const std::string name_;
    const size_t maxQueued_;
    EventSink sink_;
    std::unique_ptr<Stream> stream_;  // used only on the thread
    win32::UniqueHandle wake_;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Bytes> queue_;
    size_t queuedBytes_ = 0;
    bool writing_ = false;
    uint64_t written_ = 0;
    uint64_t discarded_ = 0;
    uint64_t discardedInRun_ = 0;  // since the queue last had room
    bool reading_ = true;
    enum class Ending { None, AfterQueue, Now } ending_ = Ending::None;
    bool closed_ = false;
    Bytes received_;
    std::vector<Bytes> frames_;
    FrameDecoder decoder_;
    bool requestSeen_ = false;
    std::optional<OpeningRequest> request_;

    std::thread thread_;
};

}  // namespace logpeer
