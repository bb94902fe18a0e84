// The peer against monitor ends written straight on Win32 pipes and WinSock.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <set>

#include "Demo.h"
#include "LogPeer.h"
#include "Records.h"
#include "TestClients.h"

using namespace logpeer;
using namespace logpeer_test;

namespace {

constexpr DWORD kWait = 10000;

Bytes B(std::initializer_list<int> v)
{
    Bytes b;
    for (int x : v)
        b.push_back(static_cast<uint8_t>(x));
    return b;
}

std::string UniquePipeName()
{
    static int n = 0;
    return "logpeer_test_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++n);
}

// Record `number` of a sequence: 1000 bytes of the number's low byte, then the number.
Bytes NumberedData(uint32_t number)
{
    Bytes data(1000, static_cast<uint8_t>(number));
    PutU32(data, number);
    return data;
}

// The next record read is numbered record `number`, whole.
::testing::AssertionResult ReadsNumbered(TestClient& client, uint32_t number)
{
    Bytes payload;
    std::string why;
    if (!client.ReadFrame(payload, why))
        return ::testing::AssertionFailure() << "record " << number << ": " << why;
    ParsedRecord r;
    if (!ParseMonitorRecord(payload, r) || r.payload != NumberedData(number))
        return ::testing::AssertionFailure() << "record " << number << " expected, got " << payload.size() << " bytes";
    return ::testing::AssertionSuccess();
}

class PeerTest : public ::testing::Test {
protected:
    void SetUp() override { Start({}); }
    void TearDown() override { peer_.reset(); }  // its last events still go to events_

    void Start(PeerOptions options, uint16_t tcpPort = 0)
    {
        peer_.reset();
        options.pipeName = UniquePipeName();
        options.tcpPort = tcpPort;
        options.onEvent = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(eventsLock_);
            events_.push_back(line);
        };
        peer_ = std::make_unique<LogPeer>(options);
        peer_->StartListening();
    }

    std::unique_ptr<TestClient> Connect(Transport t)
    {
        if (t == Transport::Pipe) {
            auto c = std::make_unique<PipeClient>(peer_->pipePath());
            EXPECT_TRUE(c->ok()) << "pipe open error " << c->openError();
            return c;
        }
        auto c = std::make_unique<TcpClient>(peer_->tcpPort());
        EXPECT_TRUE(c->ok()) << "connect error " << c->connectError();
        return c;
    }

    // A monitor end that has sent its opening request, and the peer's side of it.
    std::pair<std::unique_ptr<TestClient>, std::shared_ptr<Connection>> Subscribe(Transport t, uint32_t dump,
                                                                                  const char* filter)
    {
        auto client = Connect(t);
        auto conn = peer_->WaitConnection(kWait);
        EXPECT_TRUE(conn);
        EXPECT_TRUE(client->Write(BuildFrame(BuildOpeningRequest(dump, filter))));
        EXPECT_TRUE(conn && conn->WaitOpeningRequest(kWait));
        return {std::move(client), conn};
    }

    static void ExpectRecords(TestClient& client, std::vector<std::pair<uint32_t, std::string>> expected,
                              const char* who)
    {
        for (auto& e : expected) {
            Bytes payload;
            std::string why;
            ASSERT_TRUE(client.ReadFrame(payload, why)) << who << ": " << why;
            ParsedRecord r;
            ASSERT_TRUE(ParseMonitorRecord(payload, r)) << who;
            EXPECT_EQ(r.code, e.first) << who;
            EXPECT_EQ(r.device, e.second) << who;
        }
    }

    bool SawEvent(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(eventsLock_);
        for (auto& e : events_)
            if (e.find(text) != std::string::npos)
                return true;
        return false;
    }

    std::unique_ptr<LogPeer> peer_;
    std::mutex eventsLock_;
    std::vector<std::string> events_;
};

class PeerTransportTest : public PeerTest, public ::testing::WithParamInterface<Transport> {};

TEST_P(PeerTransportTest, ReadsOpeningRequestAndSendsOnlyAdmittedRecords)
{
    auto client = Connect(GetParam());
    auto conn = peer_->WaitConnection(kWait);
    ASSERT_TRUE(conn);
    EXPECT_EQ(conn->transport(), GetParam());
    EXPECT_EQ(peer_->Publish(kDeviceOpened, "COM3", {}), 0u) << "no records before the opening request";

    // Length 9: 0x534D + 0x2E47 + 9 = 0x819D, ones' complement 0x7E62.
    Bytes request = B({0x4D, 0x53, 0x47, 0x2E, 0x09, 0x00, 0x62, 0x7E, 1, 0, 0, 0, 'C', 'O', 'M', '3', 0});
    // Sent in two pieces, the header cut in the middle.
    ASSERT_TRUE(client->Write(Bytes(request.begin(), request.begin() + 5)));
    ASSERT_TRUE(conn->WaitReceived(5, kWait));
    ASSERT_TRUE(client->Write(Bytes(request.begin() + 5, request.end())));
    ASSERT_TRUE(conn->WaitOpeningRequest(kWait));
    EXPECT_EQ(conn->received(), request);
    EXPECT_EQ(conn->openingRequest()->dumpFlag, 1u);
    EXPECT_EQ(conn->openingRequest()->filter, "COM3");

    EXPECT_EQ(peer_->Publish(kDeviceOpened, "COM3", {}), 1u);
    EXPECT_EQ(peer_->Publish(kDeviceOpened, "COM4", {}), 0u);
    EXPECT_EQ(peer_->Publish(kRxData, "COM3", B({0xAB})), 1u);

    // Record 1 of "COM3" is 13 bytes: 0x8194 + 13 = 0x81A1, ones' complement 0x7E5E.
    Bytes first;
    ASSERT_TRUE(client->ReadExact(21, first));
    EXPECT_EQ(first,
              B({0x4D, 0x53, 0x47, 0x2E, 0x0D, 0x00, 0x5E, 0x7E, 1, 0, 0, 0, 0, 0, 0, 0, 'C', 'O', 'M', '3', 0}));
    Bytes payload;
    std::string why;
    ASSERT_TRUE(client->ReadFrame(payload, why)) << why;
    EXPECT_EQ(payload, MonitorRecord(kRxData, "COM3", B({0xAB})));
}

TEST_P(PeerTransportTest, StalledReaderLosesNothing)
{
    auto [client, conn] = Subscribe(GetParam(), 1, nullptr);
    const uint32_t kRecords = 400;
    for (uint32_t i = 0; i < kRecords; ++i)
        ASSERT_EQ(peer_->Publish(kTxData, "COM1", NumberedData(i)), 1u);
    for (uint32_t i = 0; i < kRecords; ++i)
        ASSERT_TRUE(ReadsNumbered(*client, i));
    EXPECT_TRUE(conn->WaitDrained(kWait));
    EXPECT_FALSE(conn->closed());
}

TEST_P(PeerTransportTest, ClosingEitherEnd)
{
    {
        auto [client, conn] = Subscribe(GetParam(), 0, nullptr);
        conn->SendRecord(kDeviceOpened, "COM1", {});
        conn->SendRecord(kDeviceClosed, "COM1", {});
        conn->Close();  // after what is queued
        ExpectRecords(*client, {{kDeviceOpened, "COM1"}, {kDeviceClosed, "COM1"}}, "closed by the peer");
        EXPECT_TRUE(client->ReadsEnd());
        EXPECT_TRUE(conn->WaitClosed(kWait));
        EXPECT_FALSE(conn->SendRecord(kDeviceOpened, "COM1", {}));
    }
    {
        auto [client, conn] = Subscribe(GetParam(), 0, nullptr);
        client.reset();
        EXPECT_TRUE(conn->WaitClosed(kWait));
        EXPECT_TRUE(SawEvent(conn->name() + " closed by the monitor"));
        EXPECT_TRUE(peer_->connections().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, PeerTransportTest, ::testing::Values(Transport::Pipe, Transport::Tcp),
                         [](const auto& info) { return info.param == Transport::Pipe ? "Pipe" : "Tcp"; });

TEST_F(PeerTest, SeveralConnectionsEachGetWhatTheyAskedFor)
{
    auto [all, allConn] = Subscribe(Transport::Pipe, 0, nullptr);
    auto [dump, dumpConn] = Subscribe(Transport::Tcp, 1, nullptr);
    auto [com3, com3Conn] = Subscribe(Transport::Pipe, 1, "COM3");
    auto [other, otherConn] = Subscribe(Transport::Tcp, 0, "COM4");
    EXPECT_EQ(peer_->connections().size(), 4u);

    const uint8_t mac[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(peer_->Publish(kDeviceOpened, "COM1", {}), 2u);
    EXPECT_EQ(peer_->Publish(kTxData, "COM1", B({1})), 1u);
    EXPECT_EQ(peer_->Publish(kRxData, "COM3", B({2})), 2u);
    EXPECT_EQ(peer_->Publish(kResolveByMac, "com3", ResolveByMacPayload(mac)), 3u);
    EXPECT_EQ(peer_->Publish(kDeviceClosed, "COM4", {}), 3u);

    ExpectRecords(*all, {{kDeviceOpened, "COM1"}, {kResolveByMac, "com3"}, {kDeviceClosed, "COM4"}}, "all");
    ExpectRecords(*dump,
                  {{kDeviceOpened, "COM1"},
                   {kTxData, "COM1"},
                   {kRxData, "COM3"},
                   {kResolveByMac, "com3"},
                   {kDeviceClosed, "COM4"}},
                  "dump");
    ExpectRecords(*com3, {{kRxData, "COM3"}, {kResolveByMac, "com3"}}, "COM3");
    ExpectRecords(*other, {{kDeviceClosed, "COM4"}}, "COM4");
}

TEST_F(PeerTest, MalformedOpeningRequestSubscribesToNothing)
{
    auto client = Connect(Transport::Pipe);
    auto conn = peer_->WaitConnection(kWait);
    ASSERT_TRUE(conn);
    ASSERT_TRUE(client->Write(BuildFrame(B({0, 0, 0, 0, 'C', 'O', 'M'}))));  // no terminator
    EXPECT_FALSE(conn->WaitOpeningRequest(kWait));
    EXPECT_EQ(peer_->Publish(kDeviceOpened, "COM", {}), 0u);
    EXPECT_EQ(conn->frames().size(), 1u);
}

TEST_F(PeerTest, SenderBlocksWhileTheMonitorDoesNotRead)
{
    PeerOptions options;
    options.maxQueuedBytes = 8 * 1024;
    Start(options);
    auto [client, conn] = Subscribe(Transport::Pipe, 1, nullptr);
    const int kRecords = 100;  // 100 KB: far beyond the pipe's buffer and the queue
    std::atomic<int> sent{0};
    std::thread sender([&, c = conn] {
        for (int i = 0; i < kRecords; ++i) {
            Bytes data(1024, static_cast<uint8_t>(i));
            if (!c->SendRecord(kRxData, "COM1", data))
                break;
            ++sent;
        }
    });
    Sleep(300);
    EXPECT_LT(sent.load(), kRecords) << "nothing read, yet everything was taken";
    for (int i = 0; i < kRecords; ++i) {
        Bytes payload;
        std::string why;
        ASSERT_TRUE(client->ReadFrame(payload, why)) << "record " << i << ": " << why;
        ASSERT_EQ(payload.back(), static_cast<uint8_t>(i));
    }
    sender.join();
    EXPECT_EQ(sent.load(), kRecords);
}

struct WinsockUse {
    WinsockUse()
    {
        WSADATA data;
        up = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockUse()
    {
        if (up)
            WSACleanup();
    }
    bool up;
};

// Records go out in lockstep with the reading monitor, so only the stalled one can fall behind.
TEST_F(PeerTest, AMonitorThatStopsReadingHoldsUpNoOther)
{
    PeerOptions options;
    options.maxQueuedBytes = 8 * 1024;
    Start(options);
    auto [stalled, stalledConn] = Subscribe(Transport::Pipe, 1, nullptr);
    auto [reader, readerConn] = Subscribe(Transport::Tcp, 1, nullptr);
    // A publisher that waited for the stalled monitor would hang here: end that monitor instead.
    win32::UniqueHandle done = win32::MakeEvent();
    std::thread watchdog([&, c = stalledConn] {
        if (WaitForSingleObject(done.get(), 30000) != WAIT_OBJECT_0)
            c->Abort();
    });

    const uint32_t kRecords = 100;  // 100 KB: far beyond the stalled monitor's pipe buffer and queue
    std::vector<uint32_t> queuedForStalled;
    for (uint32_t i = 0; i < kRecords; ++i) {
        size_t sent = peer_->Publish(kTxData, "COM1", NumberedData(i));
        ASSERT_TRUE(ReadsNumbered(*reader, i));
        if (sent == 2)
            queuedForStalled.push_back(i);
    }
    SetEvent(done.get());
    watchdog.join();
    ASSERT_FALSE(stalledConn->closed()) << "the publisher waited for the stalled monitor";
    EXPECT_EQ(stalledConn->discarded(), kRecords - queuedForStalled.size());
    EXPECT_GT(stalledConn->discarded(), 0u);
    EXPECT_EQ(readerConn->discarded(), 0u);
    EXPECT_TRUE(SawEvent(stalledConn->name() + " is not reading: discarding records"));

    // Reading again, it finds whole records in order, those it missed left out.
    for (uint32_t number : queuedForStalled)
        ASSERT_TRUE(ReadsNumbered(*stalled, number));
    ASSERT_TRUE(stalledConn->WaitDrained(kWait));
    EXPECT_EQ(peer_->Publish(kDeviceClosed, "COM1", {}), 2u);
    ExpectRecords(*stalled, {{kDeviceClosed, "COM1"}}, "stalled, reading again");
    ExpectRecords(*reader, {{kDeviceClosed, "COM1"}}, "reader");
    EXPECT_TRUE(SawEvent(stalledConn->name() + " reading again after " + std::to_string(stalledConn->discarded()) +
                         " records discarded"));
}

TEST_F(PeerTest, ATakenTcpPortLeavesThePipeServed)
{
    // WinSock of our own: the last WSACleanup, as the peer's when it goes, would close the holder.
    WinsockUse winsock;
    ASSERT_TRUE(winsock.up);
    win32::UniqueSocket holder(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof addr;
    ASSERT_EQ(bind(holder.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(holder.get(), 1), 0);
    ASSERT_EQ(getsockname(holder.get(), reinterpret_cast<sockaddr*>(&addr), &length), 0);
    const uint16_t taken = ntohs(addr.sin_port);
    const std::string failure = "cannot listen on 127.0.0.1:" + std::to_string(taken) + " (error 10048)";

    ASSERT_NO_THROW(Start({}, taken));
    EXPECT_TRUE(SawEvent(failure));
    EXPECT_TRUE(SawEvent("listening pipe " + peer_->pipePath()));
    EXPECT_FALSE(SawEvent("listening pipe " + peer_->pipePath() + " tcp"));
    EXPECT_EQ(peer_->tcpPort(), 0);
    auto [client, conn] = Subscribe(Transport::Pipe, 0, nullptr);
    EXPECT_EQ(peer_->Publish(kDeviceOpened, "COM1", {}), 1u);
    ExpectRecords(*client, {{kDeviceOpened, "COM1"}}, "pipe");

    // With nothing else to serve, the taken port is an error that names it.
    PeerOptions tcpOnly;
    tcpOnly.pipe = false;
    try {
        Start(tcpOnly, taken);
        ADD_FAILURE() << "listening without an endpoint";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), failure);
    }
}

TEST_F(PeerTest, BusyPipeRefusesOpensUntilFreed)
{
    peer_->SetPipeBusy(true);
    PipeClient refused(peer_->pipePath());
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.openError(), static_cast<DWORD>(ERROR_PIPE_BUSY));
    peer_->SetPipeBusy(false);
    auto client = Connect(Transport::Pipe);
    EXPECT_TRUE(peer_->WaitConnection(kWait));
}

TEST_F(PeerTest, DownAndUpAgainOnTheSameEndpoints)
{
    auto [client, conn] = Subscribe(Transport::Tcp, 0, nullptr);
    uint16_t port = peer_->tcpPort();
    peer_->StopListening();
    peer_->CloseAll(false);
    EXPECT_TRUE(client->ReadsEnd());
    EXPECT_TRUE(conn->WaitClosed(kWait));

    PipeClient noPipe(peer_->pipePath());
    EXPECT_EQ(noPipe.openError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    TcpClient noTcp(port);
    EXPECT_EQ(noTcp.connectError(), WSAECONNREFUSED);

    peer_->StartListening();
    EXPECT_EQ(peer_->tcpPort(), port);
    auto [pipeAgain, c1] = Subscribe(Transport::Pipe, 0, nullptr);
    auto [tcpAgain, c2] = Subscribe(Transport::Tcp, 0, nullptr);
    EXPECT_EQ(peer_->Publish(kDeviceOpened, "COM1", {}), 2u);
    ExpectRecords(*pipeAgain, {{kDeviceOpened, "COM1"}}, "pipe");
    ExpectRecords(*tcpAgain, {{kDeviceOpened, "COM1"}}, "tcp");
}

TEST_F(PeerTest, WaitSkipsAConnectionThatEndedBeforeItWasAskedFor)
{
    auto openCount = [&](size_t count) {
        for (DWORD waited = 0; waited < kWait; waited += 10) {
            if (peer_->connections().size() == count)
                return true;
            Sleep(10);
        }
        return false;
    };
    auto early = Connect(Transport::Pipe);
    ASSERT_TRUE(openCount(1));
    early.reset();
    ASSERT_TRUE(openCount(0));

    auto [client, conn] = Subscribe(Transport::Pipe, 0, nullptr);
    ASSERT_TRUE(conn);
    EXPECT_FALSE(conn->closed());
    EXPECT_EQ(peer_->Publish(kDeviceOpened, "COM1", {}), 1u);
    ExpectRecords(*client, {{kDeviceOpened, "COM1"}}, "the live connection");
}

TEST_F(PeerTest, ARecordOf65535Bytes)
{
    auto [client, conn] = Subscribe(Transport::Pipe, 1, nullptr);
    Bytes data(65535 - 9 - 4, 0x5A);  // code, second word, "COM1" and its NUL, data
    ASSERT_TRUE(conn->SendRecord(kTxData, "COM1", data));
    Bytes payload;
    std::string why;
    ASSERT_TRUE(client->ReadFrame(payload, why)) << why;
    EXPECT_EQ(payload.size(), 65535u);
    EXPECT_EQ(payload, MonitorRecord(kTxData, "COM1", data));
}

}  // namespace

namespace {

TEST_F(PeerTest, DemoStoryHoldsWholePayloadLayoutsAndDataOnlyForDumpConnections)
{
    auto [plain, plainConn] = Subscribe(Transport::Pipe, 0, nullptr);
    auto [dump, dumpConn] = Subscribe(Transport::Tcp, 1, "COM2");
    win32::UniqueHandle stop = win32::MakeEvent();
    RunDemo(*peer_, 1, 0, stop.get());
    plainConn->Close();
    dumpConn->Close();

    // Payload size per code: none, none, status + record, record, flags + record, ..., name, MAC, status + address.
    auto layoutFits = [](const ParsedRecord& r) {
        switch (r.code) {
        case kDeviceOpened:
        case kDeviceClosed: return r.payload.empty();
        case kConnectResult:
        case kListenResult:
        case kConnectionClosed: return r.payload.size() == 4 + 14 && GetU32(&r.payload[4]) == 14;
        case kConnectionAccepted: return r.payload.size() == 14 && GetU32(&r.payload[0]) == 14;
        case kResolveByName:
        case kTxData:
        case kRxData: return !r.payload.empty();
        case kResolveByMac: return r.payload.size() == 6;
        case kResolveResult: return r.payload.size() == 8;
        default: return false;
        }
    };
    for (auto* client : {plain.get(), dump.get()}) {
        bool isDump = client == dump.get();
        std::set<uint32_t> codes;
        Bytes payload;
        std::string why;
        while (client->ReadFrame(payload, why)) {
            ParsedRecord r;
            ASSERT_TRUE(ParseMonitorRecord(payload, r));
            EXPECT_TRUE(layoutFits(r)) << "code " << r.code;
            if (isDump) {
                EXPECT_EQ(r.device, "COM2");
            }
            codes.insert(r.code);
        }
        EXPECT_EQ(why, "closed");
        EXPECT_EQ(codes.count(kTxData) + codes.count(kRxData), isDump ? 2u : 0u);
        EXPECT_TRUE(codes.count(kConnectResult) && codes.count(kConnectionClosed) && codes.count(kDeviceClosed));
    }
}

}  // namespace
