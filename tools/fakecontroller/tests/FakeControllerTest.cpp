#include "FakeController.h"

#include <ws2tcpip.h>

#include <chrono>
#include <gtest/gtest.h>

using fakecontroller::FakeController;
using fakecontroller::Options;

namespace {

const unsigned kWaitMs = 20000;

// A one-connection TCP server on 127.0.0.1 standing in for the tool.
class TinyServer {
public:
    TinyServer()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 5);
        int size = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~TinyServer()
    {
        CloseClient();
        closesocket(listener_);
        WSACleanup();
    }

    std::uint16_t Port() const { return port_; }

    bool Accept()
    {
        if (!Readable(listener_))
            return false;
        client_ = accept(listener_, nullptr, nullptr);
        return client_ != INVALID_SOCKET;
    }

    void Send(const std::string& bytes) { send(client_, bytes.data(), static_cast<int>(bytes.size()), 0); }

    // The next line with its CR LF, or what arrived before the wait ran out.
    std::string ReadLine()
    {
        for (;;) {
            const std::size_t lf = input_.find('\n');
            if (lf != std::string::npos) {
                std::string line = input_.substr(0, lf + 1);
                input_.erase(0, lf + 1);
                return line;
            }
            char buffer[512];
            if (!Readable(client_))
                return input_;
            const int got = recv(client_, buffer, sizeof buffer, 0);
            if (got <= 0)
                return input_;
            input_.append(buffer, static_cast<std::size_t>(got));
        }
    }

    // The next line that is not a keep-alive.
    std::string ReadReply()
    {
        std::string line;
        do
            line = ReadLine();
        while (line.find("PING") != std::string::npos);
        return line;
    }

    void CloseClient()
    {
        if (client_ != INVALID_SOCKET)
            closesocket(client_);
        client_ = INVALID_SOCKET;
    }

private:
    static bool Readable(SOCKET s)
    {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval wait = {kWaitMs / 1000, 0};
        return select(0, &set, nullptr, nullptr, &wait) == 1;
    }

    SOCKET listener_ = INVALID_SOCKET;
    SOCKET client_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    std::string input_;
};

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
        "$127BGNE3", "$127BGL81", "$127BGV19", "$127BGD38", "$127BGCAF",
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
