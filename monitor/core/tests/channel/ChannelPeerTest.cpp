// The channel over the real named-pipe transport against the log-service
// peer, which shares no code with the core: what the monitor object receives
// and what the peer sees must match byte for byte, across peer losses.
#include "channel/ChannelClient.h"
#include "Records.h"
#include "exec/ClosureOwner.h"
#include "frontend/MonitorGlue.h"
#include "runtime/BlockOwner.h"
#include "runtime/FixedWaits.h"
#include "runtime/Framework.h"
#include "runtime/RefOwner.h"
#include "support/CoreTestFixture.h"
#include "support/PipeLogPeer.h"
#include "support/PipeTestSupport.h"
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr DWORD kWait = 30000;
// Generous bounds, far above the 3000 ms reconnect cadence and far below the 15 s shut-down wait.
constexpr auto kReconnectBound = std::chrono::seconds(10);
constexpr auto kShutDownBound = std::chrono::seconds(10);
constexpr char kChannelName[] = "peer_channel";
constexpr char kDevice[] = "COM4";

using Clock = std::chrono::steady_clock;

std::string Text(const logpeer::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
std::string Word(uint32_t w) { return std::string(reinterpret_cast<const char*>(&w), 4); }

uint32_t WordAt(const std::string& bytes, size_t offset)
{
    uint32_t w = 0;
    if (bytes.size() >= offset + 4)
        std::memcpy(&w, bytes.data() + offset, 4);
    return w;
}

// What the monitor object received, from whichever thread drains its strand.
struct Inbox {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<std::string> records;

    void Add(std::string record)
    {
        std::lock_guard<std::mutex> hold(lock);
        records.push_back(std::move(record));
        arrived.notify_all();
    }
    // The n-th record (from 1) of `code`, or "" when it does not come in time.
    std::string WaitNth(uint32_t code, size_t n)
    {
        std::unique_lock<std::mutex> hold(lock);
        std::string found;
        arrived.wait_for(hold, std::chrono::milliseconds(kWait), [&] {
            size_t seen = 0;
            for (const std::string& r : records)
                if (WordAt(r, 0) == code && ++seen == n) {
                    found = r;
                    return true;
                }
            return false;
        });
        return found;
    }
    std::vector<std::string> Snapshot()
    {
        std::lock_guard<std::mutex> hold(lock);
        return records;
    }
};

// A monitor object as the front ends build theirs: an embedded channel, and a
// strand of its own on which its records arrive.
struct PeerMonitor {
    ControlBlock* cb;
    MonitorLink<Strand> link;
    Inbox* inbox;

    PeerMonitor(ControlBlock* own, Inbox* in) : cb(own), link(own, kStrandType), inbox(in) {}
    void OnRecord(BufferHandle* message) { inbox->Add(std::string(static_cast<const char*>(message->data), message->size)); }
};

class ChannelPeer : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        peer_ = StartPipeLogPeer();
        remote_.reset(Record(peer_->pipePath()));

        monitor_ = MonitorRef::Adopt(CreateMonitorObject<PeerMonitor>(&inbox_));
        ASSERT_TRUE(monitor_);
        ASSERT_TRUE(monitor_->link.built());
        ClosureOwner receiver;
        BindMember<PeerMonitor, &PeerMonitor::OnRecord>(receiver.put(), monitor_.get(),
                                                        &monitor_->link.executor().exec);
        ASSERT_EQ(ChannelOpen(&monitor_->link.channel(), kChannelName, kDevice, 1, remote_.get(), receiver.get()),
                  kStatusSuccess);
    }

    void TearDown() override
    {
        monitor_.reset();
        remote_.reset();
        CoreTest::TearDown();
        peer_.reset();
    }

    // The next connection, once its opening request has come; checks its bytes.
    std::shared_ptr<logpeer::Connection> Opened()
    {
        auto connection = peer_->WaitConnection(kWait);
        EXPECT_TRUE(connection) << "the channel did not connect";
        if (!connection)
            return nullptr;
        EXPECT_TRUE(connection->WaitOpeningRequest(kWait));
        EXPECT_EQ(Text(connection->received()), Text(logpeer::BuildFrame(logpeer::BuildOpeningRequest(1, kDevice))));
        return connection;
    }

    // A record the channel makes itself: code, a zero second word, the channel name.
    static std::string Own(uint32_t code) { return Word(code) + Word(0) + std::string(kChannelName, sizeof kChannelName); }
    static size_t OwnPayloadOffset() { return 8 + sizeof kChannelName; }

    using MonitorRef = RefOwner<PeerMonitor>;

    std::unique_ptr<logpeer::LogPeer> peer_;
    BlockOwner<AddressRecord> remote_;
    MonitorRef monitor_;
    Inbox inbox_;
};

TEST_F(ChannelPeer, OpensWithItsRequestAndDeliversThePeersRecords)
{
    auto connection = Opened();
    ASSERT_TRUE(connection);
    ASSERT_TRUE(connection->openingRequest());
    EXPECT_EQ(connection->openingRequest()->dumpFlag, 1u);
    EXPECT_EQ(connection->openingRequest()->filter, kDevice);

    const std::string connected = inbox_.WaitNth(MonitorCodeLogServiceConnect, 1);
    EXPECT_EQ(connected.substr(0, OwnPayloadOffset()), Own(MonitorCodeLogServiceConnect));
    EXPECT_EQ(WordAt(connected, OwnPayloadOffset()), kStatusSuccess);
    EXPECT_EQ(connected.substr(OwnPayloadOffset() + 4, remote_->size), RecordBytes(remote_.get()));

    struct Sent {
        uint32_t code;
        logpeer::Bytes payload;
    };
    const Sent records[] = {
        {1, {}},
        {3, logpeer::StatusPayload(0xC0000236, logpeer::TcpAddressRecord(logpeer::Ipv4(127, 0, 0, 1), 1001))},
        {MonitorCodeRxData, logpeer::Bytes(3000, 0x5A)},  // more than the channel's 256-byte reads
        {2, {}},
    };
    for (const Sent& r : records)
        ASSERT_TRUE(connection->SendRecord(r.code, kDevice, r.payload));
    for (const Sent& r : records) {
        SCOPED_TRACE(r.code);
        EXPECT_EQ(inbox_.WaitNth(r.code, 1), Text(logpeer::MonitorRecord(r.code, kDevice, r.payload)));
    }
}

// The peer goes away and comes back: record 8 for the loss, record 6 with a
// failure while it is away, then a reconnect on the cadence with the request again.
TEST_F(ChannelPeer, ReconnectsAfterThePeerComesBackAndOpensAgain)
{
    auto first = Opened();
    ASSERT_TRUE(first);
    ASSERT_NE(inbox_.WaitNth(MonitorCodeLogServiceConnect, 1), "");
    peer_->StopListening();
    first->Abort();

    const std::string closed = inbox_.WaitNth(MonitorCodeLogServiceClose, 1);
    EXPECT_EQ(closed.substr(0, OwnPayloadOffset()), Own(MonitorCodeLogServiceClose));
    EXPECT_EQ(WordAt(closed, OwnPayloadOffset()) & kDisconnectPeerEnded, kDisconnectPeerEnded)
        << "the end came from the other side";
    EXPECT_EQ(closed.substr(OwnPayloadOffset() + 4, remote_->size), RecordBytes(remote_.get()));

    const std::string refused = inbox_.WaitNth(MonitorCodeLogServiceConnect, 2);
    EXPECT_EQ(refused.substr(0, OwnPayloadOffset()), Own(MonitorCodeLogServiceConnect));
    EXPECT_EQ(WordAt(refused, OwnPayloadOffset()), uint32_t(ERROR_FILE_NOT_FOUND));

    peer_->StartListening();
    const auto back = Clock::now();
    auto second = Opened();
    ASSERT_TRUE(second);
    EXPECT_LT(Clock::now() - back, kReconnectBound);
    const std::string reconnected = inbox_.WaitNth(MonitorCodeLogServiceConnect, 3);
    EXPECT_EQ(WordAt(reconnected, OwnPayloadOffset()), kStatusSuccess);
    ASSERT_TRUE(second->SendRecord(4, kDevice, {}));
    EXPECT_EQ(inbox_.WaitNth(4, 1), Text(logpeer::MonitorRecord(4, kDevice, {})));
}

// The peer dies in the middle of a frame: the cut-off frame is dropped and
// the next connection's first record arrives intact.
TEST_F(ChannelPeer, AFrameCutOffByThePeersEndIsDropped)
{
    auto first = Opened();
    ASSERT_TRUE(first);
    const std::string cut = Text(logpeer::BuildFrame(logpeer::MonitorRecord(2, kDevice, logpeer::Bytes(40, 0x33))));
    ASSERT_TRUE(first->SendRaw(logpeer::Bytes(cut.begin(), cut.begin() + 20)));
    first->Close();  // after the partial frame has been written
    ASSERT_TRUE(first->WaitClosed(kWait));
    ASSERT_EQ(first->bytesWritten(), 20u);

    auto second = Opened();
    ASSERT_TRUE(second);
    const logpeer::Bytes payload = logpeer::ClosedPayload(1, logpeer::TcpAddressRecord(logpeer::Ipv4(127, 0, 0, 1), 80));
    ASSERT_TRUE(second->SendRecord(5, kDevice, payload));
    EXPECT_EQ(inbox_.WaitNth(5, 1), Text(logpeer::MonitorRecord(5, kDevice, payload)));
    for (const std::string& r : inbox_.Snapshot())
        EXPECT_NE(WordAt(r, 0), 2u) << "a record was made from the cut-off frame";
}

// Releasing the monitor object while connected destroys the whole road at
// once: the core's shut-down, with its production wait, has nothing to wait for.
TEST_F(ChannelPeer, ReleasingTheMonitorLetsTheShutDownFinishAtOnce)
{
    auto connection = Opened();
    ASSERT_TRUE(connection);
    ASSERT_NE(inbox_.WaitNth(MonitorCodeLogServiceConnect, 1), "");
    monitor_.reset();

    remote_.reset();  // the shut-down waits for every block too
    CoreFixedWaits().shutdownMs = FixedWaits().shutdownMs;
    const auto start = Clock::now();
    FrameworkShutdown();
    const auto took = Clock::now() - start;
    EXPECT_LT(took, kShutDownBound) << "the shut-down waited for what the monitor left behind";
    EXPECT_EQ(LiveObjectCount(), 0u);
    EXPECT_TRUE(connection->WaitClosed(kWait)) << "the pipe stayed open";
    FrameworkStartup();  // the fixture shuts down once more
}

}  // namespace
