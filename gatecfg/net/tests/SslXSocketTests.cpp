// The SSL level between a client and a server of the socket library in one
// process, on loopback.
#include <winsock2.h>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "OpenSslHeapWatch.h"
#include "SslSocketFixture.h"
#include "net/CalyxSSLEAY.h"
#include "net/CalyxSslCallbacks.h"

namespace ssltest {
namespace {

const std::string kBanner = "Welcome to TcpSrv\r\n";

struct InProcessTest : SslSocketTest {
    // Our client connected to our server, both handshakes done and the
    // banner read; the server's side is Accepted.
    TXSocket* ConnectPair(const std::string& name = "cli")
    {
        if (!Server)
            StartServer();
        TXSocket* client = MakeClient(name);
        Connect(client, ServerPort);
        EXPECT_TRUE(WaitFor([&] {
            return Received[name] == kBanner && Server->ClientCount() > 0 &&
                   Server->Client(Server->ClientCount() - 1)->SslPhase() == sslPhaseEstablished;
        })) << Received[name];
        Accepted = Server->Client(Server->ClientCount() - 1);
        return client;
    }
    TXSocketClient* Accepted = nullptr;
};

TEST_F(InProcessTest, AClientAndAServerTalkLinesOverTls)
{
    TOpenSslHeapWatch heap;
    ASSERT_TRUE(heap.Installed());
    StartServer();
    TXSocket* client = MakeClient("cli");
    std::string peerSubject;
    bool hostMatches = false;
    client->OnSslHandshakeDone = [&](rtl::TObject*, WORD e, TX509Base* cert, bool&) {
        Log.push_back("cli:handshake:" + std::to_string(e));
        peerSubject = cert->SubjectOneLine();
        hostMatches = cert->PostConnectionCheck("localhost");
    };
    Connect(client, ServerPort);
    ASSERT_TRUE(WaitFor([&] { return Received["cli"] == kBanner; })) << Received["cli"];
    EXPECT_TRUE(Logged("cli:handshake:0"));
    EXPECT_TRUE(Logged("srv1:handshake:0"));
    EXPECT_EQ(client->SslVersion(), "TLSv1.2");
    EXPECT_EQ(peerSubject, "/C=RU/O=Calyx Test/OU=Gate/CN=gate.example.com");
    EXPECT_TRUE(hostMatches);

    Log.clear();
    client->SendStr("hello\r\nsecond line\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["srv1"] == "hello\r\nsecond line\r\n"; }))
        << Received["srv1"];
    ASSERT_TRUE(WaitFor([&] { return Logged("cli:sent:0"); }));
    EXPECT_EQ(Count("cli:sent:0"), 1);
    ServerClient(1)->SendStr("answer\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["cli"] == kBanner + "answer\r\n"; }));

    client->Close();
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed && Server->ClientCount() == 0; }));
    EXPECT_EQ(Count("cli:closed:0"), 1);
    EXPECT_EQ(Count("srv1:closed:0"), 1);
    EXPECT_EQ(client->Ssl(), nullptr);
    EXPECT_EQ(TOpenSslHeapWatch::BadFrees(), 0);
}

// The handshake-done event may end the session at once.
TEST_F(InProcessTest, TheHandshakeDoneEventMayDisconnect)
{
    StartServer();
    TXSocket* client = MakeClient("cli");
    client->OnSslHandshakeDone = [&](rtl::TObject*, WORD e, TX509Base*, bool& disconnect) {
        Log.push_back("cli:handshake:" + std::to_string(e));
        disconnect = true;
    };
    Connect(client, ServerPort);
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed && Server->ClientCount() == 0; }));
    EXPECT_EQ(Count("cli:handshake:0"), 1);
    EXPECT_EQ(Count("cli:closed:0"), 1);
}

// Sessions of our server found through its events: the server's new- and
// get-session events keep and give back the session under the id context
// its event named, and our client's events offer it again.
TEST_F(InProcessTest, ASessionResumesThroughTheServersEvents)
{
    ServerContext->SslSessionCacheModes = SSL_SESS_CACHE_SERVER | SSL_SESS_CACHE_NO_INTERNAL_LOOKUP;
    SSL_SESSION* serverKept = nullptr;
    SSL_SESSION* clientKept = nullptr;
    int lookups = 0;
    OnServerClient = [&](TXSocketClient* c) {
        c->OnSslSetSessionIDContext = [](rtl::TObject*, std::string& context) { context = "gatecfg tests"; };
        c->OnSslSvrNewSession = [&](rtl::TObject*, SSL_SESSION* session, const unsigned char*, int length,
                                    bool& keep) {
            EXPECT_EQ(length, 32);
            if (!serverKept) {
                serverKept = session;
                keep = true;  // the event holds a reference now
            }
        };
        c->OnSslSvrGetSession = [&](rtl::TObject*, SSL_SESSION*& session, const unsigned char*, int,
                                    bool& incRefCount) {
            ++lookups;
            session = serverKept;
            incRefCount = true;
        };
    };
    StartServer();
    TXSocket* first = MakeClient("first");
    first->OnSslCliNewSession = [&](rtl::TObject*, SSL_SESSION* session, bool, bool& inc) {
        clientKept = session;
        inc = true;
    };
    Connect(first, ServerPort);
    ASSERT_TRUE(WaitFor([&] { return Received["first"] == kBanner; }));
    ASSERT_NE(serverKept, nullptr);
    ASSERT_NE(clientKept, nullptr);
    EXPECT_FALSE(ServerClient(1)->SslSessionReused());

    TXSocket* second = MakeClient("second");
    second->OnSslCliGetSession = [&](rtl::TObject*, SSL_SESSION*& session, bool& freeSession) {
        session = clientKept;
        freeSession = true;  // our reference goes to the connection
    };
    Connect(second, ServerPort);
    ASSERT_TRUE(WaitFor([&] { return Received["second"] == kBanner; }));
    EXPECT_TRUE(second->SslSessionReused());
    EXPECT_TRUE(ServerClient(2)->SslSessionReused());
    EXPECT_EQ(lookups, 1);
    second->Close();
    first->Close();
    ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 0; }));
    ssleay::SSL_SESSION_free(serverKept);
}

// With SSL off the level passes everything through: OpenSSL is never
// loaded, and the only additions are its trace lines when a logger asks for
// them.
TEST_F(InProcessTest, WithSslOffEverythingPassesThroughWithItsTraces)
{
    TLogRecorder trace(LogOptionSet(loSslInfo));
    TXSocketServer* server = rtl::Create<TXSocketServer>(nullptr);
    Sockets.push_back(server);
    server->Banner = "plain";
    server->SetCxLogger(trace.Logger);
    server->SetAddr("127.0.0.1");
    server->SetPort("0");
    server->Listen();
    TXSocket* client = rtl::Create<TXSocket>(nullptr);
    Sockets.push_back(client);
    client->SetLineMode(true);
    client->SetCxLogger(trace.Logger);
    std::string got;
    client->OnDataAvailable = [&](rtl::TObject*, WORD) { got += client->ReceiveStr(); };
    Connect(client, u_short(std::stoi(server->GetXPort())));
    ASSERT_TRUE(WaitFor([&] { return got == "plain\r\n"; })) << got;
    client->SendStr("x");
    client->Close();
    ASSERT_TRUE(WaitFor([&] { return server->ClientCount() == 0; }));
    EXPECT_EQ(SslUsageCount(), 0);
    for (const char* line : {" Listening", " Do_FD_ACCEPT ", " Dup accepting accepted socket = ",
                             " DupConnected", " TryToSend ", " PutDataInSendBuffer ", " *CloseCalled "})
        EXPECT_TRUE(trace.Has(line)) << line;
    EXPECT_FALSE(trace.Has("SslTryToSend"));
    client->SetCxLogger(nullptr);
}

// A unidirectional shutdown (Shutdown, as Close does it) ends the session on
// both sides, each cleanly. The socket resets its connection at the close
// (the library's default linger), so the peer's answer to the close notify
// may find it gone: the peer's close is clean all the same.
TEST_F(InProcessTest, AUnidirectionalShutdownEndsTheSessionOnBothSides)
{
    TXSocket* client = ConnectPair();
    Log.clear();
    client->Shutdown(1);
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed && Server->ClientCount() == 0; }));
    EXPECT_EQ(Count("cli:shutdown:uni:0"), 1);
    EXPECT_EQ(Count("cli:closed:0"), 1);
    EXPECT_EQ(Count("srv1:closed:0"), 1);
    EXPECT_LE(Count("srv1:shutdown:uni:0"), 1);
}

// A bidirectional shutdown waits for the peer's close notify and leaves the
// connection open in the clear. Asked for alone, the peer answers and
// closes; asked for by both, both go on in the clear.
TEST_F(InProcessTest, ABidirectionalShutdownCompletesWithThePeersCloseNotify)
{
    TXSocket* alone = ConnectPair("alone");
    Log.clear();
    EXPECT_TRUE(alone->SslBiShutdownAsync());
    ASSERT_TRUE(WaitFor([&] { return Logged("alone:shutdown:bi:0"); }));
    EXPECT_FALSE(alone->SslEnable);
    EXPECT_EQ(alone->Ssl(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return alone->State() == wsClosed && Server->ClientCount() == 0; }));
    EXPECT_EQ(Count("srv1:shutdown:uni:0"), 1);

    TXSocket* both = ConnectPair("both");
    TXSocketClient* accepted = Accepted;
    Log.clear();
    EXPECT_TRUE(both->SslBiShutdownAsync());
    EXPECT_TRUE(accepted->SslBiShutdownAsync());
    ASSERT_TRUE(WaitFor([&] { return Logged("both:shutdown:bi:0") && Logged("srv2:shutdown:bi:0"); }));
    EXPECT_FALSE(both->SslEnable);
    EXPECT_FALSE(accepted->SslEnable);
    both->SendStr("in the clear\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["srv2"] == "in the clear\r\n"; })) << Received["srv2"];
    accepted->SendStr("still here\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["both"] == kBanner + "still here\r\n"; }));
    EXPECT_EQ(both->State(), wsConnected);
}

// Close while decrypted data waits: the application reads it first, then
// the session closes. A handler that reads nothing of it is offered it once
// more, and the close goes on without it.
TEST_F(InProcessTest, CloseWithUnreadPlaintextWaitsForTheReaderOnce)
{
    for (const bool reads : {true, false}) {
        SCOPED_TRACE(reads ? "a handler that reads" : "a handler that reads nothing");
        TXSocket* client = ConnectPair("cli" + std::to_string(reads));
        TXSocketClient* accepted = Accepted;
        accepted->SetLineMode(false);
        int offers = 0;
        bool closeAsked = false;
        std::string read;
        accepted->OnDataAvailable = [&, accepted](rtl::TObject*, WORD) {
            ++offers;
            if (!closeAsked) {
                closeAsked = true;
                accepted->Close();  // with everything still unread
                EXPECT_EQ(accepted->State(), wsConnected);
                return;
            }
            if (reads)
                read += accepted->ReceiveStr();
        };
        client->SendStr("the last words\r\n");
        ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed && Server->ClientCount() == 0; }));
        EXPECT_EQ(offers, 2);
        EXPECT_EQ(read, reads ? "the last words\r\n" : "");
    }
}

// The messages of a session that ended are dropped with its handle (a
// delayed close and the level's own events among them), and a reset asked
// for an earlier session leaves the present one alone.
TEST_F(InProcessTest, MessagesOfAnEndedSessionAreDropped)
{
    TXSocket* client = ConnectPair();
    PostMessageA(client->Handle(), client->MsgSslResetSession(), WPARAM(~0u), 0);
    Settle();
    EXPECT_EQ(client->SslPhase(), sslPhaseEstablished);

    const SOCKET old = client->HSocket();
    PostMessageA(client->Handle(), client->MsgSslTriggerEvent(), WPARAM(old), MAKELONG(FD_READ, 0));
    client->CloseDelayed();
    client->Abort();
    MSG queued;
    for (const UINT id : {client->MsgSslTriggerEvent(), client->MsgCloseDelayed(),
                          client->MsgAsyncSelect()})
        EXPECT_FALSE(PeekMessageA(&queued, client->Handle(), id, id, PM_NOREMOVE)) << id;
    EXPECT_EQ(client->PendingSslEvents(), 0);
}

// The notices asked of WinSock, by handle.
struct TSelectRecorder {
    TSelectRecorder()
    {
        Calls.clear();
        ReplaceWinsockEntry("WSAAsyncSelect", &Record);
    }
    ~TSelectRecorder() { SetWinsockEntry("WSAAsyncSelect", nullptr); }
    static int WSAAPI Record(SOCKET s, HWND wnd, u_int msg, long events)
    {
        Calls.push_back({s, events});
        using TFn = int(WSAAPI*)(SOCKET, HWND, u_int, long);
        return ProcCast<TFn>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "WSAAsyncSelect"))(
            s, wnd, msg, events);
    }
    static std::vector<long> MasksOf(SOCKET s)
    {
        std::vector<long> masks;
        for (const auto& c : Calls)
            if (c.first == s)
                masks.push_back(c.second);
        return masks;
    }
    static std::vector<std::pair<SOCKET, long>> Calls;
};
std::vector<std::pair<SOCKET, long>> TSelectRecorder::Calls;

// The read of a posted event keeps WinSock's read notices off while it runs
// and then brings back the mask in force: an accepted socket's, without the
// connect notice, and none at all once a handler paused the socket.
TEST_F(InProcessTest, APostedReadRestoresTheNoticesInForce)
{
    TXSocket* client = ConnectPair();
    TXSocketClient* accepted = Accepted;
    accepted->SetLineMode(false);
    bool pause = false;
    std::string read;
    accepted->OnDataAvailable = [&, accepted](rtl::TObject*, WORD) {
        if (pause) {
            accepted->Pause();
            return;
        }
        read += accepted->ReceiveStr();
    };
    TSelectRecorder recorder;
    const SOCKET handle = accepted->HSocket();
    client->SendStr("one\r\n");
    ASSERT_TRUE(WaitFor([&] { return read == "one\r\n"; }));
    for (const long mask : TSelectRecorder::MasksOf(handle))
        EXPECT_EQ(mask & ~(FD_READ | FD_WRITE | FD_CLOSE), 0) << mask;

    pause = true;
    client->SendStr("two\r\n");
    ASSERT_TRUE(WaitFor([&] { return accepted->Paused(); }));
    // Once more from the level's own event, with the plaintext still there.
    TSelectRecorder::Calls.clear();
    PostMessageA(accepted->Handle(), accepted->MsgSslTriggerEvent(), WPARAM(handle),
                 MAKELONG(FD_READ, 0));
    Settle();
    client->SendStr("three\r\n");
    Settle();
    EXPECT_EQ(read, "one\r\n");
    const std::vector<long> masks = TSelectRecorder::MasksOf(handle);
    EXPECT_TRUE(masks.empty() || masks.back() == 0) << masks.back();

    // The engine's callbacks hold a socket paused while they run, and leave
    // one the application paused as it was.
    TSslCallbackSocket* engineSide = accepted;
    engineSide->PauseSslSocket();
    engineSide->ResumeSslSocket();
    EXPECT_TRUE(accepted->Paused());

    pause = false;
    accepted->Resume();
    ASSERT_TRUE(WaitFor([&] { return read == "one\r\ntwo\r\nthree\r\n"; })) << read;
    EXPECT_EQ(TSelectRecorder::MasksOf(handle).back(), FD_READ | FD_WRITE | FD_CLOSE);
}

// WinSock that takes part of what it is offered and now and then nothing
// (announcing room again later, as WinSock does after a refusal).
struct TThrottledSend {
    explicit TThrottledSend(TCustomXSocket* socket)
    {
        Socket = socket;
        Calls = 0;
        Reset = false;
        ReplaceWinsockEntry("send", &Send);
    }
    ~TThrottledSend() { SetWinsockEntry("send", nullptr); }
    static int WSAAPI Send(SOCKET s, const char* data, int len, int flags)
    {
        using TFn = int(WSAAPI*)(SOCKET, const char*, int, int);
        const auto real = ProcCast<TFn>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "send"));
        if (s != Socket->HSocket())
            return real(s, data, len, flags);
        if (Reset && Calls > 0 && Calls % 3 == 0) {
            XSocket_WSASetLastError(WSAECONNRESET);
            return SOCKET_ERROR;
        }
        if (++Calls % 3 == 0) {
            PostMessageA(Socket->Handle(), Socket->MsgAsyncSelect(), WPARAM(s), MAKELONG(FD_WRITE, 0));
            XSocket_WSASetLastError(WSAEWOULDBLOCK);
            return SOCKET_ERROR;
        }
        return real(s, data, std::min(len, 1000), flags);
    }
    static TCustomXSocket* Socket;
    static int Calls;
    // After a refusal, the connection is reset.
    static bool Reset;
};
TCustomXSocket* TThrottledSend::Socket = nullptr;
int TThrottledSend::Calls = 0;
bool TThrottledSend::Reset = false;

// Ciphertext that WinSock takes in part, or refuses, leaves in the order
// the engine made it, also when an OnSendData handler makes more of it
// while a rest still waits: the peer decrypts every byte (a record out of
// order would fail its check and end the session).
TEST_F(InProcessTest, CiphertextSentInPiecesKeepsItsOrder)
{
    TXSocket* client = ConnectPair();
    TXSocketClient* accepted = Accepted;
    std::string text;
    for (int n = 0; text.size() < 300000; ++n)
        text += "line " + std::to_string(n) + std::string(size_t(n % 50), '.') + "\r\n";
    size_t queued = 0;
    const auto sendPiece = [&] {
        const size_t piece = std::min<size_t>(3000, text.size() - queued);
        client->Send(text.data() + queued, int(piece));
        queued += piece;
    };
    client->OnSendData = [&](rtl::TObject*, int) {
        if (queued < text.size())
            sendPiece();
    };
    TThrottledSend throttle(client);
    sendPiece();
    ASSERT_TRUE(WaitFor([&] { return Received["srv1"].size() >= text.size(); }, 60000))
        << Received["srv1"].size();
    EXPECT_TRUE(Received["srv1"] == text);
    EXPECT_GT(TThrottledSend::Calls, 300);
    EXPECT_EQ(accepted->SslPhase(), sslPhaseEstablished);
}

// A connection reset while ciphertext waits for WinSock ends the session:
// its close (an SSL shutdown, which completes later) meets the failure once
// more, and the session's close is reported once.
TEST_F(InProcessTest, ASendFailureEndsTheSessionOnce)
{
    TXSocket* client = ConnectPair();
    TThrottledSend throttle(client);
    TThrottledSend::Reset = true;
    Log.clear();
    client->SendStr(std::string(100000, 'x'));
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed; }));
    Settle();
    std::vector<std::string> own;
    std::copy_if(Log.begin(), Log.end(), std::back_inserter(own),
                 [](const std::string& e) { return e.rfind("cli:", 0) == 0; });
    EXPECT_EQ(own, (std::vector<std::string>{"cli:closed:10054"}));
}

// A closed session leaves no SSL state behind: the same object connects
// again (SSL switched on again: a close switches it off) with a fresh
// handshake, and runs in the clear when it is left off.
TEST_F(InProcessTest, ASocketConnectedAgainStartsWithACleanSession)
{
    TXSocket* client = ConnectPair();
    client->SendStr("first\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["srv1"] == "first\r\n"; }));
    client->Close();
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed; }));
    EXPECT_FALSE(client->SslEnable);
    EXPECT_EQ(client->SslPhase(), sslPhaseNone);
    EXPECT_EQ(client->HandshakeCount(), 0);
    EXPECT_EQ(client->SslVersion(), "Unknown");

    Received["cli"].clear();
    Log.clear();
    client->SslEnable = true;
    Connect(client, ServerPort);
    ASSERT_TRUE(WaitFor([&] { return Received["cli"] == kBanner; })) << Received["cli"];
    EXPECT_EQ(Count("cli:handshake:0"), 1);
    EXPECT_EQ(client->HandshakeCount(), 1);
    client->SendStr("second\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["srv2"] == "second\r\n"; }));

    // Without SSL the server sees the plain bytes, which fail its handshake.
    client->Close();
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed && Server->ClientCount() == 0; }));
    Log.clear();
    Connect(client, ServerPort);
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsConnected; }));
    client->SendStr("GET / HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(WaitFor([&] { return Logged("srv3:handshake:1"); }));
    EXPECT_EQ(Count("cli:handshake:0"), 0);
}

// Nothing raised inside the engine's callbacks unwinds through OpenSSL: an
// exception in the info callback's trace is logged and the handshake goes
// on; one in the verify event fails verification.
TEST_F(InProcessTest, ExceptionsInsideTheEnginesCallbacksStayThere)
{
    TLogRecorder trace(LogOptionSet(loSslErr, loSslInfo));
    trace.Logger->SetOnCxLogEvent([&](rtl::TObject*, TLogOption, const std::string& text) {
        trace.Lines.push_back(text);
        if (text.rfind("ICB> SSL_connect: SSLv3 read server hello", 0) == 0)
            throw rtl::Exception("trace failed");
    });
    StartServer();
    TXSocket* client = MakeClient("cli");
    client->SetCxLogger(trace.Logger);
    Connect(client, ServerPort);
    ASSERT_TRUE(WaitFor([&] { return Received["cli"] == kBanner; })) << Received["cli"];
    EXPECT_TRUE(trace.Has("ICB> exception: trace failed"));
    client->SetCxLogger(nullptr);

    TXSocket* doubting = MakeClient("doubting");
    doubting->OnSslVerifyPeer = [](rtl::TObject*, int&, TX509Base*) {
        throw rtl::Exception("verify failed");
    };
    doubting->SetCxLogger(trace.Logger);
    Connect(doubting, ServerPort);
    ASSERT_TRUE(WaitFor([&] { return doubting->State() == wsClosed; }));
    EXPECT_TRUE(Logged("doubting:handshake:1"));
    EXPECT_TRUE(trace.Has("VCB> exception: verify failed"));
    doubting->SetCxLogger(nullptr);

    // A close asked for inside the engine's call follows from the loop.
    TXSocket* closing = MakeClient("closing");
    closing->OnSslVerifyPeer = [closing](rtl::TObject*, int&, TX509Base*) { closing->Close(); };
    Connect(closing, ServerPort);
    ASSERT_TRUE(WaitFor([&] { return closing->State() == wsClosed; }));
    EXPECT_EQ(Count("closing:closed:0"), 1);

    // An SSL object that no socket owns reports to its context.
    ClientContext->InitContext();
    SSL* orphan = ssleay::SSL_new(ClientContext->SslCtx());
    SslInfoCallback(orphan, 0x10, 1);
    ssleay::SSL_free(orphan);
    EXPECT_TRUE(Errors.Has("ICB> exception: ICB> Extended data not assigned fatal error!"));
}

}  // namespace
}  // namespace ssltest
