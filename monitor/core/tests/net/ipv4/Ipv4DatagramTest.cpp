#include "net/FamilyRegistry.h"
#include "net/ipv4/Ipv4Record.h"
#include "net/SocketApi.h"
#include "support/BothPlatformsTest.h"
#include "support/CoreTestFixture.h"
#include "support/MessageWaiter.h"
#include "support/UdpTestSupport.h"
#include <string>

namespace {

constexpr NtStatus kStatusMessageTooLong = 0xC0000206;  // 10040
constexpr NtStatus kStatusAborted = 0xC0000240;         // 995

// UDP endpoints used directly through raw sockets, as on NT and as on Windows 9x.
class Ipv4Datagram : public BothPlatformsTest {};

TEST_P(Ipv4Datagram, SendAndReceiveWithTheSourceRecord)
{
    MessageWaiter openedA(4), openedB(4);
    Ipv4Record a, b;
    void* rawA = OpenUdp(&openedA, &a);
    void* rawB = OpenUdp(&openedB, &b);
    ASSERT_TRUE(rawA && rawB);

    HandleOwner area = Area(64);
    MessageWaiter received;
    RawEndpointReceiveFrom(rawB, area.get(), &received.closure);
    SendTo(rawA, "datagram", b);
    ASSERT_TRUE(received.WaitFor(1));
    std::string m = received.At(0);
    ASSERT_EQ(m.size(), 8u + 14u);
    EXPECT_EQ(received.U32(0, 0), kStatusSuccess);
    EXPECT_EQ(received.U32(0, 4), 8u);
    EXPECT_EQ(std::string(static_cast<const char*>(area->data), 8), "datagram");
    Ipv4Record source;
    std::memcpy(&source, m.data() + 8, sizeof(source));
    EXPECT_EQ(source.header.type, kAddressTypeUdp);
    EXPECT_EQ(source.address, kLoopback);
    EXPECT_EQ(source.port, a.port);
    area.reset();
}

TEST_P(Ipv4Datagram, OversizedDatagramFailsAloneAndTheNextIsStillReceived)
{
    MessageWaiter openedA(4), openedB(4);
    Ipv4Record a, b;
    void* rawA = OpenUdp(&openedA, &a);
    void* rawB = OpenUdp(&openedB, &b);
    ASSERT_TRUE(rawA && rawB);

    SendTo(rawA, std::string(600, 'x'), b);
    SendTo(rawA, "small", b);
    HandleOwner area = Area(512);
    MessageWaiter first;
    RawEndpointReceiveFrom(rawB, area.get(), &first.closure);
    ASSERT_TRUE(first.WaitFor(1));
    EXPECT_EQ(first.U32(0, 0), kStatusMessageTooLong);
    MessageWaiter second;
    RawEndpointReceiveFrom(rawB, area.get(), &second.closure);
    ASSERT_TRUE(second.WaitFor(1));
    EXPECT_EQ(second.U32(0, 0), kStatusSuccess);
    ASSERT_EQ(second.U32(0, 4), 5u);
    EXPECT_EQ(std::string(static_cast<const char*>(area->data), 5), "small");
    area.reset();
}

TEST_P(Ipv4Datagram, CloseWithReceivePendingCompletesTheReceiveAsCancelled)
{
    MessageWaiter opened(4);
    Ipv4Record local;
    void* raw = OpenUdp(&opened, &local);
    ASSERT_NE(raw, nullptr);
    HandleOwner area = Area(64);
    MessageWaiter received;
    RawEndpointReceiveFrom(raw, area.get(), &received.closure);
    area.reset();  // the pending receive keeps its own reference
    MessageWaiter closed;
    RawEndpointClose(raw, &closed.closure);
    ASSERT_TRUE(closed.WaitFor(1));
    EXPECT_EQ(closed.U32(0, 0), kStatusSuccess);
    ASSERT_TRUE(received.WaitFor(1));
    EXPECT_EQ(received.U32(0, 0), kStatusAborted);
    EXPECT_EQ(received.U32(0, 4), 0u);
}

INSTANTIATE_TEST_SUITE_P(Platforms, Ipv4Datagram, ::testing::Values(false, true), PlatformName);

}  // namespace
