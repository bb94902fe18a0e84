// The tool's protocol logic against the fake controller over loopback: the
// poll's frames go out, the canned replies come back and decode.
#include <gtest/gtest.h>

#include "ConfigCommands.h"
#include "ControllerFrame.h"
#include "FakeController.h"
#include "LoopbackServer.h"
#include "ReplyDecoder.h"

using namespace gatecfg;
using fakecontroller::FakeController;
using fakecontroller::test::kWaitMs;
using fakecontroller::test::TinyServer;

namespace {

std::string WithoutLineEnd(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

}  // namespace

TEST(PollRoundTrip, FakeControllerAnswersThePollInDecodableReplies)
{
    TinyServer server;
    fakecontroller::Options options;
    options.port = server.Port();
    options.pingIntervalMs = 60000;
    FakeController controller(options);
    controller.Start();
    ASSERT_TRUE(server.Accept());
    server.Send("Welcome to TcpSrv\r\n");

    const std::string ping = WithoutLineEnd(server.ReadLine());
    ASSERT_TRUE(IsKeepAlive(ping));
    EXPECT_EQ(EchoFrame(ping), "$127BECHOCC");
    const DeviceIdentity device = DeviceIdentityFromLine(ping);

    std::string poll;
    for (const std::string& frame : PollFrames(device))
        poll += frame;
    const std::string relay = PrepareCommand(ConfigCommand::PanicRelay, L"127.0.0.1",
                                             [] {
                                                 ConfigControls c;
                                                 c.SpinEdit10 = 3;
                                                 c.MaskEdit1 = L"0.5";
                                                 return c;
                                             }())
                                  .Frame(device);
    server.Send(poll + relay);

    std::vector<DeviceInfoRow> rows;
    ConfigControls controls;
    for (int i = 0; i < 7; ++i) {
        const std::string reply = WithoutLineEnd(server.ReadReply());
        ASSERT_GE(reply.size(), 3u);
        EXPECT_EQ(AppendCrc(reply.substr(0, reply.size() - 2)), reply);
        const ReplyEffects effects = DecodeReply(reply);
        rows.insert(rows.end(), effects.Rows.begin(), effects.Rows.end());
        effects.Controls.ApplyTo(controls);
    }
    ASSERT_EQ(rows.size(), 4u + 14u + 1u + 7u);
    EXPECT_EQ(rows[0], (DeviceInfoRow{L"Имя устройства", L"TORVALA fake"}));
    EXPECT_EQ(rows[18], (DeviceInfoRow{L"Считыватель сторона "
                                       L"A",
                                       L"Подключен графический дисплей"}));
    EXPECT_EQ(rows[20], (DeviceInfoRow{L"FIFO буфер сторона "
                                       L"B"
                                       L" Скорость",
                                       L"9600ps"}));
    EXPECT_EQ(controls.SpinEdit10, 3);
    EXPECT_EQ(controls.MaskEdit6, L"1.0");

    ASSERT_TRUE(controller.WaitForReceived(8, kWaitMs));
    std::vector<std::string> expected = PollFrames(device);
    expected.push_back("$127BRP3059C");
    EXPECT_EQ(controller.Received(), expected);
}
