#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "XSocketFixture.h"
#include "net/CalyxXSocketS.h"

using namespace xstest;

namespace {

const std::string kWelcome = "Welcome to Calyx TcpSrv\r\n";
const std::string kTooBusy = "Sorry, too many clients\r\n";

// A server on 127.0.0.1 port 0 whose client events are recorded as
// "event:client name:error".
struct ServerTest : XSocketTest {
    TXSocketServer* Server = nullptr;
    u_short ServerPort = 0;
    std::vector<std::string> Events;
    std::vector<std::string> Lines;

    void SetUp() override
    {
        XSocketTest::SetUp();
        Server = rtl::Create<TXSocketServer>(nullptr);
        Server->SetName("XSocketServer1");
        Server->OnClientCreate = [this](rtl::TObject*, TXSocketClient* c) {
            Events.push_back("create:" + std::to_string(c->ClientId));
        };
        Server->OnClientConnect = [this](rtl::TObject*, TXSocketClient* c, WORD e) {
            Events.push_back("connect:" + c->Name() + ":" + std::to_string(e));
        };
        Server->OnClientDisconnect = [this](rtl::TObject*, TXSocketClient* c, WORD e) {
            Events.push_back("disconnect:" + c->Name() + ":" + std::to_string(e));
        };
    }
    void TearDown() override
    {
        rtl::FreeAndNil(Server);
        EXPECT_EQ(XSocketClientNoticeCount(), 0);
        XSocketTest::TearDown();
    }
    void Listen()
    {
        Server->SetAddr("127.0.0.1");
        Server->SetPort("0");
        Server->Listen();
        ServerPort = u_short(std::stoi(Server->GetXPort()));
    }
    std::unique_ptr<TPlainPeer> Connect(size_t clientsAfter)
    {
        auto peer = std::make_unique<TPlainPeer>();
        peer->ConnectTo(ServerPort);
        EXPECT_TRUE(WaitFor([&] { return size_t(Server->ClientCount()) == clientsAfter; }));
        return peer;
    }
    int Count(const std::string& event) const { return int(std::count(Events.begin(), Events.end(), event)); }
};

TEST_F(ServerTest, GreetsNumbersAndNamesEachClient)
{
    Listen();
    auto first = Connect(1);
    auto second = Connect(2);
    EXPECT_EQ(first->RecvWait(kWelcome.size()), kWelcome);
    EXPECT_EQ(second->RecvWait(kWelcome.size()), kWelcome);

    EXPECT_EQ(Events, (std::vector<std::string>{"create:1", "connect:XSocketServer1Client1:0", "create:2",
                                                "connect:XSocketServer1Client2:0"}));
    ASSERT_EQ(Server->ClientCount(), 2);
    EXPECT_EQ(Server->Client(0)->ClientId, 1);
    EXPECT_EQ(Server->Client(1)->Server, Server);
    EXPECT_EQ(Server->Client(0)->GetPeerPort(), std::to_string(first->LocalPort()));
    EXPECT_EQ(Server->Client(-1), nullptr);
    EXPECT_EQ(Server->Client(2), nullptr);
}

TEST_F(ServerTest, EmptyBannerSendsNothingAndCounterWraps)
{
    Server->Banner.clear();
    Server->ClientCounter = XSOCKET_MAX_CLIENT_ID - 1;
    Listen();
    auto a = Connect(1);
    auto b = Connect(2);
    EXPECT_EQ(Server->Client(0)->ClientId, XSOCKET_MAX_CLIENT_ID);
    EXPECT_EQ(Server->Client(1)->ClientId, 1);
    Server->DisconnectAll();
    EXPECT_TRUE(a->WaitForEnd());  // the close with no byte before it
    EXPECT_TRUE(b->WaitForEnd());
}

TEST_F(ServerTest, AfterTheCounterWrapsANumberStillInUseIsSkipped)
{
    Listen();
    auto longLived = Connect(1);
    Server->ClientCounter = XSOCKET_MAX_CLIENT_ID;  // the next number is 1 again
    auto next = Connect(2);
    EXPECT_EQ(next->RecvWait(kWelcome.size()), kWelcome);
    ASSERT_EQ(Server->ClientCount(), 2);
    EXPECT_EQ(Server->Client(1)->ClientId, 2);
    EXPECT_EQ(Server->Client(1)->Name(), "XSocketServer1Client2");
    EXPECT_EQ(Count("connect:XSocketServer1Client2:0"), 1);
}

TEST_F(ServerTest, AFailedClientCreationDropsTheConnection)
{
    std::vector<std::string> errors;
    Server->OnClientCreate = [](rtl::TObject*, TXSocketClient*) { throw rtl::Exception("no client"); };
    Server->OnBgException = [&](rtl::TObject*, rtl::Exception& e, bool& canClose) {
        errors.push_back(e.Message());
        canClose = false;  // keep listening
    };
    Listen();
    TPlainPeer refused;
    refused.ConnectTo(ServerPort);
    EXPECT_TRUE(refused.WaitForEnd());
    EXPECT_EQ(errors, std::vector<std::string>{"no client"});
    EXPECT_EQ(Server->ClientCount(), 0);

    Server->OnClientCreate = nullptr;
    auto next = Connect(1);
    EXPECT_EQ(next->RecvWait(kWelcome.size()), kWelcome);
    EXPECT_EQ(Server->Client(0)->Name(), "XSocketServer1Client2");
}

// The connection was gone before it could be taken, with this error.
int gAcceptError = WSAECONNABORTED;
SOCKET WSAAPI LostAccept(SOCKET s, sockaddr* addr, int* len)
{
    using TAcceptFn = SOCKET(WSAAPI*)(SOCKET, sockaddr*, int*);
    const auto real = ProcCast<TAcceptFn>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "accept"));
    const SOCKET taken = real(s, addr, len);
    if (taken != INVALID_SOCKET)
        winsock::closesocket(taken);
    winsock::WSASetLastError(gAcceptError);
    return INVALID_SOCKET;
}

TEST_F(ServerTest, AFailedAcceptLeavesNoClientBehind)
{
    std::vector<std::string> errors;
    Server->OnBgException = [&](rtl::TObject*, rtl::Exception& e, bool& canClose) {
        errors.push_back(e.Message());
        canClose = false;  // keep listening
    };
    Server->MaxClients = 1;
    Listen();
    struct {
        int Error;
        const char* Text;
    } const kLost[] = {{WSAECONNABORTED, "Connection aborted (#10053 in Accept)"},
                       // The reset is the pending peer's, not the listener's.
                       {WSAECONNRESET, "Connection reset by peer (#10054 in Accept)"}};
    for (const auto& lost : kLost) {
        SCOPED_TRACE(lost.Text);
        errors.clear();
        gAcceptError = lost.Error;
        ReplaceWinsockEntry("accept", &LostAccept);
        TPlainPeer peer;
        peer.ConnectTo(ServerPort);
        ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
        SetWinsockEntry("accept", nullptr);
        EXPECT_EQ(errors, std::vector<std::string>{lost.Text});
        EXPECT_EQ(Server->ClientCount(), 0);
        EXPECT_STREQ(SocketStateName(Server->State()), "wsListening");

        auto next = Connect(1);  // not turned away by a dead client
        EXPECT_EQ(next->RecvWait(kWelcome.size()), kWelcome);
        next.reset();
        ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 0; }));
    }
}

int WSAAPI LostPeerName(SOCKET, sockaddr*, int*)
{
    winsock::WSASetLastError(WSAENOTCONN);
    return SOCKET_ERROR;
}

// A connection lost before it could be taken is the newcomer's failure, not
// the listener's: reported, while the server keeps serving, also when the
// background handler leaves CanClose as it found it.
TEST_F(ServerTest, AConnectionLostWhileBeingTakenIsReportedAndTheServerKeepsServing)
{
    struct TCase {
        const char* Name;
        const char* Entry;
        FARPROC Fake;
        const char* Text;
    } const kCases[] = {
        {"reset before its accept", "accept", ProcCast<FARPROC>(&LostAccept),
         "Connection reset by peer (#10054 in Accept)"},
        {"peer address unreadable", "getpeername", ProcCast<FARPROC>(&LostPeerName),
         "Socket is not connected (#10057 in GetPeerName)"},
    };
    gAcceptError = WSAECONNRESET;
    Listen();
    for (const TCase& c : kCases) {
        for (const bool withOnError : {false, true}) {
            SCOPED_TRACE(std::string(c.Name) + (withOnError ? ", OnError" : ", OnBgException"));
            std::vector<std::string> errors;
            Server->OnBgException = [&](rtl::TObject*, rtl::Exception& e, bool&) {
                errors.push_back(e.Message());
            };
            if (withOnError)
                Server->OnError = [&](rtl::TObject*) { errors.push_back("OnError"); };
            SetWinsockEntry(c.Entry, c.Fake);
            TPlainPeer peer;
            peer.ConnectTo(ServerPort);
            ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
            Settle();
            SetWinsockEntry(c.Entry, nullptr);
            EXPECT_EQ(errors, std::vector<std::string>{withOnError ? "OnError" : c.Text});
            EXPECT_EQ(Server->ClientCount(), 0);
            EXPECT_STREQ(SocketStateName(Server->State()), "wsListening");
            EXPECT_TRUE(peer.WaitForEnd() || std::string(c.Entry) == "accept");

            auto next = Connect(1);
            EXPECT_EQ(next->RecvWait(kWelcome.size()), kWelcome);
            next.reset();
            ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 0; }));
            Server->OnError = nullptr;
        }
    }
}

TEST_F(ServerTest, AFailedClientCreationWhoseConnectionIsLostLeavesNoClientBehind)
{
    std::vector<std::string> errors;
    Server->OnClientCreate = [](rtl::TObject*, TXSocketClient*) { throw rtl::Exception("no client"); };
    Server->OnBgException = [&](rtl::TObject*, rtl::Exception& e, bool& canClose) {
        errors.push_back(e.Message());
        canClose = false;  // keep listening
    };
    Server->MaxClients = 1;
    Listen();
    gAcceptError = WSAECONNRESET;
    ReplaceWinsockEntry("accept", &LostAccept);
    TPlainPeer lost;
    lost.ConnectTo(ServerPort);
    ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
    SetWinsockEntry("accept", nullptr);
    EXPECT_EQ(errors, std::vector<std::string>{"no client"});  // the failure that came first
    EXPECT_EQ(Server->ClientCount(), 0);

    Server->OnClientCreate = nullptr;
    auto next = Connect(1);
    EXPECT_EQ(next->RecvWait(kWelcome.size()), kWelcome);
}

TEST_F(ServerTest, ClientBeyondTheLimitIsToldAndClosed)
{
    Server->MaxClients = 1;
    Listen();
    auto first = Connect(1);
    auto second = std::make_unique<TPlainPeer>();
    second->ConnectTo(ServerPort);
    EXPECT_EQ(second->RecvWait(kTooBusy.size()), kTooBusy);
    EXPECT_TRUE(second->WaitForEnd());
    ASSERT_TRUE(WaitFor([&] { return Count("disconnect:XSocketServer1Client2:0") == 1; }));
    EXPECT_EQ(first->RecvWait(kWelcome.size()), kWelcome);
    EXPECT_EQ(Count("connect:XSocketServer1Client1:0"), 1);
    EXPECT_EQ(Count("connect:XSocketServer1Client2:0"), 1);
    EXPECT_EQ(Server->ClientCount(), 1);
    EXPECT_EQ(Server->Client(0)->Name(), "XSocketServer1Client1");
}

TEST_F(ServerTest, GoneClientsRaiseDisconnectWithTheirErrorAndAreFreed)
{
    Listen();
    auto closing = Connect(1);
    auto resetting = Connect(2);
    TXSocketClient* first = Server->Client(0);
    std::string peerPort;
    Server->OnClientDisconnect = [&](rtl::TObject*, TXSocketClient* c, WORD e) {
        Events.push_back("disconnect:" + c->Name() + ":" + std::to_string(e));
        if (c == first)
            peerPort = c->GetPeerPort();  // still readable after the close
    };
    const std::string port = std::to_string(closing->LocalPort());
    closing.reset();
    ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 1; }));
    EXPECT_EQ(Count("disconnect:XSocketServer1Client1:0"), 1);
    EXPECT_EQ(peerPort, port);

    resetting->Reset();
    ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 0; }));
    // The error of a reset is what WinSock reports with FD_CLOSE (Wine: 0).
    Settle();
    ASSERT_EQ(Events.size(), 6u);  // one disconnect per client
    EXPECT_EQ(Events.back().rfind("disconnect:XSocketServer1Client2:", 0), 0u);
}

TEST_F(ServerTest, DisconnectAllFreesEveryClientAtOnce)
{
    Server->DisconnectAll();  // nothing to do
    Listen();
    std::vector<std::unique_ptr<TPlainPeer>> peers;
    for (size_t i = 1; i <= 3; ++i)
        peers.push_back(Connect(i));
    Events.clear();
    Server->DisconnectAll();
    EXPECT_EQ(Server->ClientCount(), 0);
    EXPECT_EQ(Events, (std::vector<std::string>{"disconnect:XSocketServer1Client1:10053",
                                                "disconnect:XSocketServer1Client2:10053",
                                                "disconnect:XSocketServer1Client3:10053"}));
    for (auto& p : peers) {
        EXPECT_EQ(p->RecvWait(kWelcome.size()), kWelcome);
        EXPECT_TRUE(p->WaitForEnd());
    }
    Settle();
    EXPECT_EQ(Events.size(), 3u);
}

TEST_F(ServerTest, ADisconnectHandlerThatDisconnectsEveryoneFreesEachClientOnce)
{
    Server->ClientClass = &XSocketClientClass<TGuarded<TXSocketClient>>;
    bool dropAll = true;
    Server->OnClientDisconnect = [&](rtl::TObject*, TXSocketClient* c, WORD e) {
        Events.push_back("disconnect:" + c->Name() + ":" + std::to_string(e));
        if (std::exchange(dropAll, false))
            Server->DisconnectAll();  // the client of this notice among them
    };
    Listen();
    auto leaving = Connect(1);
    auto other = Connect(2);
    Events.clear();
    leaving.reset();
    ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 0; }));
    Settle();
    EXPECT_EQ(Events, (std::vector<std::string>{"disconnect:XSocketServer1Client1:0",
                                                "disconnect:XSocketServer1Client1:10053",
                                                "disconnect:XSocketServer1Client2:10053"}));
    EXPECT_EQ(other->RecvWait(kWelcome.size()), kWelcome);
    EXPECT_TRUE(other->WaitForEnd());
}

// Any use of a server after its handler freed it faults (TGuarded).
TEST_F(ServerTest, AServerFreedInsideItsOwnEventIsNotTouchedAgain)
{
    using TFree = std::function<void()>;
    struct TCase {
        const char* Name;
        std::function<void(TXSocketServer*, TFree)> Arm;
        bool PeerLeaves;
    } const kCases[] = {
        {"OnSessionAvailable",
         [](TXSocketServer* s, TFree f) { s->OnSessionAvailable = [f](rtl::TObject*, WORD) { f(); }; },
         false},
        {"OnClientCreate",
         [](TXSocketServer* s, TFree f) { s->OnClientCreate = [f](rtl::TObject*, TXSocketClient*) { f(); }; },
         false},
        {"OnClientConnect",
         [](TXSocketServer* s, TFree f) {
             s->OnClientConnect = [f](rtl::TObject*, TXSocketClient*, WORD) { f(); };
         },
         false},
        {"OnClientDisconnect",
         [](TXSocketServer* s, TFree f) {
             s->OnClientDisconnect = [f](rtl::TObject*, TXSocketClient*, WORD) { f(); };
         },
         true},
    };
    rtl::FreeAndNil(Server);
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        Server = rtl::Create<TGuarded<TXSocketServer>>(nullptr);
        Server->SetName("XSocketServer1");
        bool freed = false;
        c.Arm(Server, [&] {
            freed = true;
            rtl::FreeAndNil(Server);
        });
        Listen();
        TPlainPeer peer;
        peer.ConnectTo(ServerPort);
        if (c.PeerLeaves) {
            ASSERT_TRUE(WaitFor([&] { return Server && Server->ClientCount() == 1; }));
            peer = TPlainPeer();
        }
        EXPECT_TRUE(WaitFor([&] { return freed; }));
        Settle();
    }
}

TEST_F(ServerTest, AClientFreedByItsCreationEventLeavesItsConnectionDropped)
{
    bool drop = true;
    Server->OnClientCreate = [&](rtl::TObject*, TXSocketClient* c) {
        if (std::exchange(drop, false))
            c->Free();
    };
    Listen();
    TPlainPeer dropped;
    dropped.ConnectTo(ServerPort);
    EXPECT_TRUE(dropped.WaitForEnd());
    EXPECT_EQ(Server->ClientCount(), 0);
    auto next = Connect(1);
    EXPECT_EQ(next->RecvWait(kWelcome.size()), kWelcome);
}

TEST_F(ServerTest, DestructionDropsPendingDisconnectNotices)
{
    Listen();
    auto a = Connect(1);
    auto b = Connect(2);
    Server->Client(0)->Close();  // notices posted, not yet handled
    Server->Client(1)->Close();
    EXPECT_EQ(XSocketClientNoticeCount(), 2);
    rtl::FreeAndNil(Server);
    EXPECT_EQ(XSocketClientNoticeCount(), 0);
    EXPECT_EQ(Count("disconnect:XSocketServer1Client1:0"), 0);
}

// The way the configuration tool runs its clients: line mode with editing
// and a limit of 160 that closes the connection.
TEST_F(ServerTest, ClientLinesOnLoopback)
{
    int limits = 0;
    int closed = 0;
    Server->OnClientConnect = [&](rtl::TObject*, TXSocketClient* c, WORD) {
        c->SetLineMode(true);
        c->SetLineEdit(true);
        c->SetLineLimit(160);
        c->OnDataAvailable = [this, c](rtl::TObject*, WORD) { Lines.push_back(c->ReceiveStr()); };
        c->OnLineLimitExceeded = [&, c](rtl::TObject*, int, bool&) {
            ++limits;
            c->Close();
        };
        c->OnSessionClosed = [&](rtl::TObject*, WORD) { ++closed; };
    };
    Listen();
    auto peer = Connect(1);
    peer->SendAll("$127BPING5C\r");
    peer->SendAll("\n");
    ASSERT_TRUE(WaitFor([&] { return Lines.size() == 1; }));
    peer->SendAll("ab\bc\tX\r\n#1");  // tab columns count from the line start
    ASSERT_TRUE(WaitFor([&] { return Lines.size() == 2; }));
    EXPECT_EQ(Lines, (std::vector<std::string>{"$127BPING5C\r\n", "ac      X\r\n"}));

    peer->SendAll(std::string(200, 'z'));
    ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 0; }));
    EXPECT_EQ(limits, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(Lines.size(), 2u);  // the cleared rest is no last line

    // An unterminated rest at the peer's close is the last line.
    auto second = Connect(1);
    second->SendAll("xyz");
    second.reset();
    ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 0; }));
    EXPECT_EQ(Lines.back(), "xyz");
}

TEST_F(ServerTest, SwitchingLineModeBackOnReoffersTheBufferedBytes)
{
    TXSocketClient* client = nullptr;
    Server->OnClientConnect = [&](rtl::TObject*, TXSocketClient* c, WORD) {
        client = c;
        c->SetLineMode(true);
        // Raw bytes are left unread; lines are read, and the first one ends
        // line mode.
        c->OnDataAvailable = [this, c](rtl::TObject*, WORD) {
            if (!c->LineMode())
                return;
            Lines.push_back(c->ReceiveStr());
            if (Lines.size() == 1)
                c->SetLineMode(false);
        };
    };
    Listen();
    auto peer = Connect(1);
    peer->SendAll("one\r\ntwo\r\nthree\r\n");
    ASSERT_TRUE(WaitFor([&] { return client && client->BufferedLineBytes() == 12; }));
    Settle();
    EXPECT_EQ(Lines, std::vector<std::string>{"one\r\n"});

    client->SetLineMode(true);
    ASSERT_TRUE(WaitFor([&] { return Lines.size() == 3; }));
    EXPECT_EQ(Lines, (std::vector<std::string>{"one\r\n", "two\r\n", "three\r\n"}));
    EXPECT_EQ(client->BufferedLineBytes(), 0);
}

TEST_F(ServerTest, SyncWaitEndsOnTheFlagOrTimesOut)
{
    Listen();
    auto* s = rtl::Create<TXSocket>(nullptr);
    Sockets.push_back(s);
    bool connected = false;
    s->OnSessionConnected = [&](rtl::TObject*, WORD) { connected = true; };
    s->Timeout = 15000;
    EXPECT_EQ(s->RunAndWait(
                  [&] {
                      s->SetAddr("127.0.0.1");
                      s->SetPort(std::to_string(ServerPort));
                      s->Connect();
                  },
                  connected),
              0);
    EXPECT_TRUE(connected);

    bool never = false;
    s->Timeout = 50;
    EXPECT_EQ(s->WaitForDone(never), XSOCKET_WAIT_TIMEOUT);
    s->Terminated = true;
    s->Timeout = 0;
    EXPECT_EQ(s->RunAndWait(nullptr, never), XSOCKET_WAIT_TIMEOUT);
}

}  // namespace
