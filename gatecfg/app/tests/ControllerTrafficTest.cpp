// The main form on the real socket server, listening on 127.0.0.1 port 0,
// with fake controllers connecting from threads of their own. This thread
// pumps the messages that carry the socket events.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ConfigCommands.h"
#include "FakeController.h"
#include "TcpSrv.h"
#include "Unit1.h"
#include "forms/Application.h"
#include "net/CalyxUnits.h"
#include "net/tests/OptionRecorder.h"

namespace gatecfg {
namespace {

using fakecontroller::FakeController;

const DWORD kWaitMs = 15000;

// Handles this thread's messages until cond() holds; false after the time-out.
// The controllers' progress is not a message, so the wait is bounded polling.
bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs = kWaitMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (cond())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

class TrafficTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        forms::SetConfirmHandler([](const std::wstring&) { return true; });
        application.OnException = [this](const std::exception& e) { errors.push_back(e.what()); };
        auto owned = std::make_unique<TTcpSrv>();
        server = owned.get();
        form = rtl::Create<TForm1>(nullptr, std::move(owned));
        Start();
    }
    void TearDown() override
    {
        form->Free();
        controllers.clear();
        forms::SetConfirmHandler(nullptr);
    }

    void Start()
    {
        form->SetListenAddr(listenAddr);
        form->SetListenPort("0");
        form->Button1Click(nullptr);
        ASSERT_TRUE(server->Listening());
        port = std::stoi(server->Port());
        ASSERT_GT(port, 0);
    }
    // A controller that has connected; its first keep-alive goes out at once
    // and the next only after a minute.
    FakeController& Connect()
    {
        fakecontroller::Options options;
        options.port = static_cast<std::uint16_t>(port);
        options.pingIntervalMs = 60000;
        controllers.push_back(std::make_unique<FakeController>(options));
        controllers.back()->Start();
        return *controllers.back();
    }
    // ... and has been answered, so the form has learned it.
    FakeController& ConnectAnswered()
    {
        FakeController& controller = Connect();
        EXPECT_TRUE(PumpUntil([&] { return controller.Received().size() == 1; }));
        return controller;
    }

    std::vector<std::wstring> Log() const
    {
        const forms::TLines& lines = form->DisplayMemo->Lines();
        std::vector<std::wstring> all;
        for (int i = 0; i < lines.Count(); ++i)
            all.push_back(lines[i]);
        return all;
    }
    bool Logged(const std::wstring& line) const
    {
        const std::vector<std::wstring> all = Log();
        return std::find(all.begin(), all.end(), line) != all.end();
    }

    std::string listenAddr = "127.0.0.1";
    calyx::TCalyxUnits units;
    forms::TApplication application;
    TTcpSrv* server = nullptr;
    TForm1* form = nullptr;
    int port = 0;
    std::vector<std::unique_ptr<FakeController>> controllers;
    std::vector<std::string> errors;
};

TEST_F(TrafficTest, KeepAliveIsEchoedExactlyUnloggedAndLearnsTheController)
{
    FakeController& controller = ConnectAnswered();
    EXPECT_EQ(controller.Banner(), "Welcome to TcpSrv");
    // A line end after the CRC would show in the frame.
    EXPECT_EQ(controller.Received(), std::vector<std::string>{"$127BECHOCC"});

    const std::vector<std::wstring> log = Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], L"Memo1");
    EXPECT_EQ(log[1].rfind(L"Client connected. Remote: 127.0.0.1/", 0), 0u) << log[1];
    const std::wstring local = L" Local: 127.0.0.1/" + std::to_wstring(port);
    EXPECT_EQ(log[1].substr(log[1].size() - local.size()), local) << log[1];
    EXPECT_EQ(log[2], L"There is now 1 clients connected.");
    EXPECT_EQ(log[3], L"$127BPING5C");

    ASSERT_EQ(form->ListView1->Count(), 1);
    EXPECT_EQ(form->ListView1->Item(0).Caption, L"127.0.0.1");
    EXPECT_EQ(form->ListView1->Item(0).SubItems, std::vector<std::wstring>{L"Comtroller"});
    ASSERT_EQ(form->DeviceCount(), 1);
    EXPECT_EQ(form->Device(0).DevNum, "127");
    EXPECT_EQ(form->Device(0).Side, "B");
    EXPECT_EQ(form->Device(0).Client, server->Client(0));
    EXPECT_EQ(server->Socket().Client(0)->Name(), "XSocketServer1Client1");
}

TEST_F(TrafficTest, ASecondControllerIsRefusedAndItsDisconnectForgetsTheSharedAddress)
{
    FakeController& first = ConnectAnswered();
    FakeController& second = Connect();
    ASSERT_TRUE(PumpUntil([&] { return second.Closed() && server->ClientCount() == 1; }));
    EXPECT_EQ(second.Banner(), "Sorry, too many clients");
    EXPECT_TRUE(second.Received().empty());
    EXPECT_TRUE(Logged(L"There is now 2 clients connected."));

    // Both came from 127.0.0.1: the refused one's disconnect took the record
    // and the row of that address, and the first one's next line learns it again.
    EXPECT_EQ(form->ListView1->Count(), 0);
    EXPECT_EQ(form->DeviceCount(), 0);
    ASSERT_TRUE(first.Send("$127BPING5C\r\n"));
    ASSERT_TRUE(PumpUntil([&] { return first.Received().size() == 2; }));
    EXPECT_EQ(first.Received()[1], "$127BECHOCC");
    ASSERT_EQ(form->ListView1->Count(), 1);
    ASSERT_EQ(form->DeviceCount(), 1);
    EXPECT_EQ(form->Device(0).Client, server->Client(0));
}

TEST_F(TrafficTest, AReconnectingControllerKeepsOneRowOnItsNewConnection)
{
    FakeController& before = ConnectAnswered();
    before.Stop();
    ASSERT_TRUE(PumpUntil([&] { return server->ClientCount() == 0; }));
    EXPECT_EQ(form->ListView1->Count(), 0);
    EXPECT_EQ(form->DeviceCount(), 0);

    ConnectAnswered();
    ASSERT_EQ(form->ListView1->Count(), 1);
    EXPECT_EQ(form->ListView1->Item(0).Caption, L"127.0.0.1");
    ASSERT_EQ(form->DeviceCount(), 1);
    EXPECT_EQ(form->Device(0).Client, server->Client(0));
}

TEST_F(TrafficTest, StopClosesEveryConnectionAndStartListensAgain)
{
    FakeController& before = ConnectAnswered();
    form->Button1Click(nullptr);
    EXPECT_EQ(form->Button1->Caption(), L"Запустить");
    EXPECT_EQ(form->ListView1->Count(), 0);
    EXPECT_EQ(form->DeviceCount(), 0);
    ASSERT_TRUE(PumpUntil([&] {
        return before.Closed() && !server->Listening() && server->ClientCount() == 0;
    }));
    EXPECT_TRUE(Logged(L"Session closed"));

    Start();
    EXPECT_EQ(form->Button1->Caption(), L"Остановить");
    FakeController& after = ConnectAnswered();
    EXPECT_EQ(after.Banner(), "Welcome to TcpSrv");
    EXPECT_EQ(form->ListView1->Count(), 1);
    EXPECT_EQ(form->DeviceCount(), 1);
}

TEST_F(TrafficTest, TheLogDropsItsOldestFiftyLinesOnlyPast200)
{
    FakeController& controller = ConnectAnswered();
    ASSERT_EQ(Log().size(), 4u);
    std::string lines;
    for (int i = 1; i <= 197; ++i)
        lines += "$127BXX" + std::to_string(i) + "\r\n";
    ASSERT_TRUE(controller.Send(lines));
    ASSERT_TRUE(PumpUntil([&] { return Log().size() == 201; }));
    const std::vector<std::wstring> full = Log();
    EXPECT_EQ(full[0], L"Memo1");
    EXPECT_EQ(full[200], L"$127BXX197");

    ASSERT_TRUE(controller.Send("$127BXX198\r\n"));
    ASSERT_TRUE(PumpUntil([&] { return Log().size() == 152; }));
    const std::vector<std::wstring> trimmed = Log();
    EXPECT_EQ(trimmed.front(), full[50]);
    EXPECT_EQ(trimmed.back(), L"$127BXX198");
}

// A NUL from a controller once ended the log window's text, hiding every
// later line: the window shows it as its code and the lines after it.
TEST_F(TrafficTest, TheLogWindowShowsTheLinesAfterANul)
{
    form->CreateHandle();
    FakeController& controller = ConnectAnswered();
    ASSERT_TRUE(controller.Send(std::string("$127BAB\0CD\x02\r\n", 13) + "$127BXX1\r\n$127BXX2\r\n"));
    ASSERT_TRUE(PumpUntil([&] { return Logged(L"$127BXX2"); }));
    const HWND memo = form->DisplayMemo->Handle();
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(memo)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(memo, &text[0], static_cast<int>(text.size()))));
    const std::wstring tail = L"\r\n$127BAB<00>CD<02>\r\n$127BXX1\r\n$127BXX2";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), form->DisplayMemo->Lines().Count());
}

TEST_F(TrafficTest, ALineOverTheLimitClosesOnlyThatConnection)
{
    FakeController& controller = ConnectAnswered();
    ASSERT_TRUE(controller.Send(std::string(161, 'x')));
    ASSERT_TRUE(PumpUntil([&] { return controller.Closed() && server->ClientCount() == 0; }));
    EXPECT_TRUE(Logged(L"Line limit exceeded from 127.0.0.1. Closing."));
    // The discarded bytes are not offered as a last line when the socket closes.
    EXPECT_FALSE(Logged(std::wstring(161, L'x')));
    EXPECT_EQ(form->ListView1->Count(), 0);
    EXPECT_EQ(form->DeviceCount(), 0);
    EXPECT_TRUE(errors.empty());

    ConnectAnswered();
    EXPECT_EQ(form->DeviceCount(), 1);
}

TEST_F(TrafficTest, ThePollSendsSevenFramesAndTheRepliesReachTheControls)
{
    FakeController& controller = ConnectAnswered();
    form->ListView1->SetItemIndex(0);
    form->Button2Click(nullptr);
    // Four identity rows, 14 of the configuration, one and seven of the readers.
    ASSERT_TRUE(PumpUntil([&] { return form->DeviceInfo->Count() == 26; }))
        << form->DeviceInfo->Count();

    const std::vector<std::string> poll = PollFrames({"127", "B"});
    ASSERT_EQ(poll.size(), 7u);
    std::vector<std::string> received = controller.Received();
    received.erase(received.begin());
    EXPECT_EQ(received, poll);
    for (const std::string& frame : poll)
        EXPECT_TRUE(Logged(L"Send ->" + std::wstring(frame.begin(), frame.end()))) << frame;

    EXPECT_EQ(form->DeviceInfo->Item(0).Caption, L"Имя устройства");
    EXPECT_EQ(form->DeviceInfo->Item(0).SubItems, std::vector<std::wstring>{L"TORVALA fake"});
    EXPECT_EQ(form->DeviceInfo->Item(18).Caption, L"Считыватель сторона A");
    EXPECT_EQ(form->SpinEdit10->Value(), 3);
    EXPECT_EQ(form->MaskEdit6->Text(), L"1.0");
    EXPECT_TRUE(errors.empty());
}

TEST_F(TrafficTest, ASendOnAClosedConnectionGoesToTheDefaultExceptionHandler)
{
    FakeController& controller = ConnectAnswered();
    form->CreateHandle();
    form->ListView1->SetItemIndex(0);
    // Closed, while its record waits for the disconnect notice.
    server->Client(0)->Close();
    ASSERT_EQ(form->DeviceCount(), 1);
    SendMessageW(form->Button2->Handle(), BM_CLICK, 0, 0);

    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("#10057 in Send"), std::string::npos) << errors[0];
    for (const std::wstring& line : Log())
        EXPECT_EQ(line.find(L"Send ->"), std::wstring::npos) << line;
    ASSERT_TRUE(PumpUntil([&] { return controller.Closed() && form->DeviceCount() == 0; }));
    EXPECT_EQ(controller.Received(), std::vector<std::string>{"$127BECHOCC"});
}

// The options every accepted connection gets: linger as the component's
// default, and keep-alive probes after 10 s of silence, every 2 s.
TEST_F(TrafficTest, EachConnectionIsProbedAfterTenSecondsOfSilence)
{
    xstest::TOptionRecorder recorder;
    ConnectAnswered();
    EXPECT_EQ(xstest::TOptionRecorder::Calls,
              (std::vector<std::string>{"65535/128={1,0}", "ioctl 98000004=1,10000,2000"}));
}

// The probes are answered by a live controller's system: one that says nothing
// for a minute keeps its connection, and its next keep-alive is answered.
TEST_F(TrafficTest, ASilentLiveControllerIsKeptAndAnsweredAfterAMinute)
{
    FakeController& controller = ConnectAnswered();
    ASSERT_TRUE(PumpUntil([&] { return controller.Received().size() == 2 || server->ClientCount() == 0; }, 90000));
    EXPECT_EQ(controller.Received(), (std::vector<std::string>{"$127BECHOCC", "$127BECHOCC"}));
    EXPECT_FALSE(controller.Closed());
    EXPECT_EQ(server->ClientCount(), 1);
    EXPECT_EQ(form->DeviceCount(), 1);
}

// The controller in a network namespace of its own that netns-controller.py
// sets up around this test program, driven through its loopback control port.
class TNetnsController {
public:
    explicit TNetnsController(const std::string& control)
    {
        WSADATA data;
        FStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        const size_t colon = control.find(':');
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = inet_addr(control.substr(0, colon).c_str());
        a.sin_port = htons(static_cast<u_short>(std::atoi(control.c_str() + colon + 1)));
        FSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (connect(FSocket, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
            closesocket(FSocket);
            FSocket = INVALID_SOCKET;
        }
    }
    ~TNetnsController()
    {
        if (FSocket != INVALID_SOCKET)
            closesocket(FSocket);
        if (FStarted)
            WSACleanup();
    }
    TNetnsController(const TNetnsController&) = delete;
    TNetnsController& operator=(const TNetnsController&) = delete;

    // Sends one request and handles this thread's messages until its one-line
    // answer has come.
    std::string Request(const std::string& request)
    {
        const std::string line = request + "\n";
        if (FSocket == INVALID_SOCKET ||
            send(FSocket, line.data(), static_cast<int>(line.size()), 0) != static_cast<int>(line.size()))
            return "error: no control connection";
        std::string answer;
        bool ended = false;
        const bool answered = PumpUntil([&] {
            for (;;) {
                fd_set readable;
                FD_ZERO(&readable);
                FD_SET(FSocket, &readable);
                timeval now = {0, 0};
                char c;
                if (select(0, &readable, nullptr, nullptr, &now) != 1)
                    return false;
                if (recv(FSocket, &c, 1, 0) != 1)
                    return ended = true;
                if (c == '\n')
                    return true;
                answer += c;
            }
        });
        if (!answered || ended)
            return "error: no answer to " + request;
        return answer;
    }

private:
    bool FStarted = false;
    SOCKET FSocket = INVALID_SOCKET;
};

// Listening on every address, for a controller behind a link of its own.
class VanishingControllerTest : public TrafficTest {
protected:
    VanishingControllerTest() { listenAddr = "0.0.0.0"; }
};

// A controller that loses power or its cable sends no FIN, and the tool never
// writes to an idle controller. Its connection used to keep the only client
// slot for ever; the probes find it gone and the slot is freed by itself.
TEST_F(VanishingControllerTest, AVanishedControllerFreesTheSlotWithinAMinute)
{
    const char* control = std::getenv("GATECFG_NETNS_CONTROL");
    if (!control)
        GTEST_SKIP() << "runs inside netns-controller.py (ctest gatecfg_vanish_tests)";
    TNetnsController remote(control);
    ASSERT_EQ(remote.Request("connect " + std::to_string(port)), "ok Welcome to TcpSrv|$127BECHOCC");
    ASSERT_EQ(form->ListView1->Count(), 1);
    EXPECT_EQ(form->ListView1->Item(0).Caption, L"169.254.231.2");

    ASSERT_EQ(remote.Request("cut"), "ok");
    const DWORD cut = GetTickCount();
    // The slot is still taken, well before the first probe is due.
    FakeController& refused = Connect();
    ASSERT_TRUE(PumpUntil([&] { return refused.Closed() && server->ClientCount() == 1; }));
    EXPECT_EQ(refused.Banner(), "Sorry, too many clients");
    EXPECT_TRUE(Logged(L"There is now 2 clients connected."));
    EXPECT_EQ(form->ListView1->Count(), 1);

    // The unanswered probes make the system drop the connection, and the
    // server frees the slot and forgets the controller as for any close.
    ASSERT_TRUE(PumpUntil([&] { return server->ClientCount() == 0; }, 60000 - (GetTickCount() - cut)));
    EXPECT_EQ(form->ListView1->Count(), 0);
    EXPECT_EQ(form->DeviceCount(), 0);
    FakeController& welcomed = ConnectAnswered();
    EXPECT_EQ(welcomed.Banner(), "Welcome to TcpSrv");
    EXPECT_EQ(welcomed.Received(), std::vector<std::string>{"$127BECHOCC"});
    ASSERT_EQ(form->ListView1->Count(), 1);
    EXPECT_EQ(form->ListView1->Item(0).Caption, L"127.0.0.1");
    const std::vector<std::wstring> log = Log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::wstring& line) {
        return line.rfind(L"Client connected. Remote: 169.254.231.2/", 0) == 0;
    }));
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3].rfind(L"Client connected. Remote: 127.0.0.1/", 0), 0u);
    EXPECT_EQ(log[log.size() - 2], L"There is now 1 clients connected.");
    EXPECT_EQ(log.back(), L"$127BPING5C");
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace gatecfg
