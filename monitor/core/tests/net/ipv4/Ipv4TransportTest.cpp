#include "exec/ClosureOwner.h"
#include "net/CompletionMessage.h"
#include "net/FamilyRegistry.h"
#include "net/ipv4/Ipv4Record.h"
#include "net/ipv4/WinsockProvider.h"
#include "net/ipv4/WsWorker.h"
#include "net/SocketApi.h"
#include "net/TransportProvider.h"
#include "runtime/FixedWaits.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "support/BothPlatformsTest.h"
#include "support/CoreTestFixture.h"
#include "support/MessageWaiter.h"
#include "support/StuckIo.h"
#include "support/TestThreads.h"
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr uint32_t kLoopback = 0x7F000001;
constexpr NtStatus kStatusRefused = 0xC0000236;    // 10061
constexpr NtStatus kStatusAborted = 0xC0000240;    // 995, what a cancelled operation reports
constexpr NtStatus kStatusBadArgument = 0xC0000010;  // 10022, what a bare closesocket gives

// The fields of the first completion message a waiter got.
NtStatus StatusOf(MessageWaiter& m) { return m.U32(0, offsetof(StatusMessage, status)); }
uint32_t BytesDone(MessageWaiter& m) { return m.U32(0, offsetof(StatusCountMessage, count)); }

// The IPv4 record that ends a message at `offset`.
Ipv4Record RecordAt(const std::string& message, size_t offset)
{
    constexpr size_t kRecordBytes = 14;  // size, type, address, port
    Ipv4Record record = {};
    EXPECT_EQ(message.size(), offset + kRecordBytes);
    if (message.size() >= offset + kRecordBytes)
        std::memcpy(&record, message.data() + offset, kRecordBytes);
    return record;
}

TEST(Ipv4Records, SockaddrConversions)
{
    Ipv4Record full = Ipv4RecordMake(kAddressTypeTcp, kLoopback, 50001);
    sockaddr_in name = RecordToSockaddr(&full.header);
    EXPECT_EQ(name.sin_family, AF_INET);
    EXPECT_EQ(name.sin_port, htons(50001));
    EXPECT_EQ(name.sin_addr.s_addr, htonl(kLoopback));
    const char zeros[8] = {};
    EXPECT_EQ(std::memcmp(name.sin_zero, zeros, 8), 0);

    for (uint32_t size : {8u, 12u}) {  // too short for address and port
        Ipv4Record shortRecord = full;
        shortRecord.header.size = size;
        sockaddr_in any = RecordToSockaddr(&shortRecord.header);
        EXPECT_EQ(any.sin_addr.s_addr, 0u) << size;
        EXPECT_EQ(any.sin_port, 0u) << size;
    }

    Ipv4Record back = SockaddrToRecord(name, kAddressTypeUdp);
    EXPECT_EQ(back.header.size, 14u);
    EXPECT_EQ(back.header.type, kAddressTypeUdp);
    EXPECT_EQ(back.address, kLoopback);
    EXPECT_EQ(back.port, 50001);
}

class Ipv4Socket : public CoreTest {};

TEST_F(Ipv4Socket, BroadcastIsEnabledForDatagramsOnly)
{
    ASSERT_TRUE(NetInit());
    for (uint32_t type : {kAddressTypeTcp, kAddressTypeUdp}) {
        const AddressRecord any = {8, type};
        SOCKET s;
        ASSERT_EQ(WsCreateSocket(&any, &s), kStatusSuccess) << type;
        BOOL broadcast = FALSE;
        int length = sizeof(broadcast);
        ASSERT_EQ(getsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&broadcast), &length), 0);
        EXPECT_EQ(broadcast != FALSE, type == kAddressTypeUdp) << type;
        closesocket(s);
    }
}

// A closed endpoint waits for its cancelled I/O only so long: an operation
// the system never gives back does not keep its thread (and the exit) for ever.
TEST_F(Ipv4Socket, AClosedEndpointGivesUpOnIoThatNeverComesBack)
{
    ASSERT_TRUE(NetInit());
    CoreFixedWaits().ioSettleMs = 200;
    const AddressRecord any = {8, kAddressTypeTcp};
    SOCKET s;
    ASSERT_EQ(WsCreateSocket(&any, &s), kStatusSuccess);
    NtStatus status;
    RefOwner<WsWorker> worker = RefOwner<WsWorker>::Adopt(WsWorker::Create(s, kAddressTypeTcp, &status));
    ASSERT_TRUE(worker) << status;
    StuckIo stuck;
    ASSERT_TRUE(stuck.Start(&worker->commands, &worker->outstanding));
    WsPostClose(worker.get(), nullptr);
    EXPECT_TRUE(StuckIo::WaitStrongCount(worker->cb, 1)) << "the I/O thread waited for ever";
    stuck.Unlink();
}

// Plain blocking WinSock peer for the cases the transport must meet from the
// other side (resets, a port nobody listens on).
class PlainSocket {
public:
    PlainSocket() : s_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
    ~PlainSocket() { Close(); }
    SOCKET get() const { return s_; }
    uint16_t BindLoopback()
    {
        sockaddr_in name = {};
        name.sin_family = AF_INET;
        name.sin_addr.s_addr = htonl(kLoopback);
        bind(s_, reinterpret_cast<sockaddr*>(&name), sizeof(name));
        int length = sizeof(name);
        getsockname(s_, reinterpret_cast<sockaddr*>(&name), &length);
        return ntohs(name.sin_port);
    }
    bool Connect(uint16_t port)
    {
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(kLoopback);
        to.sin_port = htons(port);
        return connect(s_, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == 0;
    }
    // Closing with a zero linger time sends a reset instead of a FIN.
    void Reset()
    {
        linger off = {1, 0};
        setsockopt(s_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&off), sizeof(off));
        Close();
    }
    void Close()
    {
        if (s_ != INVALID_SOCKET)
            closesocket(s_);
        s_ = INVALID_SOCKET;
    }

private:
    SOCKET s_;
};

// A client socket connected to the listener, and the server end accepted for it.
struct ConnectedPair {
    MessageWaiter accepts{offsetof(ObjectRecordMessage, object)};
    MessageWaiter connected{offsetof(StatusObjectRemoteLocalMessage, object)};
    void* client = nullptr;
    TransportProvider* server = nullptr;
};

// Every TCP case runs twice: as on NT (completions finished inside the
// completion routines) and as on Windows 9x (finished from the command queue).
class Ipv4Tcp : public BothPlatformsTest {
protected:
    void SetUp() override
    {
        BothPlatformsTest::SetUp();
        ASSERT_TRUE(NetInit());
    }
    // Everything a test holds goes before the fixture counts what is left.
    void TearDown() override
    {
        pair_.reset();
        DropListener();
        BothPlatformsTest::TearDown();
    }

    // A provider bound to the record, with a reference of its own; its local record in `local`.
    TransportProvider* Endpoint(const AddressRecord& record, Ipv4Record* local)
    {
        MessageWaiter made(offsetof(StatusObjectRecordMessage, object));
        FindFamilyProvider(kFamilyIpv4)(&record, &made.closure);
        EXPECT_TRUE(made.WaitFor(1));
        EXPECT_EQ(StatusOf(made), kStatusSuccess);
        *local = RecordAt(made.At(0), offsetof(StatusObjectRecordMessage, record));
        void* ref = made.Object(0);
        if (ref)
            ObjAddRef(ObjControlBlockOf(ref));
        return ProviderFromRef(ref);
    }

    // Listens, connects a client and waits for its server end: `pair_`.
    void ConnectPair()
    {
        pair_ = std::make_unique<ConnectedPair>();
        ASSERT_NO_FATAL_FAILURE(Listen(&pair_->accepts));
        pair_->client = Connect(&pair_->connected);
        ASSERT_NE(pair_->client, nullptr);
        ASSERT_TRUE(pair_->accepts.WaitFor(1));
        pair_->server = ProviderFromRef(pair_->accepts.Object(0));
    }

    // Listens on 127.0.0.1 with the port the system chooses.
    void Listen(MessageWaiter* accepts)
    {
        Ipv4Record any = Ipv4RecordMake(kAddressTypeTcp, kLoopback, 0);
        listener_ = Endpoint(any.header, &listening_);
        ASSERT_NE(listener_, nullptr);
        ASSERT_NE(listening_.port, 0);
        MessageWaiter result;
        listener_->Listen(&accepts->closure, 5, &result.closure);
        ASSERT_TRUE(result.WaitFor(1));
        ASSERT_EQ(StatusOf(result), kStatusSuccess);
    }

    void DropListener()
    {
        if (listener_)
            ObjRelease(listener_->cb);
        listener_ = nullptr;
    }

    void* Connect(MessageWaiter* result)
    {
        SockConnect(&listening_.header, nullptr, 0, &result->closure);
        EXPECT_TRUE(result->WaitFor(1));
        EXPECT_EQ(StatusOf(*result), kStatusSuccess);
        return result->Object(0);
    }

    static HandleOwner Bytes(const std::string& text)
    {
        HandleOwner h;
        EXPECT_TRUE(StatusAccepted(BufAllocCopy(h.put(), text.data(), static_cast<uint32_t>(text.size()))));
        return h;
    }

    static HandleOwner Area(uint32_t size)
    {
        HandleOwner h;
        EXPECT_EQ(BufAlloc(h.put(), nullptr, nullptr, size), kStatusSuccess);
        return h;
    }

    static std::string Received(const HandleOwner& area, MessageWaiter& read)
    {
        return std::string(static_cast<const char*>(area->data), BytesDone(read));
    }

    TransportProvider* listener_ = nullptr;
    Ipv4Record listening_ = {};
    std::unique_ptr<ConnectedPair> pair_;
};

TEST_P(Ipv4Tcp, ConnectAcceptDataBothWaysAndOrderlyClose)
{
    ASSERT_NO_FATAL_FAILURE(ConnectPair());
    void* client = pair_->client;
    TransportProvider* server = pair_->server;

    // The client's local record is the address bound before connecting.
    const AddressRecord* local = SockLocalRecord(client);
    ASSERT_EQ(local->size, 14u);
    EXPECT_EQ(Ipv4RecordAddress(local), 0u);
    EXPECT_NE(Ipv4RecordPort(local), 0);

    Ipv4Record peer = RecordAt(pair_->accepts.At(0), offsetof(ObjectRecordMessage, record));
    EXPECT_EQ(peer.header.type, kAddressTypeTcp);
    EXPECT_EQ(peer.address, kLoopback);
    EXPECT_EQ(peer.port, Ipv4RecordPort(local));

    HandleOwner serverArea = Area(64);
    MessageWaiter serverRead;
    server->Read(serverArea.get(), &serverRead.closure);
    HandleOwner hello = Bytes("hello");
    MessageWaiter sent;
    SockSend(client, hello.get(), &sent.closure);
    ASSERT_TRUE(sent.WaitFor(1));
    EXPECT_EQ(sent.At(0).size(), sizeof(StatusMessage));
    EXPECT_EQ(StatusOf(sent), kStatusSuccess);
    ASSERT_TRUE(serverRead.WaitFor(1));
    EXPECT_EQ(StatusOf(serverRead), kStatusSuccess);
    EXPECT_EQ(Received(serverArea, serverRead), "hello");

    HandleOwner clientArea = Area(64);
    MessageWaiter clientRead;
    SockReceive(client, clientArea.get(), &clientRead.closure);
    HandleOwner world = Bytes("world!");
    MessageWaiter serverSent;
    server->Write(world.get(), &serverSent.closure);
    ASSERT_TRUE(clientRead.WaitFor(1));
    EXPECT_EQ(StatusOf(clientRead), kStatusSuccess);
    EXPECT_EQ(Received(clientArea, clientRead), "world!");
    ASSERT_TRUE(serverSent.WaitFor(1));
    EXPECT_EQ(StatusOf(serverSent), kStatusSuccess);

    // Orderly close: the client's shut-down reaches the server as the end of
    // the stream; the server's own shut-down then completes both disconnects.
    MessageWaiter endOfStream;
    server->Read(serverArea.get(), &endOfStream.closure);
    MessageWaiter clientClosed;
    SockClose(client, 0, &clientClosed.closure);
    ASSERT_TRUE(endOfStream.WaitFor(1));
    EXPECT_EQ(StatusOf(endOfStream), kStatusSuccess);
    EXPECT_EQ(BytesDone(endOfStream), 0u);
    MessageWaiter serverClosed;
    server->Disconnect(0, &serverClosed.closure);
    ASSERT_TRUE(clientClosed.WaitFor(1));
    EXPECT_EQ(StatusOf(clientClosed), kStatusSuccess);
    ASSERT_TRUE(serverClosed.WaitFor(1));
    EXPECT_EQ(StatusOf(serverClosed), kStatusSuccess);
}

TEST_P(Ipv4Tcp, PeerResetReachesTheCallerAsConnectionReset)
{
    MessageWaiter accepts(offsetof(ObjectRecordMessage, object));
    ASSERT_NO_FATAL_FAILURE(Listen(&accepts));
    PlainSocket peer;
    ASSERT_TRUE(peer.Connect(listening_.port));
    ASSERT_TRUE(accepts.WaitFor(1));
    TransportProvider* server = ProviderFromRef(accepts.Object(0));

    HandleOwner area = Area(16);
    // Bytes the peer never reads make its close a reset on every system.
    HandleOwner unread = Bytes("unread");
    MessageWaiter sent;
    server->Write(unread.get(), &sent.closure);
    ASSERT_TRUE(sent.WaitFor(1));
    char first;
    ASSERT_EQ(recv(peer.get(), &first, 1, 0), 1);
    MessageWaiter read;
    server->Read(area.get(), &read.closure);
    peer.Reset();
    // Windows fails the pending read with 10054; Wine ends it like the end of
    // the stream and reports the reset to the next call. Either way the reset
    // reaches the caller as 0xC000020D.
    ASSERT_TRUE(read.WaitFor(1));
    EXPECT_EQ(BytesDone(read), 0u);
    NtStatus readStatus = StatusOf(read);
    if (readStatus != kStatusConnectionReset) {
        EXPECT_EQ(readStatus, kStatusSuccess);
        MessageWaiter failed;
        server->Write(unread.get(), &failed.closure);
        ASSERT_TRUE(failed.WaitFor(1));
        EXPECT_EQ(StatusOf(failed), kStatusConnectionReset);
    }
}

TEST_P(Ipv4Tcp, RefusedConnectReportsNoSocket)
{
    PlainSocket unused;  // bound, never listening: connects to its port are refused
    Ipv4Record remote = Ipv4RecordMake(kAddressTypeTcp, kLoopback, unused.BindLoopback());
    MessageWaiter result(offsetof(StatusObjectRemoteLocalMessage, object));
    SockConnect(&remote.header, nullptr, 0, &result.closure);
    ASSERT_TRUE(result.WaitFor(1));
    EXPECT_EQ(StatusOf(result), kStatusRefused);
    EXPECT_EQ(result.Object(0), nullptr);
}

TEST_P(Ipv4Tcp, CloseWithReadPendingCompletesTheReadAsCancelled)
{
    ASSERT_NO_FATAL_FAILURE(ConnectPair());
    TransportProvider* server = pair_->server;

    HandleOwner area = Area(16);
    MessageWaiter read;
    server->Read(area.get(), &read.closure);
    MessageWaiter closed;
    server->Close(&closed.closure);
    ASSERT_TRUE(closed.WaitFor(1));
    EXPECT_EQ(StatusOf(closed), kStatusSuccess);
    ASSERT_TRUE(read.WaitFor(1));
    EXPECT_EQ(StatusOf(read), kStatusAborted) << "not " << kStatusBadArgument << " as without CancelIo";
    EXPECT_EQ(BytesDone(read), 0u);

    // Commands after the close still complete (the thread may have ended).
    MessageWaiter late;
    server->Read(area.get(), &late.closure);
    ASSERT_TRUE(late.WaitFor(1));
    EXPECT_NE(StatusOf(late), kStatusSuccess);
}

TEST_P(Ipv4Tcp, DroppingOpenConnectionsEndsEveryThreadBeforeShutDown)
{
    ASSERT_NO_FATAL_FAILURE(ConnectPair());
    MessageWaiter clientRead, serverRead;
    SockReceive(pair_->client, Area(16).get(), &clientRead.closure);
    pair_->server->Read(Area(16).get(), &serverRead.closure);

    // The front end lets go of everything without closing anything.
    pair_->connected.DropObjects();
    pair_->accepts.DropObjects();
    DropListener();
    ASSERT_TRUE(clientRead.WaitFor(1));
    ASSERT_TRUE(serverRead.WaitFor(1));
    // Both ends are dropped at once: each read hears its own cancellation or
    // the other end's close first, and carries no bytes.
    for (MessageWaiter* read : {&clientRead, &serverRead}) {
        NtStatus status = StatusOf(*read);
        EXPECT_TRUE(status == kStatusSuccess || status == kStatusAborted || status == kStatusConnectionReset)
            << std::hex << status;
        EXPECT_EQ(BytesDone(*read), 0u);
    }
    // The fixture's shut-down then fails the test unless every thread let go
    // of its endpoint and every block came back.
}

// Runs its action where the completion arrives: on the endpoint's I/O thread.
struct OnCompletion {
    std::function<void()> action;
    TestEvent done;
    ClosureOwner closure;

    explicit OnCompletion(std::function<void()> a) : action(std::move(a))
    {
        BufferHandle self = {this, nullptr, 0, 0};
        ClosureInit(closure.put(), Run, nullptr, &self);
    }
    static void Run(BufferHandle* bound, BufferHandle*)
    {
        auto* self = static_cast<OnCompletion*>(bound->data);
        self->action();
        self->done.Set();
    }
};

// Every operation completes exactly once: a second connect or disconnect
// issued while the first is pending, or a second listen, is refused with
// 0xC0000184 and leaves the first one in place. The pairs are issued on the
// I/O thread, inside one completion, so that the first cannot have completed
// before the second arrives.
TEST_P(Ipv4Tcp, ASecondConnectDisconnectOrListenIsRefusedAndTheFirstStands)
{
    MessageWaiter accepts(offsetof(ObjectRecordMessage, object));
    ASSERT_NO_FATAL_FAILURE(Listen(&accepts));
    Ipv4Record local;
    TransportProvider* client = Endpoint(Ipv4RecordMake(kAddressTypeTcp, 0, 0).header, &local);
    ASSERT_NE(client, nullptr);
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(client->cb);

    MessageWaiter first, second;
    OnCompletion connectTwice([&] {
        client->Connect(&listening_.header, 0, &first.closure);
        client->Connect(&listening_.header, 0, &second.closure);
    });
    client->Disconnect(0, connectTwice.closure.get());  // fails at once: not connected
    ASSERT_TRUE(connectTwice.done.Wait());
    ASSERT_TRUE(first.WaitFor(1));
    EXPECT_EQ(StatusOf(first), kStatusSuccess);
    ASSERT_TRUE(second.WaitFor(1));
    EXPECT_EQ(StatusOf(second), kStatusInvalidState);
    ASSERT_TRUE(accepts.WaitFor(1));

    MessageWaiter closing, closingAgain;
    HandleOwner bytes = Bytes("bye");
    OnCompletion disconnectTwice([&] {
        client->Disconnect(0, &closing.closure);
        client->Disconnect(0, &closingAgain.closure);
    });
    client->Write(bytes.get(), disconnectTwice.closure.get());
    ASSERT_TRUE(disconnectTwice.done.Wait());
    ASSERT_TRUE(closingAgain.WaitFor(1));
    EXPECT_EQ(StatusOf(closingAgain), kStatusInvalidState);
    EXPECT_EQ(closing.Count(), 0u) << "pending until the peer closes";
    accepts.DropObjects();  // the peer closes
    ASSERT_TRUE(closing.WaitFor(1));
    EXPECT_EQ(StatusOf(closing), kStatusSuccess);
    EXPECT_EQ(closingAgain.Count(), 1u);

    MessageWaiter otherAccepts(offsetof(ObjectRecordMessage, object)), listenAgain;
    listener_->Listen(&otherAccepts.closure, 5, &listenAgain.closure);
    ASSERT_TRUE(listenAgain.WaitFor(1));
    EXPECT_EQ(StatusOf(listenAgain), kStatusInvalidState);
    MessageWaiter connected(offsetof(StatusObjectRemoteLocalMessage, object));
    ASSERT_NE(Connect(&connected), nullptr);
    ASSERT_TRUE(accepts.WaitFor(2));
    EXPECT_EQ(otherAccepts.Count(), 0u) << "the first listen's closure hears every accept";
}

INSTANTIATE_TEST_SUITE_P(Platforms, Ipv4Tcp, ::testing::Values(false, true), PlatformName);

}  // namespace
