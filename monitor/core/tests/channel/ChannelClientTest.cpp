#include "channel/ChannelClient.h"
#include "exec/ClosureOwner.h"
#include "frontend/MonitorGlue.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "support/CoreTestFixture.h"
#include "support/FakeTransport.h"
#include <memory>
#include <new>

namespace {

std::string Word(uint32_t w) { return std::string(reinterpret_cast<const char*>(&w), 4); }

std::string Frame(const std::string& payload)
{
    uint8_t header[kFrameHeaderSize];
    FrameHeaderWrite(header, static_cast<uint16_t>(payload.size()));
    return std::string(reinterpret_cast<const char*>(header), kFrameHeaderSize) + payload;
}

// What the monitor object saw; outlives the object.
struct Seen {
    std::vector<std::string> records;
    bool allOnStrand = true;
};

// A front-end monitor object as the front ends build theirs: an embedded
// channel and an embedded strand of its own on which its records arrive.
struct TestMonitor {
    ControlBlock* cb;
    MonitorLink<Strand> link;
    Seen* seen;
    FakeNet* net;

    TestMonitor(ControlBlock* own, Seen* s, FakeNet* n) : cb(own), link(own, kStrandType), seen(s), net(n) {}
    void OnRecord(BufferHandle* message)
    {
        seen->allOnStrand = seen->allOnStrand && link.executor().busy != 0;
        seen->records.emplace_back(static_cast<const char*>(message->data), message->size);
        net->Note("record " + std::to_string(U32(message)));
    }
    static uint32_t U32(BufferHandle* m)
    {
        uint32_t v;
        std::memcpy(&v, m->data, 4);
        return v;
    }
};

class Channel : public CoreTest {
protected:
    std::unique_ptr<FakeNet> net;
    RefOwner<TestMonitor> monitor;
    Seen seen;
    const FakeAddress server{1};

    void SetUp() override
    {
        CoreTest::SetUp();
        net.reset(new FakeNet);
        Create();
    }
    void Create()
    {
        monitor = RefOwner<TestMonitor>::Adopt(CreateMonitorObject<TestMonitor>(&seen, net.get()));
        ASSERT_TRUE(monitor);
        ASSERT_TRUE(monitor->link.built());
        ClientSettings s = kClientDefaultSettings;
        s.tickPeriod = s.reconnectDelay = 600000;
        EXPECT_TRUE(StatusAccepted(ClientSetParameters(&Client(), &s)));
        ClosureOwner events = ClosureOwner::Adopt(net->EventLogger());
        EventHubSubscribeAll(&Client().hub, events.get());
    }
    ReconnectingClient& Client() { return monitor->link.channel().client; }
    void TearDown() override
    {
        ReleaseAndWaitDestroyed();
        net->CancelConnects();
        EXPECT_TRUE(net->WaitUntil([&] { return net->alive == 0; }));
        net.reset();
        CoreTest::TearDown();
    }
    // A step on the client's strand holds the client until it is done and may
    // still publish to net's logger, and a record in flight may still reach
    // OnRecord, which notes into net: net stays until both are destroyed.
    void ReleaseAndWaitDestroyed()
    {
        ControlBlock* held[2] = {};
        if (monitor) {
            held[0] = monitor->cb;
            if (monitor->link.built() && monitor->link.channel().clientBuilt)
                held[1] = Client().stage.cb;
        }
        for (ControlBlock* cb : held)
            if (cb)
                ObjWeakAddRef(cb);
        monitor.reset();
        for (ControlBlock* cb : held) {
            if (!cb)
                continue;
            EXPECT_TRUE(WaitDestroyed(cb)) << "the monitor or its client outlived the release";
            ObjWeakRelease(cb);
        }
    }
    void Open(const char* filter, uint32_t dump)
    {
        ASSERT_EQ(ChannelOpen(&monitor->link.channel(), "master_channel", filter, dump, server.record(),
                              Receiver().get()),
                  kStatusSuccess);
    }
    // The monitor's records, on its strand.
    ClosureOwner Receiver()
    {
        ClosureOwner receiver;
        BindMember<TestMonitor, &TestMonitor::OnRecord>(receiver.put(), monitor.get(), &monitor->link.executor().exec);
        return receiver;
    }
    void Connect(int n)
    {
        ASSERT_TRUE(net->WaitCount("connect", n));
        net->CompleteConnect(kStatusSuccess);
        ASSERT_TRUE(net->WaitCount("read", n));
    }
    static std::string Own(uint32_t code, const std::string& payload)
    {
        return Word(code) + Word(0) + std::string("master_channel", 15) + payload;
    }
    static std::string Records(uint32_t size, uint32_t type, uint32_t id)
    {
        std::string r = Word(size) + Word(type) + (size >= 12 ? Word(id) : "");
        return r;
    }
};

// The opening request goes out after every connect, before anything else
// the channel sends; a failed connect sends none.
TEST_F(Channel, SendsTheOpeningRequestAfterEveryConnect)
{
    struct Case {
        const char* filter;
        uint32_t dump;
        std::string hello;
    } cases[] = {
        {nullptr, 0, std::string("\0\0\0\0", 4)},
        {"", 1, std::string("\1\0\0\0", 4)},
        {"COM3", 5, std::string("\1\0\0\0COM3\0", 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hello.size());
        if (!monitor)
            Create();
        Open(c.filter, c.dump);
        ASSERT_TRUE(net->WaitCount("connect", 1));
        net->CompleteConnect(0xC0000034);
        ASSERT_TRUE(net->WaitCount("record 6", 1));
        EXPECT_EQ(net->sent, "");
        EXPECT_TRUE(StatusAccepted(ClientConnectNow(&Client())));
        Connect(1);
        EXPECT_EQ(net->sent, Frame(c.hello));
        net->Deliver("");  // lost: reconnects at once and opens again
        Connect(2);
        EXPECT_EQ(net->sent, Frame(c.hello) + Frame(c.hello));
        ReleaseAndWaitDestroyed();
        net->CancelConnects();
        ASSERT_TRUE(net->WaitUntil([&] { return net->alive == 0; }));
        net.reset();
        net.reset(new FakeNet);
    }
}

// Connection events become records 6 and 8 with the channel name and a zero
// second word; they and the service's records reach the monitor object on its strand.
TEST_F(Channel, DeliversRecordsOnTheMonitorStrand)
{
    Open(nullptr, 0);
    ASSERT_TRUE(net->WaitCount("connect", 1));
    net->CompleteConnect(0xC0000034);
    ASSERT_TRUE(net->WaitCount("record 6", 1));
    EXPECT_TRUE(StatusAccepted(ClientConnectNow(&Client())));
    Connect(1);
    ASSERT_TRUE(net->WaitCount("record 6", 2));
    const std::string service = Word(1) + Word(77) + std::string("COM1\0", 5);
    net->Deliver(Frame(service));
    ASSERT_TRUE(net->WaitCount("record 1", 1));
    ASSERT_TRUE(net->WaitCount("read", 2));
    net->Deliver("");
    ASSERT_TRUE(net->WaitCount("record 8", 1));

    const std::string remote = Records(12, kFakeStream, 1), local = Records(8, kFakeStream, 0);
    ASSERT_EQ(seen.records.size(), 4u);
    EXPECT_EQ(seen.records[0], Own(6, Word(0xC0000034) + remote + local));
    EXPECT_EQ(seen.records[1], Own(6, Word(0) + remote + local));
    EXPECT_EQ(seen.records[2], service);
    EXPECT_EQ(seen.records[3], Own(8, Word(kDisconnectPeerEnded) + remote + local));
    EXPECT_TRUE(seen.allOnStrand);
}

// A peer that dies in the middle of a frame: the next connection's first record arrives intact.
TEST_F(Channel, AFrameCutOffByALostConnectionIsDropped)
{
    Open(nullptr, 0);
    Connect(1);
    const std::string first = Word(2) + Word(0) + std::string("COM1\0", 5);
    const std::string next = Word(3) + Word(0) + std::string("COM2\0", 5) + "payload";
    net->Deliver(Frame(first).substr(0, 11));
    ASSERT_TRUE(net->WaitCount("read", 2));
    net->Deliver("");
    Connect(2);
    net->Deliver(Frame(next));
    ASSERT_TRUE(net->WaitCount("record 3", 1));
    EXPECT_EQ(net->Count("record 2"), 0);
    EXPECT_EQ(seen.records.back(), next);
}

// An opening request too long for one frame is refused and nothing connects.
TEST_F(Channel, RefusesAnOpeningRequestAboveTheFrameLimit)
{
    std::string filter(65535 - 4, 'x');  // with its NUL one byte too many
    EXPECT_EQ(ChannelOpen(&monitor->link.channel(), "c", filter.c_str(), 0, server.record(), Receiver().get()),
              kStatusInvalidParameter);
    filter.pop_back();
    monitor.reset();
    Create();
    Open(filter.c_str(), 0);
    Connect(1);
    ASSERT_TRUE(net->WaitUntil([&] { return net->sent.size() == 8 + 65535; }));
}

// Releasing the monitor object destroys everything it holds at once, even
// while connected with a read in flight: shut-down has nothing to wait for.
// Records for an object that is being destroyed are dropped.
TEST_F(Channel, ReleasingTheMonitorEndsEverythingAndDropsLateRecords)
{
    Open("COM1", 1);
    Connect(1);
    ClosureOwner late;
    BindMember<TestMonitor, &TestMonitor::OnRecord>(late.put(), monitor.get(), nullptr);
    monitor.reset();
    EXPECT_TRUE(net->WaitUntil([&] { return net->alive == 0; }));
    size_t before = seen.records.size();
    {
        HandleOwner record;
        ASSERT_EQ(BufAllocCopy(record.put(), "\1\0\0\0\0\0\0\0x", 9), kStatusSuccess);
        EXPECT_TRUE(StatusAccepted(ClosureCall(late.get(), record.get())));
    }
    late.reset();
    EXPECT_EQ(seen.records.size(), before);
    EXPECT_EQ(ObjWaitAllFreed(5000), 1);
}

}  // namespace
