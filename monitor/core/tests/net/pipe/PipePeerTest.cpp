// The core's pipe client against the log-service peer, which shares no code
// with the core: what one side writes the other must see byte for byte.
#include "net/CompletionMessage.h"
#include "net/SocketApi.h"
#include "net/SyncWaiter.h"
#include "Records.h"
#include "runtime/BlockOwner.h"
#include "runtime/HandleOwner.h"
#include "support/CoreTestFixture.h"
#include "support/PipeLogPeer.h"
#include "support/PipeTestSupport.h"
#include <memory>

namespace {

constexpr DWORD kWait = 30000;

std::string Text(const logpeer::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool IsFailure(const std::string& received) { return received.compare(0, 6, "error ") == 0; }

// Reads until `count` bytes have come or a read fails; a failure is appended
// as "error N".
std::string ReceiveAll(void* socket, size_t count = SIZE_MAX)
{
    std::string got;
    while (got.size() < count) {
        const std::string piece = ReceiveSync(socket, 4096);
        got += piece;
        if (piece.empty() || IsFailure(piece))
            break;
    }
    return got;
}

// A read left in flight, and its completion.
struct PendingRead {
    SyncWaiter waiter;
    explicit PendingRead(void* socket) { ReceivePending(socket, 64, waiter.closure()); }
    const StatusCountMessage& Wait() { return *MessageView<const StatusCountMessage>(&waiter.Wait()); }
};

class PipePeer : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        peer_ = StartPipeLogPeer();
        remote_.reset(Record(peer_->pipePath()));
    }

    // The peer outlives the core's shut-down, so that a test can see what the
    // shut-down did to the connection.
    void TearDown() override
    {
        remote_.reset();
        CoreTest::TearDown();
        if (closedByShutDown_) {
            closedByShutDown_->SetReading(true);  // it learns of the close by reading
            EXPECT_TRUE(closedByShutDown_->WaitClosed(kWait)) << "the shut-down left the pipe open";
        }
        peer_.reset();
    }

    // A connected client and the peer's side of it.
    std::shared_ptr<logpeer::Connection> Connect(Held* socket)
    {
        EXPECT_EQ(ConnectSync(remote_.get(), socket), kStatusSuccess);
        auto connection = peer_->WaitConnection(kWait);
        EXPECT_TRUE(connection);
        return connection;
    }

    std::unique_ptr<logpeer::LogPeer> peer_;
    BlockOwner<AddressRecord> remote_;
    std::shared_ptr<logpeer::Connection> closedByShutDown_;
};

TEST_F(PipePeer, OpeningRequestArrivesExactlyAndRecordsLargerThanThePipeBufferArriveWhole)
{
    Held socket;
    auto connection = Connect(&socket);
    ASSERT_TRUE(connection && socket.object);
    const std::string request = Text(logpeer::BuildFrame(logpeer::BuildOpeningRequest(1, "COM7")));
    ASSERT_EQ(SendSync(socket.object, request), kStatusSuccess);
    ASSERT_TRUE(connection->WaitOpeningRequest(kWait));
    EXPECT_EQ(Text(connection->received()), request);
    EXPECT_EQ(connection->openingRequest()->dumpFlag, 1u);
    EXPECT_EQ(connection->openingRequest()->filter, "COM7");

    struct Sent {
        uint32_t code;
        logpeer::Bytes payload;
    };
    const Sent records[] = {
        {1, {}},
        {3, logpeer::StatusPayload(0xC0000236, logpeer::TcpAddressRecord(logpeer::Ipv4(127, 0, 0, 1), 1001))},
        {10, logpeer::Bytes(3000, 0x5A)},  // several times the core's 512-byte pipe buffer
        {2, {}},
    };
    std::string expected;
    for (const Sent& r : records) {
        ASSERT_TRUE(connection->SendRecord(r.code, "COM7", r.payload));
        expected += Text(logpeer::BuildFrame(logpeer::MonitorRecord(r.code, "COM7", r.payload)));
    }
    EXPECT_EQ(ReceiveAll(socket.object, expected.size()), expected);
}

TEST_F(PipePeer, PeerCloseEndsReadsWithTheBrokenPipeNumber)
{
    // A read in flight when the peer goes.
    Held first;
    auto abrupt = Connect(&first);
    ASSERT_TRUE(abrupt && first.object);
    PendingRead pending(first.object);
    abrupt->Abort();
    const StatusCountMessage& done = pending.Wait();
    EXPECT_EQ(done.status, uint32_t(ERROR_BROKEN_PIPE));
    EXPECT_EQ(done.count, 0u);

    // The peer's last record is read before the broken pipe; writes then fail
    // with a system error, not a status code.
    Held second;
    auto orderly = Connect(&second);
    ASSERT_TRUE(orderly && second.object);
    const logpeer::Bytes payload = logpeer::ClosedPayload(1, logpeer::TcpAddressRecord(logpeer::Ipv4(127, 0, 0, 1), 80));
    ASSERT_TRUE(orderly->SendRecord(5, "COM1", payload));
    orderly->Close();
    ASSERT_TRUE(orderly->WaitClosed(kWait));
    EXPECT_EQ(ReceiveAll(second.object),
              Text(logpeer::BuildFrame(logpeer::MonitorRecord(5, "COM1", payload))) + "error 109");
    const NtStatus write = SendSync(second.object, "late");
    EXPECT_NE(write, kStatusSuccess);
    EXPECT_LT(write, 0x10000u) << std::hex << write;
}

TEST_F(PipePeer, ClientCloseReachesThePeerAndLaterCallsCompleteAtOnce)
{
    Held socket;
    auto connection = Connect(&socket);
    ASSERT_TRUE(connection && socket.object);
    const std::string request = Text(logpeer::BuildFrame(logpeer::BuildOpeningRequest(0, nullptr)));
    ASSERT_EQ(SendSync(socket.object, request), kStatusSuccess);
    EXPECT_EQ(CloseSync(socket.object), kStatusSuccess);
    ASSERT_TRUE(connection->WaitClosed(kWait));
    EXPECT_EQ(Text(connection->received()), request) << "written bytes survive the close";

    EXPECT_TRUE(IsFailure(ReceiveSync(socket.object)));
    EXPECT_NE(SendSync(socket.object, "late"), kStatusSuccess);
    CloseSync(socket.object);  // a second close returns too
}

TEST_F(PipePeer, CloseWithAReadPendingCompletesTheReadAsCancelled)
{
    Held socket;
    auto connection = Connect(&socket);
    ASSERT_TRUE(connection && socket.object);
    PendingRead pending(socket.object);
    EXPECT_EQ(CloseSync(socket.object), kStatusSuccess);
    const StatusCountMessage& done = pending.Wait();
    EXPECT_EQ(done.status, uint32_t(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(done.count, 0u);
    EXPECT_TRUE(connection->WaitClosed(kWait));
}

TEST_F(PipePeer, ConnectReportsBusyAndMissingPipesUnconverted)
{
    Held socket;
    peer_->SetPipeBusy(true);
    EXPECT_EQ(ConnectSync(remote_.get(), &socket), uint32_t(ERROR_PIPE_BUSY));
    EXPECT_EQ(socket.object, nullptr);

    peer_->SetPipeBusy(false);
    auto connection = Connect(&socket);
    ASSERT_TRUE(connection && socket.object) << "a freed pipe is reachable again";
    socket.Drop();
    ASSERT_TRUE(connection->WaitClosed(kWait));

    peer_->StopListening();
    EXPECT_EQ(ConnectSync(remote_.get(), &socket), uint32_t(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(socket.object, nullptr);
}

// The socket is dropped with a read and a write in flight (the peer has
// stopped reading); shutting the core down ends both and closes the pipe.
TEST_F(PipePeer, ShutDownWithAConnectionOpen)
{
    Held socket;
    auto connection = Connect(&socket);
    ASSERT_TRUE(connection && socket.object);
    connection->SetReading(false);
    HandleOwner outgoing, incoming;
    EXPECT_TRUE(
        StatusAccepted(BufAlloc(outgoing.put(), nullptr, nullptr, 64 * 1024)));  // far more than both pipe buffers hold
    EXPECT_TRUE(StatusAccepted(BufAlloc(incoming.put(), nullptr, nullptr, 64)));
    SockSend(socket.object, outgoing.get(), nullptr);
    SockReceive(socket.object, incoming.get(), nullptr);
    outgoing.reset();
    incoming.reset();
    socket.Drop();
    closedByShutDown_ = connection;
}

}  // namespace
