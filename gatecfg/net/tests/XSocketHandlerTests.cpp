// Handlers that close, reopen or free their own socket from inside its
// events: whatever follows the event must leave the handler's doing alone.
#include <functional>

#include "XSocketFixture.h"
#include "net/CalyxXSocketSync.h"

using namespace xstest;

// A handler may open the next session as the last one closes; the reset
// after the close event must not wipe it.
TEST_F(XSocketTest, ASessionOpenedInsideOnSessionClosedLivesOn)
{
    struct TCase {
        const char* Name;
        bool OwnClose;  // else the peer closes
    } const kCases[] = {{"own Close", true}, {"peer's close", false}};
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        TCustomXSocket *cli, *acc;
        ConnectPair(cli, acc);
        const std::string port = Listener->GetXPort();
        int closes = 0;
        cli->OnSessionClosed = [&, cli](rtl::TObject*, WORD e) {
            Log.push_back("cli:closed:" + std::to_string(e));
            if (++closes > 1)
                return;
            cli->Close();  // a peer's close is handled while the socket is still open
            cli->SetAddr("127.0.0.1");
            cli->SetPort(port);
            cli->Connect();
        };
        const size_t acceptedBefore = Accepted.size();
        if (c.OwnClose)
            cli->Close();
        else
            acc->Close();
        ASSERT_TRUE(WaitFor([&] { return cli->State() == wsConnected && Accepted.size() > acceptedBefore; }));
        Settle();
        EXPECT_STREQ(SocketStateName(cli->State()), "wsConnected");
        EXPECT_EQ(closes, 1);
        TCustomXSocket* next = Accepted.back();
        EXPECT_EQ(cli->SendStr("again"), 5);
        EXPECT_TRUE(WaitFor([&] { return Count("acc:data:again") == 1; }));
        EXPECT_EQ(next->GetPeerPort(), cli->GetXPort());

        // The new session's own close is reported as well.
        next->Close();
        EXPECT_TRUE(WaitFor([&] { return closes == 2 && cli->State() == wsClosed; }));
        cli->OnSessionClosed = nullptr;
    }
}

// The peer's close drains the last data first; a data handler that closes
// there has reported the close, and the drain's own close must not again.
TEST_F(XSocketTest, ACloseFromTheDrainAtThePeersCloseIsReportedOnce)
{
    TPlainPeer server, peer;
    TCustomXSocket* cli = ConnectToPeer(server, peer);
    cli->OnDataAvailable = [&, cli](rtl::TObject*, WORD) {
        Log.push_back("cli:data:" + cli->ReceiveStr());
        cli->Close();
    };
    cli->Pause();  // the notices wait: the close notice is the first one handled
    peer.SendAll("bye");
    peer = TPlainPeer();
    ASSERT_TRUE(WaitFor([&] {
        char probe[8];
        return winsock::recv(cli->HSocket(), probe, sizeof probe, MSG_PEEK) == 3;
    }));
    Log.clear();
    cli->Resume();
    SendMessageA(cli->Handle(), cli->MsgAsyncSelect(), WPARAM(cli->HSocket()), MAKELONG(FD_CLOSE, 0));
    Settle();
    EXPECT_EQ(Log, (std::vector<std::string>{"cli:data:bye", "cli:state:wsClosed", "cli:closed:0"}));
}

// A delayed close belongs to the session it was asked for.
TEST_F(XSocketTest, ADelayedCloseNeverClosesTheNextSession)
{
    struct TCase {
        const char* Name;
        bool AskWhileConnected;
    } const kCases[] = {{"asked, then closed at once", true}, {"asked while closed", false}};
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        TCustomXSocket *cli, *acc;
        ConnectPair(cli, acc);
        if (c.AskWhileConnected) {
            EXPECT_TRUE(cli->CloseDelayed());
            cli->Close();
        } else {
            cli->Close();
            EXPECT_TRUE(cli->CloseDelayed());
        }
        cli->SetAddr("127.0.0.1");
        cli->SetPort(Listener->GetXPort());
        cli->Connect();
        ASSERT_TRUE(WaitFor([&] { return cli->State() == wsConnected; }));
        Settle();
        EXPECT_STREQ(SocketStateName(cli->State()), "wsConnected");
        cli->Close();
    }
}

// A handler that leaves the data where it is is not asked again and again:
// the thread goes on with its other messages and nothing is lost.
TEST_F(XSocketTest, AHandlerThatReadsNothingDoesNotHoldTheThread)
{
    TPlainPeer server, peer;
    TCustomXSocket* cli = ConnectToPeer(server, peer);
    int calls = 0;
    bool read = false;
    cli->OnDataAvailable = [&, cli](rtl::TObject*, WORD) {
        // Past a bound it reads after all, so that a spinning loop ends.
        if (++calls > 100 || read)
            Received.push_back(cli->ReceiveStr());
    };
    peer.SendAll("abc");
    ASSERT_TRUE(WaitFor([&] { return calls > 0; }));
    Settle();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(Received.empty());
    EXPECT_EQ(cli->ReceiveStr(), "abc");
    read = true;
    peer.SendAll("def");
    EXPECT_TRUE(WaitFor([&] { return Received == std::vector<std::string>{"def"}; }));
}

// A close from these handlers ends the session there: nothing of it follows.
TEST_F(XSocketTest, HandlersThatCloseTheirSocket)
{
    struct TCase {
        const char* Name;
        void (*Arm)(TCustomXSocket*, std::vector<std::string>&);
        bool PeerCloses;
        std::vector<std::string> Events;
    } const kCases[] = {
        {"OnSessionConnected",
         [](TCustomXSocket* s, std::vector<std::string>& log) {
             s->OnSessionConnected = [s, &log](rtl::TObject*, WORD e) {
                 log.push_back("cli:connected:" + std::to_string(e));
                 s->Close();
             };
         },
         false,
         {"cli:state:wsOpened", "cli:state:wsConnecting", "cli:state:wsConnected", "cli:connected:0",
          "cli:state:wsClosed", "cli:closed:0"}},
        {"OnChangeState to wsConnected",
         [](TCustomXSocket* s, std::vector<std::string>& log) {
             s->OnChangeState = [s, &log](rtl::TObject*, TSocketState, TSocketState to) {
                 log.push_back(std::string("cli:state:") + SocketStateName(to));
                 if (to == wsConnected)
                     s->Close();
             };
         },
         false,
         {"cli:state:wsOpened", "cli:state:wsConnecting", "cli:state:wsConnected", "cli:state:wsClosed",
          "cli:closed:0"}},
        {"OnSessionClosed",
         [](TCustomXSocket* s, std::vector<std::string>& log) {
             s->OnSessionClosed = [s, &log](rtl::TObject*, WORD e) {
                 log.push_back("cli:closed:" + std::to_string(e));
                 s->Close();
             };
         },
         true,
         {"cli:state:wsOpened", "cli:state:wsConnecting", "cli:state:wsConnected", "cli:connected:0",
          "cli:closed:0", "cli:state:wsClosed"}},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        Log.clear();
        TPlainPeer server;
        TCustomXSocket* cli = MakeSocket("cli");
        cli->OnDataSent = nullptr;
        c.Arm(cli, Log);
        cli->SetAddr("127.0.0.1");
        cli->SetPort(std::to_string(server.Listen()));
        cli->Connect();
        TPlainPeer peer = server.AcceptWait();
        if (c.PeerCloses) {
            ASSERT_TRUE(WaitFor([&] { return cli->State() == wsConnected; }));
            peer = TPlainPeer();
        }
        ASSERT_TRUE(WaitFor([&] { return cli->State() == wsClosed; }));
        Settle();
        EXPECT_EQ(Log, c.Events);
    }
}

namespace {

// Sockets that a handler frees from inside their own events; any use of
// them after the free faults (TGuarded).
struct FreeInEventTest : XSocketTest {
    template <class T = TCustomSslXSocket>
    T* Doomed(const std::string& name)
    {
        T* s = rtl::Create<TGuarded<T>>(nullptr);
        Record(s, name);
        return s;
    }
    void FreeFromHandler(TCustomXSocket* s)
    {
        Forget(s);
        s->Free();
        ++Frees;
    }
    bool FreedInTime()
    {
        return WaitFor([this] { return Frees == 1; });
    }
    // A doomed client, armed by the case, that starts its connect to the
    // server (a proxy when the target is a name).
    template <class T = TCustomSslXSocket>
    T* Connecting(TPlainPeer& server, const std::function<void(T*)>& arm,
                  const std::string& target = "127.0.0.1")
    {
        T* s = Doomed<T>("cli");
        arm(s);
        s->SetAddr(target);
        if (target == "127.0.0.1") {
            s->SetPort(std::to_string(server.Listen()));
        } else {
            s->SetPort("80");
            s->SetSocksServer("127.0.0.1");
            s->SetSocksPort(std::to_string(server.Listen()));
        }
        s->Connect();
        return s;
    }
    // A doomed client connected to a plain peer.
    TCustomSslXSocket* Connected(TPlainPeer& server, TPlainPeer& peer)
    {
        TCustomSslXSocket* s = Connecting<TCustomSslXSocket>(server, [](TCustomSslXSocket*) {});
        peer = server.AcceptWait();
        EXPECT_TRUE(WaitFor([&] { return s->State() == wsConnected; }));
        return s;
    }
    int Frees = 0;
};

struct TFreeCase {
    const char* Name;
    std::function<void(FreeInEventTest&)> Run;
};

using TArm = std::function<void(TCustomSslXSocket*)>;
using TLineArm = std::function<void(TXSocket*)>;

TArm FreeOnStateChange(FreeInEventTest& t, TSocketState at)
{
    return [&t, at](TCustomSslXSocket* s) {
        s->OnChangeState = [&t, s, at](rtl::TObject*, TSocketState, TSocketState to) {
            if (to == at)
                t.FreeFromHandler(s);
        };
    };
}

// The connect reaches the server; the case's handler frees the client.
void FreedWhileConnecting(FreeInEventTest& t, const TArm& arm, bool peerSeesTheEnd)
{
    TPlainPeer server;
    t.Connecting(server, arm);
    TPlainPeer peer = server.AcceptWait();
    EXPECT_TRUE(t.FreedInTime());
    if (peerSeesTheEnd) {
        EXPECT_TRUE(peer.WaitForEnd());
    }
}

// A proxy that answers the greeting as given; the handler frees the client.
void FreedByTheProxysAnswer(FreeInEventTest& t, const TArm& arm, const std::string& answer)
{
    TPlainPeer proxy;
    t.Connecting(proxy, arm, "target.host");
    TPlainPeer peer = proxy.AcceptWait();
    if (!answer.empty()) {
        peer.RecvWait(3);
        peer.SendAll(answer);
    }
    EXPECT_TRUE(t.FreedInTime());
}

// A line-mode client receives the chunk; the handler frees it.
void FreedByALineEvent(FreeInEventTest& t, const TLineArm& arm, const std::string& chunk)
{
    TPlainPeer server;
    t.Connecting<TXSocket>(server, [&arm](TXSocket* s) {
        s->SetLineMode(true);
        arm(s);
    });
    TPlainPeer peer = server.AcceptWait();
    peer.SendAll(chunk);
    EXPECT_TRUE(t.FreedInTime());
}

const TFreeCase kFreeCases[] = {
    {"OnChangeState to wsOpened, inside Connect",
     [](FreeInEventTest& t) {
         TPlainPeer server;
         t.Connecting(server, FreeOnStateChange(t, wsOpened));
         EXPECT_EQ(t.Frees, 1);
     }},
    {"OnChangeState to wsConnected",
     [](FreeInEventTest& t) { FreedWhileConnecting(t, FreeOnStateChange(t, wsConnected), true); }},
    {"OnSessionConnected",
     [](FreeInEventTest& t) {
         FreedWhileConnecting(
             t,
             [&t](TCustomSslXSocket* s) {
                 s->OnSessionConnected = [&t, s](rtl::TObject*, WORD) { t.FreeFromHandler(s); };
             },
             true);
     }},
    {"OnDataSent",
     [](FreeInEventTest& t) {
         FreedWhileConnecting(
             t,
             [&t](TCustomSslXSocket* s) {
                 s->OnDataSent = [&t, s](rtl::TObject*, WORD) { t.FreeFromHandler(s); };
             },
             false);
     }},
    {"OnDataAvailable",
     [](FreeInEventTest& t) {
         TPlainPeer server, peer;
         TCustomSslXSocket* s = t.Connected(server, peer);
         s->OnDataAvailable = [&t, s](rtl::TObject*, WORD) { t.FreeFromHandler(s); };
         peer.SendAll("data");
         EXPECT_TRUE(t.FreedInTime());
     }},
    {"OnSendData",
     [](FreeInEventTest& t) {
         TPlainPeer server, peer;
         TCustomSslXSocket* s = t.Connected(server, peer);
         s->OnSendData = [&t, s](rtl::TObject*, int) { t.FreeFromHandler(s); };
         s->SendStr("abc");
         EXPECT_EQ(peer.RecvWait(3), "abc");
     }},
    {"OnError of a send that fails",
     [](FreeInEventTest& t) {
         TPlainPeer server, peer;
         TCustomSslXSocket* s = t.Connected(server, peer);
         s->OnError = [&t, s](rtl::TObject*) { t.FreeFromHandler(s); };
         ReplaceWinsockEntry("send", +[](SOCKET, const char*, int, int) WSAAPI {
             winsock::WSASetLastError(WSAENOBUFS);
             return SOCKET_ERROR;
         });
         s->SendStr("abc");
         SetWinsockEntry("send", nullptr);
     }},
    {"OnChangeState to wsClosed, own Close",
     [](FreeInEventTest& t) {
         TPlainPeer server, peer;
         TCustomSslXSocket* s = t.Connected(server, peer);
         FreeOnStateChange(t, wsClosed)(s);
         s->Close();
     }},
    {"OnSessionClosed, own Close",
     [](FreeInEventTest& t) {
         TPlainPeer server, peer;
         TCustomSslXSocket* s = t.Connected(server, peer);
         s->OnSessionClosed = [&t, s](rtl::TObject*, WORD) { t.FreeFromHandler(s); };
         s->Close();
     }},
    {"OnSessionClosed, peer's close",
     [](FreeInEventTest& t) {
         TPlainPeer server, peer;
         TCustomSslXSocket* s = t.Connected(server, peer);
         s->OnSessionClosed = [&t, s](rtl::TObject*, WORD) { t.FreeFromHandler(s); };
         peer.SendAll("last");
         peer = TPlainPeer();
         EXPECT_TRUE(t.FreedInTime());
     }},
    {"OnBgException",
     [](FreeInEventTest& t) {
         TPlainPeer server, peer;
         TCustomSslXSocket* s = t.Connected(server, peer);
         s->OnDataAvailable = [](rtl::TObject*, WORD) { throw ESocketException("handler failed"); };
         s->OnBgException = [&t, s](rtl::TObject*, rtl::Exception&, bool&) { t.FreeFromHandler(s); };
         peer.SendAll("data");
         EXPECT_TRUE(t.FreedInTime());
     }},
    {"OnDnsLookupDone of a lookup of localhost",
     [](FreeInEventTest& t) {
         TCustomSslXSocket* s = t.Doomed("dns");
         s->OnDnsLookupDone = [&t, s](rtl::TObject*, WORD) { t.FreeFromHandler(s); };
         s->DnsLookup("localhost");
         EXPECT_TRUE(t.FreedInTime());
     }},
    {"OnSessionAvailable",
     [](FreeInEventTest& t) {
         TCustomSslXSocket* s = t.Doomed("srv");
         s->SetAddr("127.0.0.1");
         s->SetPort("0");
         s->OnSessionAvailable = [&t, s](rtl::TObject*, WORD) { t.FreeFromHandler(s); };
         s->Listen();
         TPlainPeer peer;
         peer.ConnectTo(u_short(std::stoi(s->GetXPort())));
         EXPECT_TRUE(t.FreedInTime());
     }},
    {"OnSessionConnected, inside a datagram Listen",
     [](FreeInEventTest& t) {
         TCustomSslXSocket* s = t.Doomed("udp");
         s->SetProto("udp");
         s->SetAddr("127.0.0.1");
         s->SetPort("0");
         s->OnSessionConnected = [&t, s](rtl::TObject*, WORD) { t.FreeFromHandler(s); };
         s->Listen();
     }},
    {"line OnDataAvailable",
     [](FreeInEventTest& t) {
         FreedByALineEvent(
             t,
             [&t](TXSocket* s) {
                 s->OnDataAvailable = [&t, s](rtl::TObject*, WORD) {
                     s->ReceiveStr();
                     t.FreeFromHandler(s);
                 };
             },
             "one\r\ntwo\r\n");
     }},
    {"OnLineLimitExceeded",
     [](FreeInEventTest& t) {
         FreedByALineEvent(
             t,
             [&t](TXSocket* s) {
                 s->SetLineLimit(4);
                 s->OnLineLimitExceeded = [&t, s](rtl::TObject*, int, bool&) { t.FreeFromHandler(s); };
             },
             "123456");
     }},
    {"OnSocksConnected",
     [](FreeInEventTest& t) {
         FreedByTheProxysAnswer(
             t,
             [&t](TCustomSslXSocket* s) {
                 s->OnSocksConnected = [&t, s](rtl::TObject*, WORD) { t.FreeFromHandler(s); };
             },
             "");
     }},
    {"OnSocksAuthState",
     [](FreeInEventTest& t) {
         FreedByTheProxysAnswer(
             t,
             [&t](TCustomSslXSocket* s) {
                 s->SocksAuthentication = socksAuthenticateUsercode;
                 s->OnSocksAuthState = [&t, s](rtl::TObject*, TSocksAuthState) { t.FreeFromHandler(s); };
             },
             std::string("\x05\x02", 2));
     }},
    {"OnSocksError",
     [](FreeInEventTest& t) {
         FreedByTheProxysAnswer(
             t,
             [&t](TCustomSslXSocket* s) {
                 s->OnSocksError = [&t, s](rtl::TObject*, int, const std::string&) {
                     t.FreeFromHandler(s);
                 };
             },
             std::string("\x05\xff", 2));
     }},
};

}  // namespace

TEST_F(FreeInEventTest, ASocketFreedInsideItsOwnEventIsNotTouchedAgain)
{
    for (const TFreeCase& c : kFreeCases) {
        SCOPED_TRACE(c.Name);
        Frees = 0;
        c.Run(*this);
        Settle();
        EXPECT_EQ(Frees, 1);
    }
}
