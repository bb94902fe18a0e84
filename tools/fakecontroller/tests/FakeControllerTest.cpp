#include "FakeController.h"

#include <gtest/gtest.h>

#include "LoopbackServer.h"

using fakecontroller::FakeController;
using fakecontroller::Options;
using fakecontroller::test::kWaitMs;
using fakecontroller::test::TinyServer;

namespace {

Options OptionsFor(std::uint16_t port, unsigned pingMs = 60000)
{
    Options options;
    options.port = port;
    options.pingIntervalMs = pingMs;
    return options;
}

}  // namespace

TEST(FakeController, FrameCrc)
{
    EXPECT_EQ(fakecontroller::FrameCrc(""), "FF");
    EXPECT_EQ(fakecontroller::FrameCrc("$127BPING"), "5C");
    EXPECT_EQ(fakecontroller::FrameCrc("$089BGN"), "08");
    EXPECT_EQ(fakecontroller::FrameCrc("#127BGN"), "1E");
    EXPECT_EQ(fakecontroller::FrameCrc("\xE0"), "6D");
}

TEST(FakeController, ReadsBannerAndKeepsAlive)
{
    TinyServer server;
    FakeController controller(OptionsFor(server.Port(), 100));
    controller.Start();
    ASSERT_TRUE(server.Accept());
    server.Send("Welcome to TcpSrv\r\n");
    ASSERT_TRUE(controller.WaitForBanner(kWaitMs));
    EXPECT_EQ(controller.Banner(), "Welcome to TcpSrv");
    EXPECT_EQ(server.ReadLine(), "$127BPING5C\r\n");
    EXPECT_EQ(server.ReadLine(), "$127BPING5C\r\n");  // again after the interval
    // Each echo answers the oldest keep-alive that waits for one.
    server.Send("$127BECHOCC");
    ASSERT_TRUE(controller.WaitForReceived(1, kWaitMs));
    EXPECT_GE(controller.PingsSent(), 2u);
    const auto roundTrips = controller.EchoRoundTrips();
    ASSERT_EQ(roundTrips.size(), 1u);
    EXPECT_GE(roundTrips[0].count(), 100000);  // the first one waited at least one interval
    controller.Stop();
    EXPECT_TRUE(controller.Closed());
}

TEST(FakeController, AnswersThePollAndRecordsEveryFrame)
{
    TinyServer server;
    FakeController controller(OptionsFor(server.Port()));
    controller.Start();
    ASSERT_TRUE(server.Accept());
    // The banner and the first frames in one piece; the frames carry no line end.
    server.Send("Welcome to TcpSrv\r\n$127BGNE3$127BGL81");
    server.Send("$127BGV19$127BGD38$127BGCAF$127ARTA8$127BRT62$127BPR10580$127BRD21");
    ASSERT_TRUE(controller.WaitForReceived(9, kWaitMs));
    const std::vector<std::string> expectedFrames = {
        "$127BGNE3", "$127BGL81", "$127BGV19",    "$127BGD38", "$127BGCAF",
        "$127ARTA8", "$127BRT62", "$127BPR10580", "$127BRD21",
    };
    EXPECT_EQ(controller.Received(), expectedFrames);

    const char* const expectedReplies[] = {
        "#127BGNTORVALA fake4A\r\n",
        "#127BGLLDR 1.02B8\r\n",
        "#127BGVFW 3.14F2\r\n",
        "#127BGD0001234567876\r\n",
        "#127BGCNORRF1051052002003051105510\r\n",
        "#127ARTMGF3\r\n",
        "#127BRTF3UC05ABCDE88\r\n",
    };
    for (const char* reply : expectedReplies)
        EXPECT_EQ(server.ReadReply(), reply);
}

TEST(FakeController, JoinsFramesSplitAcrossReads)
{
    TinyServer server;
    FakeController controller(OptionsFor(server.Port()));
    controller.Start();
    ASSERT_TRUE(server.Accept());
    server.Send("Welcome to TcpSrv\r\n");
    ASSERT_TRUE(controller.WaitForBanner(kWaitMs));
    server.Send("$127BG");
    Sleep(50);  // most likely two reads; one frame either way
    server.Send("NE3");
    ASSERT_TRUE(controller.WaitForReceived(1, kWaitMs));
    EXPECT_EQ(server.ReadReply(), "#127BGNTORVALA fake4A\r\n");
    // A piece with a wrong CRC and nothing after it arrives once the line is idle.
    server.Send("$127BXYZ");
    ASSERT_TRUE(controller.WaitForReceived(2, kWaitMs));
    const std::vector<std::string> expected = {"$127BGNE3", "$127BXYZ"};
    EXPECT_EQ(controller.Received(), expected);
}

TEST(FakeController, TooBusyBannerAndRefusedConnection)
{
    {
        TinyServer server;
        FakeController controller(OptionsFor(server.Port()));
        controller.Start();
        ASSERT_TRUE(server.Accept());
        server.Send("Sorry, too many clients\r\n");
        server.CloseClient();
        ASSERT_TRUE(controller.WaitForClosed(kWaitMs));
        EXPECT_EQ(controller.Banner(), "Sorry, too many clients");
    }
    std::uint16_t unused;
    {
        TinyServer gone;
        unused = gone.Port();
    }
    FakeController controller(OptionsFor(unused));
    EXPECT_FALSE(controller.Run());
    EXPECT_TRUE(controller.Closed());
    EXPECT_TRUE(controller.Received().empty());
}
