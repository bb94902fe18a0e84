#include "exec/ClosureOwner.h"
#include "net/CompletionCounter.h"
#include "net/CompletionMessage.h"
#include "net/FamilyRegistry.h"
#include "net/SocketApi.h"
#include "net/TransportProvider.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "runtime/TrackedBlock.h"
#include "support/CoreTestFixture.h"
#include "support/MessageRecorder.h"
#include <string>
#include <vector>

namespace {

// A transport of its own family that completes everything at once on the
// calling thread, as the test arranges, and keeps a log of the calls made.
constexpr uint32_t kFakeFamily = 0x7E;
constexpr uint32_t kFakeStream = 0x00060100 | kFakeFamily;

struct FakeFamily {
    NtStatus factoryStatus = kStatusSuccess;
    NtStatus listenStatus = kStatusSuccess;
    NtStatus connectStatus = kStatusSuccess;
    std::vector<std::string> calls;
    ClosureOwner accept;  // of the last listen
    int alive = 0;

    void Reset() { *this = FakeFamily(); }
};
FakeFamily g_fake;

struct BoundRecord {  // what the fake's factory reports as the address bound
    AddressRecord header = {12, kFakeStream};
    uint32_t port = 4242;
};

class FakeProvider final : public TransportProvider {
public:
    FakeProvider() { ++g_fake.alive; }
    ~FakeProvider() { --g_fake.alive; }

    void Close(const Closure* c) override { Done("close", c); }
    void Listen(const Closure* accept, uint32_t backlog, const Closure* result) override
    {
        g_fake.calls.push_back("listen " + std::to_string(backlog));
        g_fake.accept = ClosureOwner::Copy(accept);
        (void)CompleteWithStatus(result, g_fake.listenStatus, nullptr, 0);
    }
    void Connect(const AddressRecord* remote, uint32_t option, const Closure* c) override
    {
        g_fake.calls.push_back("connect " + std::to_string(remote->size) + " " + std::to_string(option));
        (void)CompleteWithStatus(c, g_fake.connectStatus, nullptr, 0);
    }
    void Disconnect(uint32_t option, const Closure* c) override
    {
        Done("disconnect " + std::to_string(option), c);
    }
    void Write(const BufferHandle* b, const Closure* c) override
    {
        Done("write " + std::string(static_cast<const char*>(b->data), b->size), c);
    }
    void Read(const BufferHandle* b, const Closure* c) override
    {
        g_fake.calls.push_back("read");
        (void)CompleteWithStatusCount(c, kStatusSuccess, b->size);
    }
    void SendTo(const BufferHandle*, const AddressRecord*, const Closure* c) override { Done("send-to", c); }
    void ReceiveFrom(const BufferHandle*, const Closure* c) override
    {
        g_fake.calls.push_back("receive-from");
        (void)NotifyStatusCountAddress(c, kStatusSuccess, 0, nullptr);
    }

private:
    static void Done(const std::string& call, const Closure* c)
    {
        g_fake.calls.push_back(call);
        (void)CompleteWithStatus(c, kStatusSuccess, nullptr, 0);
    }
};

NtStatus FakeFactory(const AddressRecord* record, const Closure* closure)
{
    g_fake.calls.push_back("factory " + std::to_string(record->size));
    if (g_fake.factoryStatus != kStatusSuccess)
        return NotifyStatusObjectAddress(closure, g_fake.factoryStatus, nullptr, record);
    FakeProvider* provider = ManagedNew<FakeProvider>();
    RefOwner<ControlBlock> made = RefOwner<ControlBlock>::Adopt(provider->cb);
    BoundRecord actual;
    (void)NotifyStatusObjectAddress(closure, kStatusSuccess, ObjectRefOf(provider), &actual.header);
    return kStatusSuccess;
}

// Delivers one accepted connection through the last listen's accept closure.
void FakeAccept()
{
    FakeProvider* provider = ManagedNew<FakeProvider>();
    RefOwner<ControlBlock> made = RefOwner<ControlBlock>::Adopt(provider->cb);
    const AddressRecord peer = {8, kFakeStream};
    EXPECT_TRUE(StatusAccepted(NotifyObjectAddress(g_fake.accept.get(), &peer, ObjectRefOf(provider))));
}

class SocketApi : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        g_fake.Reset();
        ASSERT_EQ(RegisterFamilyProvider(kFakeFamily, FakeFactory), kStatusSuccess);
    }
    void TearDown() override
    {
        g_fake.Reset();
        EXPECT_EQ(g_fake.alive, 0);
        CoreTest::TearDown();
    }

    static std::string Bytes(const AddressRecord* r) { return std::string(reinterpret_cast<const char*>(r), r->size); }
    static void* ObjectAt(const std::string& message, size_t offset)
    {
        return reinterpret_cast<void*>(uintptr_t(U32At(message, offset)));
    }
};

// Every failure to make the endpoint reaches the result closure, with the
// caller's records and no object; nothing is reported through a return value.
TEST_F(SocketApi, DispatchAndFactoryFailuresReachTheResultClosure)
{
    struct Case {
        uint32_t type;
        NtStatus factoryStatus;
        NtStatus expected;
    } cases[] = {
        {0x00060103, kStatusSuccess, kStatusNotImplemented},          // family without a factory
        {0x00060300 | kFakeFamily, kStatusSuccess, kStatusInvalidParameter},  // kind 3
        {0x00000000 | kFakeFamily, kStatusSuccess, kStatusInvalidParameter},  // kind 0
        {kFakeStream, 0xC0000236, 0xC0000236},                        // the factory's own status
        {0x00110200 | kFakeFamily, 0xC0000236, 0xC0000236},           // the same for datagrams
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        g_fake.factoryStatus = c.factoryStatus;
        const AddressRecord record = {8, c.type};
        const AddressRecord remote[2] = {{16, c.type}, {0x11111111, 0x22222222}};
        const BoundRecord callersLocal;
        MessageRecorder listen, open, connect, connectFromLocal;
        SockListen(&record, nullptr, 1, &listen.closure);
        SockOpen(&record, &open.closure);
        SockConnect(remote, nullptr, 0, &connect.closure);
        SockConnect(remote, &callersLocal.header, 0, &connectFromLocal.closure);
        for (MessageRecorder* r : {&listen, &open}) {
            ASSERT_EQ(r->messages.size(), 1u);
            EXPECT_EQ(U32At(r->Last(), 0), c.expected);
            EXPECT_EQ(U32At(r->Last(), 4), 0u);
            EXPECT_EQ(r->Last().substr(8), Bytes(&record));
        }
        // No endpoint was made: the local record is the default one, whatever the caller gave.
        const AddressRecord defaultLocal = {8, c.type};
        for (MessageRecorder* r : {&connect, &connectFromLocal}) {
            ASSERT_EQ(r->messages.size(), 1u);
            EXPECT_EQ(U32At(r->Last(), 0), c.expected);
            EXPECT_EQ(U32At(r->Last(), 4), 0u);
            EXPECT_EQ(r->Last().substr(8), Bytes(remote) + Bytes(&defaultLocal));
        }
    }
}

// The listener announces itself only once the endpoint really listens.
TEST_F(SocketApi, ListenFailureOfTheProviderIsReportedAndNothingStaysAlive)
{
    g_fake.listenStatus = 231;
    const AddressRecord record = {8, kFakeStream};
    MessageRecorder result;
    SockListen(&record, nullptr, 5, &result.closure);
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(U32At(result.Last(), 0), 231u);
    EXPECT_EQ(U32At(result.Last(), 4), 0u);
    EXPECT_EQ(g_fake.alive, 0) << "the provider goes with the listener that nobody received";
}

TEST_F(SocketApi, AcceptedSocketCarriesTheListenersRecordAndForwardsToItsProvider)
{
    const AddressRecord record[2] = {{12, kFakeStream}, {77, 0}};
    MessageRecorder result, accepted;
    result.keepLast = accepted.keepLast = true;
    SockListen(record, &accepted.closure, 100, &result.closure);
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(U32At(result.Last(), 0), 0u);
    void* listener = ObjectAt(result.Last(), 4);
    ASSERT_NE(listener, nullptr);
    EXPECT_EQ(result.Last().substr(8), Bytes(record)) << "the caller's record, not the one bound";
    EXPECT_EQ(g_fake.calls, (std::vector<std::string>{"factory 12", "listen 100"}));

    FakeAccept();
    ASSERT_EQ(accepted.messages.size(), 1u);
    void* socket = ObjectAt(accepted.Last(), 0);
    const AddressRecord peer = {8, kFakeStream};
    EXPECT_EQ(accepted.Last().substr(4), Bytes(&peer));
    EXPECT_EQ(Bytes(SockLocalRecord(socket)), Bytes(record));
    EXPECT_EQ(Bytes(SockRemoteRecord(socket)), Bytes(&peer));

    HandleOwner data;
    ASSERT_EQ(BufAllocCopy(data.put(), "ping", 4), kStatusSuccess);
    MessageRecorder io;
    SockSend(socket, data.get(), nullptr);
    SockReceive(socket, data.get(), &io.closure);
    SockClose(socket, 9, &io.closure);
    data.reset();
    EXPECT_EQ(g_fake.calls.back(), "disconnect 9");
    ASSERT_EQ(io.messages.size(), 2u) << "a send without closure completes silently";
    EXPECT_EQ(io.messages[0], std::string("\0\0\0\0\4\0\0\0", 8));
    EXPECT_EQ(g_fake.calls[2], "write ping");

    // The accept closure holds the listener weakly: once the caller lets go of
    // it, a connection that still arrives is dropped with its provider.
    accepted.DropKept();
    int providers = g_fake.alive;
    SockListenerClose(listener, &io.closure);
    EXPECT_EQ(g_fake.calls.back(), "close");
    result.DropKept();
    EXPECT_EQ(g_fake.alive, providers - 1);
    FakeAccept();
    EXPECT_EQ(accepted.messages.size(), 1u);
    EXPECT_EQ(g_fake.alive, providers - 1);
}

TEST_F(SocketApi, ConnectReportsTheBoundLocalRecordOnceAndOnlySucceedsWithAnObject)
{
    const AddressRecord remote = {8, kFakeStream};
    const BoundRecord bound;
    for (NtStatus status : {kStatusSuccess, NtStatus(2)}) {
        SCOPED_TRACE(status);
        g_fake.calls.clear();
        g_fake.connectStatus = status;
        MessageRecorder result;
        SockConnect(&remote, nullptr, 3, &result.closure);
        ASSERT_EQ(result.messages.size(), 1u);
        EXPECT_EQ(g_fake.calls, (std::vector<std::string>{"factory 8", "connect 8 3"}))
            << "the provider is made for the default local record";
        EXPECT_EQ(U32At(result.Last(), 0), status);
        EXPECT_EQ(ObjectAt(result.Last(), 4) != nullptr, status == kStatusSuccess);
        EXPECT_EQ(result.Last().substr(8), Bytes(&remote) + Bytes(&bound.header));
        EXPECT_EQ(g_fake.alive, 0) << "a socket nobody keeps goes at once";
    }
}

TEST_F(SocketApi, SynchronousFormsReturnTheStatusAndHandOverTheirObject)
{
    const AddressRecord unknown = {8, 0x00060103};
    const AddressRecord fake = {8, kFakeStream};
    void* object = &object;
    EXPECT_EQ(SockListenSync(&object, &unknown, nullptr, 1), kStatusNotImplemented);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(SockOpenSync(&object, &unknown), kStatusNotImplemented);

    ASSERT_EQ(SockListenSync(&object, &fake, nullptr, 1), kStatusSuccess);
    {
        RefOwner<void> listener = RefOwner<void>::Adopt(object);
        SockListenerCloseSync(listener.get());
    }

    HandleOwner actual;
    ASSERT_EQ(SockOpenFamilySync(&object, kFakeStream, actual.put()), kStatusSuccess);
    RefOwner<void> raw = RefOwner<void>::Adopt(object);
    const BoundRecord bound;
    EXPECT_EQ(std::string(static_cast<const char*>(actual->data), actual->size), Bytes(&bound.header));
    actual.reset();
    RawEndpointCloseSync(raw.get());
    MessageRecorder io;
    RawEndpointReceiveFrom(raw.get(), actual.get(), &io.closure);
    RawEndpointSendTo(raw.get(), actual.get(), &fake, &io.closure);
    EXPECT_EQ(io.messages.size(), 2u);
    EXPECT_EQ(g_fake.calls.back(), "send-to");
}

TEST_F(SocketApi, CompletionCounterCompletesOnceAtZeroWithTheFirstFailure)
{
    MessageRecorder done;
    CompletionCounter counter;
    CompletionCounterInit(&counter, 3, &done.closure);
    ClosureOwner each;
    CompletionCounterBind(&counter, nullptr, each.put());
    EXPECT_TRUE(StatusAccepted(CompleteWithStatus(each.get(), kStatusSuccess, nullptr, 0)));
    EXPECT_TRUE(StatusAccepted(CompleteWithStatus(each.get(), 0xC0000236, nullptr, 0)));
    EXPECT_TRUE(done.messages.empty());
    EXPECT_TRUE(StatusAccepted(CompleteWithStatus(each.get(), 0xC000020D, nullptr, 0)));
    ASSERT_EQ(done.messages.size(), 1u);
    EXPECT_EQ(U32At(done.Last(), 0), 0xC0000236u);
    EXPECT_TRUE(StatusAccepted(CompleteWithStatus(each.get(), kStatusSuccess, nullptr, 0)));
    EXPECT_EQ(done.messages.size(), 1u) << "a surplus completion reports nothing";
    each.reset();
    CompletionCounterRelease(&counter);
}

}  // namespace
