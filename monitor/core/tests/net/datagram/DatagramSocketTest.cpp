#include "exec/ClosureOwner.h"
#include "net/CompletionMessage.h"
#include "net/FamilyRegistry.h"
#include "net/SocketApi.h"
#include "net/TransportProvider.h"
#include "runtime/ManagedObject.h"
#include "runtime/RefOwner.h"
#include "support/BothPlatformsTest.h"
#include "support/CoreTestFixture.h"
#include "support/UdpTestSupport.h"
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr NtStatus kStatusAborted = 0xC0000240;  // 995: the endpoint was closed under the receive
constexpr NtStatus kStatusTooLong = 0xC0000206;  // 10040
constexpr NtStatus kStatusNetDown = 0xC000023A;  // 10057, standing for any lasting failure

// A free UDP port on 127.0.0.1: a listener reports the record it was given,
// so the test chooses the port it listens on.
Ipv4Record FreeUdpRecord()
{
    MessageWaiter opened(4);
    Ipv4Record local = {};
    void* raw = OpenUdp(&opened, &local);
    if (raw)
        RawEndpointCloseSync(raw);
    return local;
}

std::string Bytes(const HandleOwner& h, uint32_t n) { return std::string(static_cast<const char*>(h->data), n); }

// Datagram listeners and connected datagram sockets over UDP on loopback, as on NT and as on Windows 9x.
class DatagramSockets : public BothPlatformsTest {
protected:
    // Listens on a free port; the listener is kept by `result`.
    void* Listen(MessageWaiter* accepted, MessageWaiter* result, Ipv4Record* at)
    {
        *at = FreeUdpRecord();
        SockListen(&at->header, &accepted->closure, 0, &result->closure);
        EXPECT_TRUE(result->WaitFor(1));
        EXPECT_EQ(result->U32(0, 0), kStatusSuccess);
        return result->Object(0);
    }

    // (status, count) of one read of `size` bytes, the bytes in `area`.
    static MessageWaiter* Read(void* socket, HandleOwner* area, uint32_t size, MessageWaiter* done)
    {
        *area = Area(size);
        SockReceive(socket, area->get(), &done->closure);
        return done;
    }
    // A listener on a free port, and two sources that send to it.
    struct TwoSources {
        MessageWaiter accepted{0}, result{4}, openedA{4}, openedB{4};
        Ipv4Record at = {}, a = {}, b = {};
        void* rawA = nullptr;
        void* rawB = nullptr;
    };
    bool ListenWithTwoSources(TwoSources* s)
    {
        if (!Listen(&s->accepted, &s->result, &s->at))
            return false;
        s->rawA = OpenUdp(&s->openedA, &s->a);
        s->rawB = OpenUdp(&s->openedB, &s->b);
        return s->rawA && s->rawB;
    }

    // The bytes of one successful read of `size` bytes, or what went wrong.
    static std::string ReadBytes(void* socket, uint32_t size)
    {
        HandleOwner area;
        MessageWaiter done;
        Read(socket, &area, size, &done);
        std::string got = !done.WaitFor(1)               ? "no completion"
                          : done.U32(0, 0) != kStatusSuccess ? "status " + std::to_string(done.U32(0, 0))
                                                             : Bytes(area, done.U32(0, 4));
        area.reset();
        return got;
    }
};

TEST_P(DatagramSockets, ListenerHandsEachSourceItsPeerReadAsAByteStream)
{
    TwoSources s;
    ASSERT_TRUE(ListenWithTwoSources(&s));
    MessageWaiter& accepted = s.accepted;
    const Ipv4Record &at = s.at, &a = s.a, &b = s.b;
    void *rawA = s.rawA, *rawB = s.rawB;

    // A read queued before any datagram is served by the first one.
    SendTo(rawA, "first", at);
    ASSERT_TRUE(accepted.WaitFor(1));
    void* peerA = accepted.Object(0);
    Ipv4Record remote = RecordIn(accepted, 0, 4);
    EXPECT_EQ(remote.header.type, kAddressTypeUdp);
    EXPECT_EQ(remote.port, a.port);
    EXPECT_EQ(RecordCompare(SockRemoteRecord(peerA), &remote.header), 0);
    EXPECT_EQ(RecordCompare(SockLocalRecord(peerA), &at.header), 0);

    HandleOwner area;
    MessageWaiter first;
    Read(peerA, &area, 64, &first);
    ASSERT_TRUE(first.WaitFor(1));
    EXPECT_EQ(first.U32(0, 0), kStatusSuccess);
    ASSERT_EQ(first.U32(0, 4), 5u);
    EXPECT_EQ(Bytes(area, 5), "first");
    area.reset();

    // A 25-byte datagram read 10 bytes at a time: 10, 10, 5.
    SendTo(rawA, "abcdefghijklmnopqrstuvwxy", at);
    std::string stream;
    for (uint32_t expected : {10u, 10u, 5u}) {
        MessageWaiter piece;
        Read(peerA, &area, 10, &piece);
        ASSERT_TRUE(piece.WaitFor(1));
        EXPECT_EQ(piece.U32(0, 0), kStatusSuccess);
        ASSERT_EQ(piece.U32(0, 4), expected);
        stream += Bytes(area, expected);
        area.reset();
    }
    EXPECT_EQ(stream, "abcdefghijklmnopqrstuvwxy");

    // A second source gets a peer of its own; the first is heard of only once.
    SendTo(rawB, "other", at);
    ASSERT_TRUE(accepted.WaitFor(2));
    EXPECT_EQ(RecordIn(accepted, 1, 4).port, b.port);
    MessageWaiter fromB;
    Read(accepted.Object(1), &area, 64, &fromB);
    ASSERT_TRUE(fromB.WaitFor(1));
    ASSERT_EQ(fromB.U32(0, 4), 5u);
    EXPECT_EQ(Bytes(area, 5), "other");
    area.reset();
    EXPECT_EQ(accepted.Count(), 2u);

    // A peer's write goes to its source, from the listener's port.
    MessageWaiter back;
    HandleOwner reply = Area(64);
    RawEndpointReceiveFrom(rawA, reply.get(), &back.closure);
    HandleOwner pong;
    EXPECT_TRUE(StatusAccepted(BufAllocCopy(pong.put(), "pong", 4)));
    MessageWaiter sent;
    SockSend(peerA, pong.get(), &sent.closure);
    ASSERT_TRUE(sent.WaitFor(1));
    EXPECT_EQ(sent.U32(0, 0), kStatusSuccess);
    ASSERT_TRUE(back.WaitFor(1));
    ASSERT_EQ(back.U32(0, 4), 4u);
    EXPECT_EQ(Bytes(reply, 4), "pong");
    EXPECT_EQ(RecordIn(back, 0, 8).port, at.port);
    pong.reset();
    reply.reset();
}

TEST_P(DatagramSockets, OversizedDatagramIsDroppedAndTheListenerGoesOn)
{
    MessageWaiter accepted(0), result(4), opened(4);
    Ipv4Record at, a;
    ASSERT_NE(Listen(&accepted, &result, &at), nullptr);
    void* raw = OpenUdp(&opened, &a);
    ASSERT_NE(raw, nullptr);

    SendTo(raw, std::string(513, 'x'), at);
    SendTo(raw, "small", at);
    ASSERT_TRUE(accepted.WaitFor(1));
    HandleOwner area;
    MessageWaiter read;
    Read(accepted.Object(0), &area, 1024, &read);
    ASSERT_TRUE(read.WaitFor(1));
    EXPECT_EQ(read.U32(0, 0), kStatusSuccess);
    ASSERT_EQ(read.U32(0, 4), 5u);
    EXPECT_EQ(Bytes(area, 5), "small");
    area.reset();
    EXPECT_EQ(result.Count(), 1u);  // no end reported

    // 512 bytes still fit.
    SendTo(raw, std::string(512, 'y'), at);
    MessageWaiter full;
    Read(accepted.Object(0), &area, 1024, &full);
    ASSERT_TRUE(full.WaitFor(1));
    EXPECT_EQ(full.U32(0, 4), 512u);
    area.reset();
}

TEST_P(DatagramSockets, ClosingTheListenerWithAReceivePendingReportsTheEnd)
{
    MessageWaiter accepted(0), result(4);
    Ipv4Record at;
    void* listener = Listen(&accepted, &result, &at);
    ASSERT_NE(listener, nullptr);
    SockListenerCloseSync(listener);
    ASSERT_TRUE(result.WaitFor(2));
    EXPECT_EQ(result.U32(1, 0), kStatusAborted);
    EXPECT_EQ(result.U32(1, 4), 0u);
    EXPECT_EQ(RecordIn(result, 1, 8).port, at.port);
}

TEST_P(DatagramSockets, ListenerDroppedWithAReceivePendingAndAPeerHoldingADatagram)
{
    MessageWaiter accepted(0), opened(4);
    Ipv4Record at, a;
    {
        MessageWaiter result(4);
        ASSERT_NE(Listen(&accepted, &result, &at), nullptr);
        void* raw = OpenUdp(&opened, &a);
        SendTo(raw, "kept", at);
        ASSERT_TRUE(accepted.WaitFor(1));
    }  // the listener goes; its peer keeps the unread datagram
    HandleOwner area;
    MessageWaiter read;
    Read(accepted.Object(0), &area, 64, &read);
    ASSERT_TRUE(read.WaitFor(1));
    ASSERT_EQ(read.U32(0, 4), 4u);
    EXPECT_EQ(Bytes(area, 4), "kept");
    area.reset();

    // With nothing queued, a read pending on a peer completes as cancelled when the peer goes.
    MessageWaiter pending;
    Read(accepted.Object(0), &area, 64, &pending);
    area.reset();
    accepted.DropObjects();
    ASSERT_TRUE(pending.WaitFor(1));
    EXPECT_EQ(pending.U32(0, 0), kStatusCancelled);
}

// One datagram is out at a time: while a peer leaves its datagram unread, the
// listener receives nothing, for that peer or any other.
TEST_P(DatagramSockets, APeerThatDoesNotReadHoldsUpTheWholeListener)
{
    TwoSources s;
    ASSERT_TRUE(ListenWithTwoSources(&s));
    SendTo(s.rawA, "unread", s.at);
    ASSERT_TRUE(s.accepted.WaitFor(1));
    SendTo(s.rawB, "waiting", s.at);
    EXPECT_FALSE(s.accepted.WaitFor(2, 300)) << "another peer received while the first held its datagram";

    EXPECT_EQ(ReadBytes(s.accepted.Object(0), 64), "unread");
    ASSERT_TRUE(s.accepted.WaitFor(2)) << "read at last, the datagram let the listener go on";
    EXPECT_EQ(ReadBytes(s.accepted.Object(1), 64), "waiting");
}

TEST_P(DatagramSockets, ConnectedSocketTalksToItsRemoteOnly)
{
    MessageWaiter openedB(4), openedC(4), connected(4);
    Ipv4Record b, c;
    void* rawB = OpenUdp(&openedB, &b);
    void* rawC = OpenUdp(&openedC, &c);
    ASSERT_TRUE(rawB && rawC);

    SockConnect(&b.header, nullptr, 0, &connected.closure);
    ASSERT_TRUE(connected.WaitFor(1));
    ASSERT_EQ(connected.U32(0, 0), kStatusSuccess);
    void* socket = connected.Object(0);
    ASSERT_NE(socket, nullptr);
    std::string m = connected.At(0);
    ASSERT_EQ(m.size(), 8u + 14u + 14u);  // remote, then the local record actually bound
    const AddressRecord* local = SockLocalRecord(socket);
    ASSERT_EQ(local->size, 14u);
    EXPECT_NE(Ipv4RecordPort(local), 0);
    EXPECT_EQ(std::memcmp(m.data() + 22, local, 14), 0);

    // Its write reaches the remote from its own port.
    HandleOwner seen = Area(64);
    MessageWaiter atB;
    RawEndpointReceiveFrom(rawB, seen.get(), &atB.closure);
    HandleOwner ping;
    EXPECT_TRUE(StatusAccepted(BufAllocCopy(ping.put(), "ping", 4)));
    SockSend(socket, ping.get(), nullptr);
    ASSERT_TRUE(atB.WaitFor(1));
    ASSERT_EQ(atB.U32(0, 4), 4u);
    EXPECT_EQ(Bytes(seen, 4), "ping");
    EXPECT_EQ(RecordIn(atB, 0, 8).port, Ipv4RecordPort(local));
    ping.reset();
    seen.reset();

    // A stranger's datagram is ignored and the read stays pending for the remote's.
    Ipv4Record to = Ipv4RecordMake(kAddressTypeUdp, kLoopback, Ipv4RecordPort(local));
    HandleOwner area;
    MessageWaiter read;
    Read(socket, &area, 64, &read);
    SendTo(rawC, "stranger", to);
    SendTo(rawB, "pong", to);
    ASSERT_TRUE(read.WaitFor(1));
    EXPECT_EQ(read.U32(0, 0), kStatusSuccess);
    ASSERT_EQ(read.U32(0, 4), 4u);
    EXPECT_EQ(Bytes(area, 4), "pong");
    EXPECT_EQ(read.Count(), 1u);
    area.reset();

    // Close completes at once and ends nothing; dropping the socket cancels its pending read.
    MessageWaiter pending, closed;
    Read(socket, &area, 64, &pending);
    area.reset();
    SockClose(socket, 0, &closed.closure);
    ASSERT_TRUE(closed.WaitFor(1));
    EXPECT_EQ(closed.U32(0, 0), kStatusSuccess);
    EXPECT_EQ(pending.Count(), 0u);
    connected.DropObjects();
    ASSERT_TRUE(pending.WaitFor(1));
    EXPECT_EQ(pending.U32(0, 0), kStatusCancelled);
    EXPECT_EQ(pending.U32(0, 4), 0u);
}

INSTANTIATE_TEST_SUITE_P(Platforms, DatagramSockets, ::testing::Values(false, true), PlatformName);

// ---- failures of the receive, from a transport that the test drives -------

constexpr uint32_t kScriptedFamily = 0x7D;
constexpr uint32_t kScriptedUdp = 0x00110200 | kScriptedFamily;

Ipv4Record ScriptedRecord(uint16_t port) { return Ipv4RecordMake(kScriptedUdp, kLoopback, port); }

// Receive-froms wait until the test completes them with a status, bytes and a source.
class ScriptedDatagrams {
public:
    struct Receive {
        HandleOwner buffer;
        ClosureOwner closure;
    };

    ScriptedDatagrams()
    {
        Current() = this;
        event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        EXPECT_TRUE(StatusAccepted(RegisterFamilyProvider(kScriptedFamily, Factory)));
    }
    ~ScriptedDatagrams()
    {
        pending_.clear();
        CloseHandle(event_);
        Current() = nullptr;
    }

    int posted()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return posted_;
    }
    // Waits for a receive to be pending, then completes it.
    bool Complete(NtStatus status, const std::string& bytes, uint16_t sourcePort)
    {
        Receive r;
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (!pending_.empty()) {
                    r = std::move(pending_.front());
                    pending_.erase(pending_.begin());
                    break;
                }
            }
            if (WaitForSingleObject(event_, 30000) != WAIT_OBJECT_0)
                return false;
        }
        Ipv4Record source = ScriptedRecord(sourcePort);
        (void)NotifyReceived(r.buffer.get(), r.closure.get(), status, bytes.data(),
                             static_cast<uint32_t>(bytes.size()), &source.header);
        return true;
    }
    size_t Pending()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return pending_.size();
    }

private:
    class Provider final : public TransportProvider {
    public:
        void Close(const Closure* c) override { (void)CompleteWithStatus(c, kStatusSuccess, nullptr, 0); }
        void Listen(const Closure*, uint32_t, const Closure* r) override { Refuse(r); }
        void Connect(const AddressRecord*, uint32_t, const Closure* c) override { Refuse(c); }
        void Disconnect(uint32_t, const Closure* c) override { Refuse(c); }
        void Write(const BufferHandle*, const Closure* c) override { Refuse(c); }
        void Read(const BufferHandle*, const Closure* c) override { Refuse(c); }
        void SendTo(const BufferHandle*, const AddressRecord*, const Closure* c) override
        {
            (void)CompleteWithStatus(c, kStatusSuccess, nullptr, 0);
        }
        void ReceiveFrom(const BufferHandle* buffer, const Closure* closure) override
        {
            Current()->Add(buffer, closure);
        }

    private:
        static void Refuse(const Closure* c) { (void)CompleteWithStatus(c, kStatusNotImplemented, nullptr, 0); }
    };

    static ScriptedDatagrams*& Current()
    {
        static ScriptedDatagrams* current = nullptr;
        return current;
    }
    static NtStatus Factory(const AddressRecord* record, const Closure* closure)
    {
        Provider* p = ManagedNew<Provider>();
        RefOwner<ControlBlock> made = RefOwner<ControlBlock>::Adopt(p ? p->cb : nullptr);
        Ipv4Record bound = ScriptedRecord(7);
        (void)NotifyStatusObjectAddress(closure, p ? kStatusSuccess : kStatusNoMemory,
                                        ObjectRefOf(static_cast<TransportProvider*>(p)), p ? &bound.header : record);
        return kStatusSuccess;
    }
    void Add(const BufferHandle* buffer, const Closure* closure)
    {
        Receive r = {HandleOwner::Copy(buffer), ClosureOwner::Copy(closure)};
        {
            std::lock_guard<std::mutex> hold(lock_);
            pending_.push_back(std::move(r));
            ++posted_;
        }
        SetEvent(event_);
    }

    std::mutex lock_;
    HANDLE event_;
    std::vector<Receive> pending_;
    int posted_ = 0;
};

class DatagramFailures : public CoreTest {};

TEST_F(DatagramFailures, ListenerDropsTooLongAndResetDatagramsAndEndsOnceOnALastingFailure)
{
    ScriptedDatagrams net;
    MessageWaiter accepted(0), result(4);
    Ipv4Record at = ScriptedRecord(7);
    SockListen(&at.header, &accepted.closure, 0, &result.closure);
    ASSERT_TRUE(result.WaitFor(1));
    ASSERT_EQ(result.U32(0, 0), kStatusSuccess);

    ASSERT_TRUE(net.Complete(kStatusTooLong, std::string(512, 'x'), 9));
    ASSERT_TRUE(net.Complete(kStatusConnectionReset, "", 9));
    ASSERT_TRUE(net.Complete(kStatusSuccess, "after", 9));
    ASSERT_TRUE(accepted.WaitFor(1));
    EXPECT_EQ(accepted.Count(), 1u);  // the dropped ones made no peer
    HandleOwner area = Area(16);
    MessageWaiter read;
    SockReceive(accepted.Object(0), area.get(), &read.closure);
    ASSERT_TRUE(read.WaitFor(1));
    ASSERT_EQ(read.U32(0, 4), 5u);
    EXPECT_EQ(Bytes(area, 5), "after");

    // A read queued before the datagram is served by its delivery.
    MessageWaiter queued;
    SockReceive(accepted.Object(0), area.get(), &queued.closure);
    ASSERT_TRUE(net.Complete(kStatusSuccess, "xyz", 9));
    ASSERT_TRUE(queued.WaitFor(1));
    ASSERT_EQ(queued.U32(0, 4), 3u);
    EXPECT_EQ(Bytes(area, 3), "xyz");
    EXPECT_EQ(accepted.Count(), 1u);
    area.reset();

    ASSERT_TRUE(net.Complete(kStatusNetDown, "", 0));
    ASSERT_TRUE(result.WaitFor(2));
    EXPECT_EQ(result.U32(1, 0), kStatusNetDown);
    EXPECT_EQ(result.U32(1, 4), 0u);
    EXPECT_EQ(net.Pending(), 0u);  // nothing posted after the end
    EXPECT_EQ(net.posted(), 5);
    EXPECT_EQ(result.Count(), 2u);
}

TEST_F(DatagramFailures, ConnectedSocketCompletesItsReadWithTheFailure)
{
    ScriptedDatagrams net;
    Ipv4Record remote = ScriptedRecord(9);
    MessageWaiter connected(4);
    SockConnect(&remote.header, nullptr, 0, &connected.closure);
    ASSERT_TRUE(connected.WaitFor(1));
    ASSERT_EQ(connected.U32(0, 0), kStatusSuccess);
    void* socket = connected.Object(0);

    // A passing failure completes the read; the next read is served as usual.
    HandleOwner area = Area(16);
    MessageWaiter first, second, third, later;
    SockReceive(socket, area.get(), &first.closure);
    SockReceive(socket, area.get(), &second.closure);
    ASSERT_TRUE(net.Complete(kStatusConnectionReset, "", 0));
    ASSERT_TRUE(first.WaitFor(1));
    EXPECT_EQ(first.U32(0, 0), kStatusConnectionReset);
    EXPECT_EQ(first.U32(0, 4), 0u);
    ASSERT_TRUE(net.Complete(kStatusSuccess, "data", 9));
    ASSERT_TRUE(second.WaitFor(1));
    EXPECT_EQ(second.U32(0, 0), kStatusSuccess);
    EXPECT_EQ(second.U32(0, 4), 4u);

    // A lasting failure completes the read, and every read after it, without another receive.
    SockReceive(socket, area.get(), &third.closure);
    ASSERT_TRUE(net.Complete(kStatusNetDown, "", 0));
    ASSERT_TRUE(third.WaitFor(1));
    EXPECT_EQ(third.U32(0, 0), kStatusNetDown);
    SockReceive(socket, area.get(), &later.closure);
    ASSERT_TRUE(later.WaitFor(1));
    EXPECT_EQ(later.U32(0, 0), kStatusNetDown);
    EXPECT_EQ(net.posted(), 3);
    EXPECT_EQ(net.Pending(), 0u);
    area.reset();
}

}  // namespace
