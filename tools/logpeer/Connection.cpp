#include "Connection.h"

#include <chrono>

#include "Records.h"

namespace logpeer {

namespace {

constexpr DWORD kReadSize = 4096;
constexpr size_t kWriteBatch = 64 * 1024;  // each write is a round trip under Wine: batch queued bytes

const char* TransportName(Transport t) { return t == Transport::Pipe ? "pipe" : "tcp"; }

template <class Pred>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD ms, Pred pred)
{
    return cv.wait_for(lock, std::chrono::milliseconds(ms), pred);
}

}  // namespace

Connection::Connection(int id, Transport transport, std::unique_ptr<Stream> stream, size_t maxQueuedBytes,
                       EventSink sink)
    : id_(id), transport_(transport), name_(std::string(TransportName(transport)) + "#" + std::to_string(id)),
      maxQueued_(maxQueuedBytes), sink_(std::move(sink)), stream_(std::move(stream)), wake_(win32::MakeEvent())
{
    thread_ = std::thread([this] { Run(); });
}

Connection::~Connection()
{
    Abort();
    if (thread_.joinable())
        thread_.join();
}

void Connection::Emit(const std::string& text)
{
    if (sink_)
        sink_(name_ + " " + text);
}

bool Connection::Wake() { return SetEvent(wake_.get()) != 0; }

bool Connection::WaitOpeningRequest(DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(lock_);
    return WaitFor(changed_, lock, timeoutMs, [&] { return requestSeen_; }) && request_.has_value();
}

std::optional<OpeningRequest> Connection::openingRequest() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return request_;
}

bool Connection::WaitReceived(size_t count, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(lock_);
    return WaitFor(changed_, lock, timeoutMs, [&] { return received_.size() >= count; });
}

Bytes Connection::received() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return received_;
}

std::vector<Bytes> Connection::frames() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return frames_;
}

bool Connection::Admits(uint32_t code, const std::string& device) const
{
    std::lock_guard<std::mutex> lock(lock_);
    return request_ && logpeer::Admits(*request_, code, device);
}

void Connection::QueueAndWake(std::unique_lock<std::mutex>& lock, Bytes bytes)
{
    queuedBytes_ += bytes.size();
    queue_.push_back(std::move(bytes));
    lock.unlock();
    Wake();
}

bool Connection::SendRaw(Bytes bytes)
{
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait(lock, [&] { return ending_ != Ending::None || HasRoom(); });
    if (ending_ != Ending::None)
        return false;
    QueueAndWake(lock, std::move(bytes));
    return true;
}

bool Connection::Offer(Bytes bytes)
{
    std::unique_lock<std::mutex> lock(lock_);
    if (ending_ != Ending::None)
        return false;
    if (!HasRoom()) {
        ++discarded_;
        bool first = discardedInRun_++ == 0;
        lock.unlock();
        if (first)
            Emit("is not reading: discarding records");
        return false;
    }
    uint64_t lost = discardedInRun_;
    discardedInRun_ = 0;
    QueueAndWake(lock, std::move(bytes));
    if (lost != 0)
        Emit("reading again after " + std::to_string(lost) + " records discarded");
    return true;
}

uint64_t Connection::discarded() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return discarded_;
}

bool Connection::SendFrame(const Bytes& payload) { return SendRaw(BuildFrame(payload)); }

bool Connection::SendRecord(uint32_t code, const std::string& device, const Bytes& payload, uint32_t second)
{
    return SendFrame(MonitorRecord(code, device, payload, second));
}

bool Connection::WaitDrained(DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(lock_);
    return WaitFor(changed_, lock, timeoutMs, [&] { return closed_ || (queue_.empty() && !writing_); }) &&
           queue_.empty() && !writing_;
}

uint64_t Connection::bytesWritten() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return written_;
}

void Connection::SetReading(bool on)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        reading_ = on;
    }
    Wake();
}

void Connection::Close()
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (ending_ == Ending::None)
            ending_ = Ending::AfterQueue;
    }
    changed_.notify_all();
    Wake();
}

void Connection::Abort()
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        ending_ = Ending::Now;
    }
    changed_.notify_all();
    Wake();
}

bool Connection::WaitClosed(DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(lock_);
    return WaitFor(changed_, lock, timeoutMs, [&] { return closed_; });
}

bool Connection::closed() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return closed_;
}

void Connection::OnBytes(const uint8_t* data, size_t size)
{
    std::vector<Bytes> frames;
    std::string note;
    {
        std::lock_guard<std::mutex> lock(lock_);
        received_.insert(received_.end(), data, data + size);
        decoder_.Feed(data, size, frames);
        for (Bytes& f : frames) {
            if (!requestSeen_) {
                requestSeen_ = true;
                request_ = ParseOpeningRequest(f);
                if (!request_) {
                    note = "malformed opening request: " + HexText(f);
                } else {
                    note = "opening request dump=" + std::to_string(request_->dumpFlag) +
                           (request_->hasFilter ? " device=" + request_->filter : std::string(" all devices"));
                }
            } else {
                note = "frame of " + std::to_string(f.size()) + " bytes from the monitor";
            }
            frames_.push_back(std::move(f));
        }
    }
    changed_.notify_all();
    if (!note.empty())
        Emit(note);
}

void Connection::Run()
{
    Emit("connected");
    win32::UniqueHandle readEvent = win32::MakeEvent(), writeEvent = win32::MakeEvent();
    OVERLAPPED readOv{}, writeOv{};
    readOv.hEvent = readEvent.get();
    writeOv.hEvent = writeEvent.get();
    uint8_t readBuf[kReadSize];
    Bytes writeBuf;
    bool readPending = false, writePending = false;
    std::string why;

    while (why.empty()) {
        bool wantRead, stop, startWrite = false;
        {
            std::lock_guard<std::mutex> lock(lock_);
            wantRead = reading_;
            stop = ending_ == Ending::Now || (ending_ == Ending::AfterQueue && queue_.empty() && !writePending);
            if (!stop && !writePending && !queue_.empty()) {
                writeBuf.clear();
                while (!queue_.empty() &&
                       (writeBuf.empty() || writeBuf.size() + queue_.front().size() <= kWriteBatch)) {
                    PutBytes(writeBuf, queue_.front());
                    queuedBytes_ -= queue_.front().size();
                    queue_.pop_front();
                }
                writing_ = startWrite = true;
            }
        }
        changed_.notify_all();  // queue space freed
        if (stop) {
            why = "closed by the peer";
            break;
        }
        DWORD error = 0;
        if (startWrite) {
            ResetEvent(writeEvent.get());
            if (!stream_->BeginWrite(writeBuf.data(), static_cast<DWORD>(writeBuf.size()), &writeOv, error)) {
                why = "write failed (" + std::to_string(error) + ")";
                break;
            }
            writePending = true;
        }
        if (wantRead && !readPending) {
            ResetEvent(readEvent.get());
            if (!stream_->BeginRead(readBuf, kReadSize, &readOv, error)) {
                why = error == ERROR_BROKEN_PIPE ? "closed by the monitor"
                                                 : "read failed (" + std::to_string(error) + ")";
                break;
            }
            readPending = true;
        }

        HANDLE waits[3] = {wake_.get()};
        DWORD count = 1;
        if (readPending)
            waits[count++] = readEvent.get();
        if (writePending)
            waits[count++] = writeEvent.get();
        WaitForMultipleObjects(count, waits, FALSE, INFINITE);
        ResetEvent(wake_.get());

        DWORD bytes = 0;
        if (readPending && WaitForSingleObject(readEvent.get(), 0) == WAIT_OBJECT_0) {
            readPending = false;
            if (!stream_->Finish(&readOv, false, bytes, error)) {
                why = (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED || error == WSAECONNRESET)
                          ? "closed by the monitor"
                          : "read failed (" + std::to_string(error) + ")";
            } else if (bytes == 0) {
                why = "closed by the monitor";
            } else {
                OnBytes(readBuf, bytes);
            }
        }
        if (writePending && WaitForSingleObject(writeEvent.get(), 0) == WAIT_OBJECT_0) {
            writePending = false;
            bool ok = stream_->Finish(&writeOv, false, bytes, error);
            {
                std::lock_guard<std::mutex> lock(lock_);
                written_ += bytes;
                if (ok && bytes < writeBuf.size()) {  // short write: the rest goes first next time
                    Bytes rest(writeBuf.begin() + bytes, writeBuf.end());
                    queuedBytes_ += rest.size();
                    queue_.push_front(std::move(rest));
                }
                writing_ = false;
            }
            changed_.notify_all();
            if (!ok && why.empty())
                why = "write failed (" + std::to_string(error) + ")";
        }
    }

    // Wine completes a cancelled operation with another code unless CancelIo comes first; the
    // OVERLAPPEDs and buffers must outlive it either way.
    if (readPending || writePending) {
        stream_->Cancel();
        DWORD bytes, error;
        if (readPending)
            stream_->Finish(&readOv, true, bytes, error);
        if (writePending)
            stream_->Finish(&writeOv, true, bytes, error);
    }
    stream_->Close();
    // Told before the close becomes visible, so whoever waits for it also sees why.
    Emit(why);
    {
        std::lock_guard<std::mutex> lock(lock_);
        closed_ = true;
        ending_ = Ending::Now;
        writing_ = false;
        queue_.clear();
        queuedBytes_ = 0;
    }
    changed_.notify_all();
}

}  // namespace logpeer
