#pragma once
#include "exec/ClosureOwner.h"
#include "exec/EventHub.h"
#include "net/CompletionMessage.h"
#include "net/FamilyRegistry.h"
#include "net/TransportProvider.h"
#include "runtime/HandleOwner.h"
#include "runtime/ManagedObject.h"
#include "runtime/RefOwner.h"
#include <windows.h>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// A transport family whose connects and reads complete only when the test
// says so, with a log of every call and of the client events the test
// subscribes. A provider that goes away with a read pending completes that
// read as cancelled at once, or, with lateDroppedReads, leaves it in flight
// until the test completes it: the real transports finish a dropped read
// later, on their own thread, and may still fill its buffer.
constexpr uint32_t kFakeFamily = 0x7E;
constexpr uint32_t kFakeStream = 0x00060100 | kFakeFamily;

// A remote record of the fake family: {12, type, id}.
struct FakeAddress {
    AddressRecord header = {12, kFakeStream};
    uint32_t id;
    explicit FakeAddress(uint32_t i) : id(i) {}
    const AddressRecord* record() const { return &header; }
};

class FakeNet {
public:
    struct Pending {
        ClosureOwner closure;
        HandleOwner buffer;
    };

    std::vector<std::string> log;   // "connect 12", "read", "write <bytes>", "disconnect", "event 3 0"...
    std::string sent;               // the bytes of every write, in order
    std::vector<Pending> connects;  // not yet completed
    int maxReads = 0;               // most reads in flight at once (must never exceed 1)
    int alive = 0;
    bool lateDroppedReads = false;

    static FakeNet*& Current()
    {
        static FakeNet* current = nullptr;
        return current;
    }

    FakeNet()
    {
        Current() = this;
        EXPECT_TRUE(StatusAccepted(RegisterFamilyProvider(kFakeFamily, Factory)));
    }
    ~FakeNet()
    {
        {
            // Dropped while this net is still current: the last reference may
            // take a provider with it, which reports here.
            ClosureOwner accept = std::move(accept_);
            std::vector<Read> pendingReads = std::move(reads_);
            std::vector<Pending> pendingConnects = std::move(connects);
        }
        if (Current() == this)
            Current() = nullptr;
    }

    void Note(const std::string& entry)
    {
        std::lock_guard<std::mutex> hold(lock_);
        log.push_back(entry);
        changed_.notify_all();
    }

    bool WaitUntil(const std::function<bool()>& condition, DWORD ms = 20000)
    {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::milliseconds(ms), condition);
    }
    int Count(const std::string& prefix)
    {
        int n = 0;
        for (const std::string& e : log)
            n += e.compare(0, prefix.size(), prefix) == 0;
        return n;
    }
    bool WaitCount(const std::string& prefix, int n) { return WaitUntil([&] { return Count(prefix) >= n; }); }
    std::vector<std::string> Log()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return log;
    }

    // Completes the oldest pending connect (on the calling thread).
    void CompleteConnect(NtStatus status)
    {
        Pending p = Take([&] { return !connects.empty(); }, [&] {
            Pending first = std::move(connects.front());
            connects.erase(connects.begin());
            return first;
        });
        (void)CompleteWithStatus(p.closure.get(), status, nullptr, 0);
    }
    // Completes every connect still pending, as a transport does when it goes away.
    void CancelConnects()
    {
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (connects.empty())
                    return;
            }
            CompleteConnect(kStatusCancelled);
        }
    }
    // Completes the read of the live connection with these bytes; an empty
    // string ends the stream.
    void Deliver(const std::string& bytes, NtStatus status = kStatusSuccess)
    {
        Complete(TakeRead(true), bytes, status);
    }
    // Completes the oldest read whose provider has gone (lateDroppedReads),
    // filling its buffer as a read that finished just before the drop does.
    void CompleteDroppedRead(const std::string& bytes, NtStatus status = kStatusSuccess)
    {
        Complete(TakeRead(false), bytes, status);
    }
    bool WaitRead() { return WaitUntil([&] { return FindRead(true) != nullptr; }); }

    void SetListenStatus(NtStatus status)
    {
        std::lock_guard<std::mutex> hold(lock_);
        listenStatus = status;
    }
    // A connection from the peer `id` arrives at the last endpoint that listened.
    void Accept(uint32_t id)
    {
        ClosureOwner accept;
        {
            std::lock_guard<std::mutex> hold(lock_);
            accept = ClosureOwner::Copy(accept_.get());
        }
        Provider* provider = ManagedNew<Provider>();
        RefOwner<ControlBlock> made = RefOwner<ControlBlock>::Adopt(provider->cb);
        const FakeAddress peer(id);
        (void)NotifyObjectAddress(accept.get(), peer.record(), ObjectRefOf(provider));
    }
    int ReadsInFlight()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return static_cast<int>(reads_.size());
    }

    // A subscriber that logs "event <code> <first word>" for every client event.
    // The caller owns the closure.
    Closure EventLogger()
    {
        Closure c;
        BufferHandle self = {this, nullptr, 0, 0};
        ClosureInit(&c, LogEvent, nullptr, &self);
        return c;
    }
    std::vector<std::string> events;  // full payloads of events 3 and 5, in order
    std::vector<std::string> EventPayloads()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return events;
    }

private:
    struct Read {
        Pending pending;
        const void* owner;  // none once its provider has gone
    };

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Read> reads_;  // in flight, oldest first
    ClosureOwner accept_;      // of the last successful listen
    NtStatus listenStatus = kStatusSuccess;  // what the next listens answer

    Read* FindRead(bool live)
    {
        for (Read& r : reads_)
            if ((r.owner != nullptr) == live)
                return &r;
        return nullptr;
    }
    Pending TakeRead(bool live)
    {
        return Take([&] { return FindRead(live) != nullptr; }, [&] {
            Read* r = FindRead(live);
            Pending p = std::move(r->pending);
            reads_.erase(reads_.begin() + (r - reads_.data()));
            return p;
        });
    }
    static void Complete(Pending p, const std::string& bytes, NtStatus status)
    {
        uint32_t n = static_cast<uint32_t>(bytes.size() < p.buffer->size ? bytes.size() : p.buffer->size);
        if (n)
            std::memcpy(p.buffer->data, bytes.data(), n);
        (void)CompleteWithStatusCount(p.closure.get(), status, n);
    }
    Pending Take(const std::function<bool()>& ready, const std::function<Pending()>& take)
    {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait_for(hold, std::chrono::milliseconds(20000), ready);
        return ready() ? take() : Pending{};
    }

    static void LogEvent(BufferHandle* bound, BufferHandle* message)
    {
        auto* self = static_cast<FakeNet*>(bound->data);
        auto* m = static_cast<EventHubMessage*>(message->data);
        uint32_t word = 0;
        if (m->payload.size >= 4 && m->code != 256)
            std::memcpy(&word, m->payload.data, 4);
        if (m->code == 3 || m->code == 5) {
            std::lock_guard<std::mutex> hold(self->lock_);
            self->events.emplace_back(static_cast<const char*>(m->payload.data), m->payload.size);
        }
        self->Note("event " + std::to_string(m->code) + " " + std::to_string(word));
    }

    class Provider final : public TransportProvider {
    public:
        Provider() { Net()->Add(1); }
        ~Provider()
        {
            std::vector<Pending> cancelled;
            {
                std::lock_guard<std::mutex> hold(Net()->lock_);
                auto& reads = Net()->reads_;
                for (size_t i = 0; i < reads.size();) {
                    if (reads[i].owner != this) {
                        ++i;
                    } else if (Net()->lateDroppedReads) {
                        reads[i++].owner = nullptr;
                    } else {
                        cancelled.push_back(std::move(reads[i].pending));
                        reads.erase(reads.begin() + i);
                    }
                }
            }
            for (Pending& p : cancelled)
                Complete(std::move(p), "", kStatusCancelled);
            Net()->Add(-1);
        }
        void Close(const Closure* c) override { Done("close", c); }
        void Listen(const Closure* accept, uint32_t backlog, const Closure* result) override
        {
            NtStatus status;
            {
                std::lock_guard<std::mutex> hold(Net()->lock_);
                status = Net()->listenStatus;
                if (status == kStatusSuccess)
                    Net()->accept_ = ClosureOwner::Copy(accept);
            }
            Net()->Note("listen " + std::to_string(backlog));
            (void)CompleteWithStatus(result, status, nullptr, 0);
        }
        void Connect(const AddressRecord* remote, uint32_t, const Closure* c) override
        {
            Pending p = {ClosureOwner::Copy(c), {}};
            {
                std::lock_guard<std::mutex> hold(Net()->lock_);
                Net()->connects.push_back(std::move(p));
            }
            Net()->Note("connect " + std::to_string(remote->size));
        }
        void Disconnect(uint32_t, const Closure* c) override { Done("disconnect", c); }
        void Write(const BufferHandle* b, const Closure* c) override
        {
            std::string bytes(static_cast<const char*>(b->data), b->size);
            {
                std::lock_guard<std::mutex> hold(Net()->lock_);
                Net()->sent += bytes;
            }
            Done("write " + bytes, c);
        }
        void Read(const BufferHandle* b, const Closure* c) override
        {
            {
                std::lock_guard<std::mutex> hold(Net()->lock_);
                Net()->reads_.push_back({{ClosureOwner::Copy(c), HandleOwner::Copy(b)}, this});
                if (static_cast<int>(Net()->reads_.size()) > Net()->maxReads)
                    Net()->maxReads = static_cast<int>(Net()->reads_.size());
            }
            Net()->Note("read");
        }
        void SendTo(const BufferHandle*, const AddressRecord*, const Closure* c) override { Done("send-to", c); }
        void ReceiveFrom(const BufferHandle*, const Closure* c) override { Done("receive-from", c); }

    private:
        static FakeNet* Net() { return Current(); }
        static void Done(const std::string& call, const Closure* c)
        {
            Net()->Note(call);
            (void)CompleteWithStatus(c, kStatusSuccess, nullptr, 0);
        }
    };

    void Add(int d)
    {
        std::lock_guard<std::mutex> hold(lock_);
        alive += d;
        changed_.notify_all();
    }

    static NtStatus Factory(const AddressRecord* record, const Closure* closure)
    {
        Provider* provider = ManagedNew<Provider>();
        RefOwner<ControlBlock> made = RefOwner<ControlBlock>::Adopt(provider->cb);
        const AddressRecord bound = {8, record->type};
        (void)NotifyStatusObjectAddress(closure, kStatusSuccess, ObjectRefOf(provider), &bound);
        return kStatusSuccess;
    }
};
