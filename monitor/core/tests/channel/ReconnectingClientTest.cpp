#include "channel/ReconnectingClient.h"
#include "exec/ClosureOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "support/CoreTestFixture.h"
#include "support/FakeTransport.h"
#include "net/SocketApi.h"
#include "support/MessageRecorder.h"
#include "support/MessageWaiter.h"
#include "support/StageTestSupport.h"
#include <memory>

namespace {

// Short cadence so that retries happen within a test; long values switch a clock off in practice.
constexpr uint32_t kTick = 20;
constexpr uint32_t kRetry = 200;
constexpr uint32_t kNever = 600000;
constexpr NtStatus kConnectFailure = 0xC0000034;  // no such endpoint
constexpr NtStatus kAddressInUse = 0xC000020A;
constexpr uint32_t kFakeRecordSize = 12;  // what event 2 carries first

// The log's notes of client events: every event of a code, or those whose
// first word (a status, a reason, a record size) begins with `word`'s digits.
const std::string kAnyEvent = "event";
std::string Event(ClientEventCode code) { return kAnyEvent + " " + std::to_string(code); }
std::string Event(ClientEventCode code, uint32_t word) { return Event(code) + " " + std::to_string(word); }

// The client's clocks for one test: a short tick, no reconnect, no idle
// time-out, no flush delay, no re-listen delay, unless the test names one.
class Clocks {
public:
    Clocks()
    {
        settings_.tickPeriod = kTick;
        settings_.reconnectDelay = kNever;
        settings_.idleTimeout = 0;
        settings_.flushDelay = 0;
        settings_.relistenDelay = 0;
    }
    Clocks& Tick(uint32_t ms) { return Set(&ClientSettings::tickPeriod, ms); }
    Clocks& Reconnect(uint32_t ms) { return Set(&ClientSettings::reconnectDelay, ms); }
    Clocks& Idle(uint32_t ms) { return Set(&ClientSettings::idleTimeout, ms); }
    Clocks& Flush(uint32_t ms) { return Set(&ClientSettings::flushDelay, ms); }
    Clocks& Relisten(uint32_t ms) { return Set(&ClientSettings::relistenDelay, ms); }
    const ClientSettings& settings() const { return settings_; }

private:
    Clocks& Set(uint32_t ClientSettings::*field, uint32_t ms)
    {
        settings_.*field = ms;
        return *this;
    }

    ClientSettings settings_ = kClientDefaultSettings;
};

// No clock runs within a test: nothing is retried or timed out by itself.
Clocks Stopped() { return Clocks().Tick(kNever); }

class Client : public CoreTest {
protected:
    std::unique_ptr<FakeNet> net;
    RefOwner<ReconnectingClient> client;
    const FakeAddress server{1};

    void SetUp() override
    {
        CoreTest::SetUp();
        net.reset(new FakeNet);
        void* object = nullptr;
        ASSERT_EQ(ObjCreateFromDescriptor(&object, kReconnectingClientType), kStatusSuccess);
        client.reset(static_cast<ReconnectingClient*>(object));
        ClosureOwner logger = ClosureOwner::Adopt(net->EventLogger());
        EventHubSubscribeAll(&client->hub, logger.get());
    }
    void TearDown() override
    {
        // A tick or a completion running on the client's strand holds the
        // client until it is done, and may still publish to the logger, which
        // points at net: net stays until the client is destroyed.
        ControlBlock* cb = client ? client->stage.cb : nullptr;
        if (cb)
            ObjWeakAddRef(cb);
        client.reset();
        if (cb) {
            EXPECT_TRUE(WaitDestroyed(cb)) << "the client outlived its owner";
            ObjWeakRelease(cb);
        }
        net->CancelConnects();
        EXPECT_TRUE(net->WaitUntil([&] { return net->alive == 0; }));
        EXPECT_LE(net->maxReads, 1);
        net.reset();
        CoreTest::TearDown();
    }
    void Settings(const Clocks& clocks)
    {
        ASSERT_TRUE(StatusAccepted(ClientSetParameters(client.get(), &clocks.settings())));
    }
    void KeepConnected()
    {
        ASSERT_TRUE(StatusAccepted(ClientSetFlags(client.get(), kClientKeepConnected)));
        ASSERT_TRUE(StatusAccepted(ClientConnect(client.get(), server.record(), nullptr)));
    }
    // Connected with a read in flight.
    void Connect()
    {
        KeepConnected();
        ASSERT_TRUE(net->WaitCount("connect", 1));
        net->CompleteConnect(kStatusSuccess);
        ASSERT_TRUE(net->WaitRead());
    }
    ClientState State()
    {
        StrandAcquire(&client->stage.strand);
        ClientState s = client->state;
        StrandDrain(&client->stage.strand);
        return s;
    }
    static std::string Record(uint32_t size, uint32_t type, uint32_t id = 0)
    {
        std::string r(size, '\0');
        std::memcpy(&r[0], &size, 4);
        std::memcpy(&r[4], &type, 4);
        if (size >= 12)
            std::memcpy(&r[8], &id, 4);
        return r;
    }
    static std::string Word(uint32_t w) { return std::string(reinterpret_cast<const char*>(&w), 4); }

    // A next stage whose consumer refuses the first offer, so the first chunk stays held.
    StreamStage* HoldingNextStage(Sink& sink)
    {
        sink.script = {0};
        Closure consumer = ConsumerFor(sink);
        StreamStage* next = nullptr;
        EXPECT_EQ(StageCreate(&next, &consumer), kStatusSuccess);
        EXPECT_TRUE(StatusAccepted(StageSetNext(&client->stage, next)));
        return next;
    }
    void DropNextStage(StreamStage* next)
    {
        RefOwner<ControlBlock> created = RefOwner<ControlBlock>::Adopt(next->cb);
        EXPECT_TRUE(StatusAccepted(StageClearNext(&client->stage)));
    }
};

// A failed attempt is published with both records (remote, then the default
// local record) and retried only after the reconnect delay, on the tick.
TEST_F(Client, FailedConnectIsPublishedAndRetriedAfterTheDelay)
{
    Settings(Clocks().Reconnect(kRetry));
    KeepConnected();
    ASSERT_TRUE(net->WaitCount("connect", 1));
    DWORD failedAt = GetTickCount();
    net->CompleteConnect(kConnectFailure);
    ASSERT_TRUE(net->WaitCount("connect", 2));
    DWORD retriedAt = GetTickCount();
    EXPECT_GE(retriedAt - failedAt + 16, kRetry);  // 16: the resolution of the tick count

    const std::string expected = Word(kConnectFailure) + Record(12, kFakeStream, 1) + Record(8, kFakeStream);
    ASSERT_FALSE(net->EventPayloads().empty());
    EXPECT_EQ(net->EventPayloads()[0], expected);
    net->CompleteConnect(kConnectFailure);
    ASSERT_TRUE(net->WaitCount("connect", 3));
    EXPECT_EQ(net->Count(Event(ClientEventConnect, kConnectFailure)), 2);
}

// A connection that ends is published with its reason and both records, and
// with keep-connected a new attempt follows at once (no tick involved).
TEST_F(Client, ConnectionEndsArePublishedWithTheirReasonAndReconnectAtOnce)
{
    struct Case {
        const char* name;
        NtStatus status;
        uint32_t reason;
    } cases[] = {
        {"peer ended", kStatusSuccess, kDisconnectPeerEnded},
        {"read failed", 0xC000020D, kDisconnectReadFailed},
    };
    Settings(Stopped());
    Connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int connects = net->Count("connect");
        net->Deliver("", c.status);
        ASSERT_TRUE(net->WaitCount("connect", connects + 1));
        std::string end = net->EventPayloads().back();
        EXPECT_EQ(end, Word(c.reason) + Record(12, kFakeStream, 1) + Record(8, kFakeStream));
        net->CompleteConnect(kStatusSuccess);
        ASSERT_TRUE(net->WaitRead());
    }
    EXPECT_EQ(net->Count("disconnect"), 0);
}

// The idle timeout ends the connection with reason 18 and makes no close call.
TEST_F(Client, IdleTimeoutDropsTheConnectionWithoutClosing)
{
    Settings(Clocks().Idle(100));
    Connect();
    ASSERT_TRUE(net->WaitCount(Event(ClientEventDisconnect, kDisconnectIdle), 1));
    EXPECT_EQ(net->Count("disconnect"), 0);
    EXPECT_TRUE(net->WaitCount("connect", 2));
}

// The same pair of records again changes nothing; a new remote supersedes an
// attempt in flight, whose late completion publishes nothing.
TEST_F(Client, AddressChangesAndSupersededAttempts)
{
    Settings(Stopped());
    KeepConnected();
    ASSERT_TRUE(StatusAccepted(ClientConnect(client.get(), server.record(), nullptr)));
    ASSERT_TRUE(net->WaitCount("connect", 1));
    EXPECT_EQ(State().connection, kConnecting);

    const FakeAddress other(2);
    ASSERT_TRUE(StatusAccepted(ClientConnect(client.get(), other.record(), nullptr)));
    ASSERT_TRUE(net->WaitCount("connect", 2));
    net->CompleteConnect(kStatusSuccess);  // the first, superseded attempt
    EXPECT_EQ(net->Count(kAnyEvent), 0);
    EXPECT_EQ(State().connection, kConnecting);
    net->CompleteConnect(kStatusSuccess);
    ASSERT_TRUE(net->WaitCount(Event(ClientEventConnect, kStatusSuccess), 1));
    EXPECT_EQ(net->EventPayloads().back(), Word(0) + Record(12, kFakeStream, 2) + Record(8, kFakeStream));
    EXPECT_EQ(net->Count("connect"), 2);
}

// Bytes written while disconnected start an attempt and leave in order once
// it succeeds; with flush delay 0 a failed attempt drops them.
TEST_F(Client, DataWrittenWhileDisconnectedWaitsForTheConnection)
{
    Settings(Stopped());
    ASSERT_TRUE(StatusAccepted(ClientConnect(client.get(), server.record(), nullptr)));  // flags 0: no attempt
    EXPECT_TRUE(StatusAccepted(StageWrite(&client->stage, nullptr)));
    EXPECT_EQ(net->Count("connect"), 0);

    HandleOwner a = HandleOwner::Adopt(Chunk("first ")), b = HandleOwner::Adopt(Chunk("second"));
    EXPECT_TRUE(StatusAccepted(StageWrite(&client->stage, a.get())));
    EXPECT_TRUE(StatusAccepted(StageWrite(&client->stage, b.get())));
    ASSERT_TRUE(net->WaitCount("connect", 1));
    net->CompleteConnect(kStatusSuccess);
    ASSERT_TRUE(net->WaitUntil([&] { return net->sent == "first second"; }));
    EXPECT_EQ(net->Count(Event(ClientEventData)), 2);

    EXPECT_TRUE(StatusAccepted(ClientDisconnect(client.get(), 0)));
    ASSERT_TRUE(net->WaitCount(Event(ClientEventDisconnect, kDisconnectClosed), 1));
    EXPECT_TRUE(StatusAccepted(StageWrite(&client->stage, a.get())));
    ASSERT_TRUE(net->WaitCount("connect", 2));
    net->CompleteConnect(kConnectFailure);
    EXPECT_TRUE(StageFlushWait(&client->stage, 20000));  // dropped, not waiting
    EXPECT_EQ(net->sent, "first second");
}

// The client reads again only after the next stage has consumed the chunk it handed on.
TEST_F(Client, ReadsAgainOnlyAfterTheChunkIsConsumed)
{
    Settings(Stopped());
    Sink sink;
    StreamStage* next = HoldingNextStage(sink);  // the first offer is refused: the chunk stays queued
    ASSERT_NE(next, nullptr);
    Connect();
    net->Deliver("hello");
    ASSERT_TRUE(sink.wasOffered.Wait());
    EXPECT_EQ(State().receive, kDataHandedOn);
    EXPECT_EQ(net->Count("read"), 1);
    EXPECT_TRUE(StatusAccepted(StageResume(next)));
    ASSERT_TRUE(net->WaitCount("read", 2));
    EXPECT_EQ(sink.taken, "hello");
    DropNextStage(next);
}

// A reset forgets the connection without closing or publishing, and leaves
// the client able to connect again; the old read's late completion is ignored.
TEST_F(Client, ResetLeavesNoConnectionBehind)
{
    Settings(Stopped());
    Connect();
    ASSERT_TRUE(StatusAccepted(ClientReset(client.get())));
    ASSERT_TRUE(net->WaitCount("connect", 2));  // keep-connected: a fresh attempt
    EXPECT_EQ(net->Count("disconnect"), 0);
    EXPECT_EQ(net->Count(Event(ClientEventDisconnect)), 0);
    EXPECT_EQ(State().connection, kConnecting);
    EXPECT_EQ(WaitForSingleObject(client->idleEvent, 0), WAIT_OBJECT_0);
    net->CompleteConnect(kStatusSuccess);
    ASSERT_TRUE(net->WaitRead());
    EXPECT_EQ(State().connection, kConnected);
    EXPECT_EQ(State().receive, kReadPosted);
}

// The reset connection's read may still complete, and fill the receive area,
// after the reset: no read of the next connection goes into the area before
// it is back, so a chunk handed on keeps the new connection's bytes.
TEST_F(Client, ResetKeepsTheReceiveAreaUntilTheDroppedReadIsBack)
{
    Settings(Stopped());
    net->lateDroppedReads = true;
    Sink sink;
    StreamStage* next = HoldingNextStage(sink);  // the first chunk is held in the next stage
    ASSERT_NE(next, nullptr);
    Connect();
    ASSERT_TRUE(StatusAccepted(ClientReset(client.get())));
    ASSERT_TRUE(net->WaitCount("connect", 2));
    net->CompleteConnect(kStatusSuccess);
    ASSERT_TRUE(net->WaitCount(Event(ClientEventConnect, kStatusSuccess), 2));
    EXPECT_EQ(State().connection, kConnected);
    EXPECT_EQ(net->ReadsInFlight(), 1) << "a read went into the receive area while the dropped one was out";

    net->CompleteDroppedRead("OLD!");  // stale: its bytes are nobody's
    ASSERT_TRUE(net->WaitRead());
    net->Deliver("new!");
    ASSERT_TRUE(sink.wasOffered.Wait());
    EXPECT_TRUE(StatusAccepted(StageResume(next)));
    ASSERT_TRUE(net->WaitCount("read", 3));
    EXPECT_EQ(sink.taken, "new!");
    DropNextStage(next);
}

// A graceful close goes through the socket and the idle event waits for it.
TEST_F(Client, CloseRequestsAndTheIdleEvent)
{
    Settings(Stopped());
    Connect();
    EXPECT_EQ(WaitForSingleObject(client->idleEvent, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(StatusAccepted(ClientConnect(client.get(), nullptr, nullptr)));  // close and forget
    ASSERT_TRUE(net->WaitCount(Event(ClientEventDisconnect, kDisconnectClosed), 1));
    EXPECT_EQ(net->Count("disconnect"), 1);
    EXPECT_EQ(WaitForSingleObject(client->idleEvent, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(net->Count("connect"), 1);  // no address: no reconnect
}

// A read that overran its buffer (0xC0000206) still brought the bytes that fit: data, not an end.
TEST_F(Client, AReadLongerThanTheBufferCountsAsData)
{
    Settings(Stopped());
    Sink sink;
    StreamStage* next = HoldingNextStage(sink);
    sink.script.clear();
    Connect();
    net->Deliver("more than fits", 0xC0000206);
    ASSERT_TRUE(net->WaitCount("read", 2));
    EXPECT_EQ(sink.taken, "more than fits");
    EXPECT_EQ(net->Count(Event(ClientEventDisconnect)), 0);
    EXPECT_EQ(State().connection, kConnected);
    DropNextStage(next);
}

// Closing without a graceful close, on request or by the flag, gives reason
// 16 and makes no close call; keep-connected then connects again.
TEST_F(Client, AbortiveClosesGiveReason16AndCloseNothing)
{
    const struct {
        const char* name;
        uint32_t flags;
        uint32_t abort;
    } cases[] = {
        {"abort requested", kClientKeepConnected, 1},
        {"never gracefully", kClientKeepConnected | kClientNeverCloseGracefully, 0},
    };
    Settings(Stopped());
    Connect();
    int closes = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(StatusAccepted(ClientSetFlags(client.get(), c.flags)));
        int connects = net->Count("connect");
        ASSERT_TRUE(StatusAccepted(ClientDisconnect(client.get(), c.abort)));
        ASSERT_TRUE(net->WaitCount(Event(ClientEventDisconnect, kDisconnectAborted), ++closes));
        EXPECT_EQ(net->EventPayloads().back(), Word(16) + Record(12, kFakeStream, 1) + Record(8, kFakeStream));
        EXPECT_EQ(net->Count("disconnect"), 0);
        ASSERT_TRUE(net->WaitCount("connect", connects + 1));
        net->CompleteConnect(kStatusSuccess);
        ASSERT_TRUE(net->WaitRead());
    }
}

// With a flush delay, data that cannot be sent waits that long, then event 6
// drops it: after a failed attempt, or when there is nowhere to send it.
TEST_F(Client, FlushDelayKeepsUnsendableDataThenDropsItWithEvent6)
{
    Settings(Clocks().Flush(400));
    HandleOwner data = HandleOwner::Adopt(Chunk("pending"));
    ASSERT_TRUE(StatusAccepted(ClientConnect(client.get(), server.record(), nullptr)));  // flags 0: no attempt yet
    EXPECT_TRUE(StatusAccepted(StageWrite(&client->stage, data.get())));
    ASSERT_TRUE(net->WaitCount("connect", 1));
    net->CompleteConnect(kConnectFailure);
    ASSERT_TRUE(net->WaitCount(Event(ClientEventConnect), 1));
    EXPECT_EQ(StageFlushWait(&client->stage, 0), 0) << "dropped at once although a flush delay is set";
    ASSERT_TRUE(net->WaitCount(Event(ClientEventFlushTimeout), 1));
    EXPECT_EQ(StageFlushWait(&client->stage, 20000), 1);

    ASSERT_TRUE(StatusAccepted(ClientConnect(client.get(), nullptr, nullptr)));  // no address at all
    EXPECT_TRUE(StatusAccepted(StageWrite(&client->stage, data.get())));
    EXPECT_EQ(StageFlushWait(&client->stage, 0), 0);
    ASSERT_TRUE(net->WaitCount(Event(ClientEventFlushTimeout), 2));
    EXPECT_EQ(StageFlushWait(&client->stage, 20000), 1);
    EXPECT_EQ(net->sent, "");
    EXPECT_EQ(net->Count("connect"), 1);
}

// Listening: each accepted connection becomes the connection (event 4) and
// is read; after its loss the client goes on listening. A newcomer replaces
// the current connection with a graceful close, unless bit 2 keeps it.
TEST_F(Client, ListeningAcceptsConnectionsAndListensOnAfterALoss)
{
    Settings(Stopped());
    const FakeAddress here(7);
    ASSERT_TRUE(StatusAccepted(ClientListen(client.get(), here.record())));
    ASSERT_TRUE(net->WaitCount(Event(ClientEventListen, kStatusSuccess), 1));
    EXPECT_EQ(net->Count("listen 2"), 1) << "backlog 2";
    EXPECT_EQ(State().listen, kListenActive);

    net->Accept(8);
    ASSERT_TRUE(net->WaitCount(Event(ClientEventAccept), 1));
    ASSERT_TRUE(net->WaitRead());
    EXPECT_EQ(State().connection, kConnected);
    EXPECT_EQ(WaitForSingleObject(client->idleEvent, 0), WAIT_TIMEOUT);
    net->Deliver("");  // the peer ends
    ASSERT_TRUE(net->WaitCount(Event(ClientEventDisconnect, kDisconnectPeerEnded), 1));
    EXPECT_EQ(net->EventPayloads().back(), Word(1) + Record(12, kFakeStream, 8) + Record(12, kFakeStream, 7))
        << "remote: the peer; local: the listener's record";

    net->Accept(9);
    ASSERT_TRUE(net->WaitCount(Event(ClientEventAccept), 2));
    ASSERT_TRUE(net->WaitRead());
    net->Accept(10);
    ASSERT_TRUE(net->WaitCount(Event(ClientEventAccept), 3));
    EXPECT_EQ(net->Count(Event(ClientEventDisconnect, kDisconnectClosed)), 1);
    EXPECT_EQ(net->Count("disconnect"), 1);
    ASSERT_TRUE(StatusAccepted(ClientSetFlags(client.get(), kClientKeepOnAccept)));
    net->Accept(11);
    EXPECT_EQ(State().connection, kConnected);
    EXPECT_EQ(net->Count(Event(ClientEventAccept)), 3) << "bit 2 keeps the current connection";
    EXPECT_EQ(net->Count(Event(ClientEventDisconnect)), 2);
    EXPECT_EQ(net->Count("connect"), 0);
}

// A failed listen is retried after the re-listen delay; a new address closes
// the old listener (event 2) and listens there; stopping forgets the address.
TEST_F(Client, ListenRetriesMovesAndStops)
{
    Settings(Clocks().Relisten(kRetry));
    net->SetListenStatus(kAddressInUse);
    const FakeAddress here(7), there(8);
    ASSERT_TRUE(StatusAccepted(ClientListen(client.get(), here.record())));
    ASSERT_TRUE(net->WaitCount(Event(ClientEventListen, kAddressInUse), 1));
    EXPECT_EQ(State().listen, kListenNone);
    net->SetListenStatus(kStatusSuccess);
    ASSERT_TRUE(net->WaitCount(Event(ClientEventListen, kStatusSuccess), 1));

    ASSERT_TRUE(StatusAccepted(ClientListen(client.get(), here.record())));  // the same: nothing
    ASSERT_TRUE(StatusAccepted(ClientListen(client.get(), there.record())));
    ASSERT_TRUE(net->WaitCount(Event(ClientEventListen, kStatusSuccess), 2));
    EXPECT_EQ(net->Count(Event(ClientEventListenClosed, kFakeRecordSize)), 1);
    EXPECT_EQ(net->Count("listen"), 3);

    ASSERT_TRUE(StatusAccepted(ClientStopListen(client.get())));
    ASSERT_TRUE(net->WaitCount(Event(ClientEventListenClosed, kFakeRecordSize), 2));
    EXPECT_EQ(State().listen, kListenActive) << "stopping does not change the listen state";
    EXPECT_EQ(client->listenAddress, nullptr);
}

// An adopted endpoint replaces the connection (reason 16, no close call,
// nothing published for the newcomer) and is read only once the receive
// switch turns receiving on.
TEST_F(Client, AdoptedSocketIsReadOnlyOnceTheReceiveSwitchIsOn)
{
    Settings(Stopped());
    Connect();
    MessageWaiter made(4);
    const FakeAddress other(5);
    SockConnect(other.record(), nullptr, 0, &made.closure);
    ASSERT_TRUE(net->WaitCount("connect", 2));
    net->CompleteConnect(kStatusSuccess);
    ASSERT_TRUE(made.WaitFor(1));
    const int eventsBefore = net->Count(kAnyEvent);

    ASSERT_TRUE(StatusAccepted(ClientAdoptSocket(client.get(), made.Object(0))));
    ASSERT_TRUE(net->WaitCount(Event(ClientEventDisconnect, kDisconnectAborted), 1));
    EXPECT_EQ(net->Count("disconnect"), 0);
    ClientState s = State();
    EXPECT_EQ(s.connection, kConnected);
    EXPECT_EQ(s.receiveEnabled, 0);
    EXPECT_EQ(net->Count(kAnyEvent), eventsBefore + 1);
    EXPECT_EQ(net->Count("read"), 1) << "read before the switch";

    BufferHandle on = {nullptr, nullptr, 0, 1}, off = {};
    StageOnFlow(&client->stage, &on);
    ASSERT_TRUE(net->WaitCount("read", 2));
    EXPECT_EQ(State().receiveEnabled, 1);
    StageOnFlow(&client->stage, &off);
    EXPECT_EQ(State().receiveEnabled, 0);
    net->Deliver("adopted");  // the bytes go on; no read follows while the switch is off
    EXPECT_EQ(State().receive, kReceiveIdle);
    EXPECT_EQ(net->Count("read"), 2);
    made.DropObjects();
}

// Neither the tick nor a socket completion keeps the client alive: releasing
// it while connected with a read in flight destroys it and its endpoint.
TEST_F(Client, ReleasingTheClientEndsItsConnection)
{
    Settings(Clocks().Reconnect(kRetry));
    Connect();
    client.reset();
    EXPECT_TRUE(net->WaitUntil([&] { return net->alive == 0; }));
    EXPECT_EQ(ObjWaitAllFreed(5000), 1);
}

TEST(ClientClock, ElapsedSurvivesTheCounterWrap)
{
    EXPECT_EQ(ClientClockElapsed(0xFFFFFFF1u, 0x00000010u), 32u);
    EXPECT_EQ(ClientClockElapsed(1001u | 1, 4001u), 3000u);
}

}  // namespace
