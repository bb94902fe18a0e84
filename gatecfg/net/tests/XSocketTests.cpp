// The socket component on loopback: opening, data both ways, the three
// closes, errors and the background-exception path.
#include <functional>
#include <thread>
#include <utility>

#include "XSocketFixture.h"

using namespace xstest;

namespace {

std::vector<std::string> Only(const std::vector<std::string>& log, const std::string& prefix)
{
    std::vector<std::string> r;
    for (const auto& e : log)
        if (e.compare(0, prefix.size(), prefix) == 0)
            r.push_back(e);
    return r;
}

std::string Pattern(size_t size)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = char('a' + (i * 7 + i / 251) % 26);
    return s;
}

}  // namespace

TEST_F(XSocketTest, ConnectAcceptAndDataBothWaysInTheEventOrder)
{
    const u_short port = StartListener();
    EXPECT_EQ(Listener->State(), wsListening);
    EXPECT_EQ(Only(Log, "srv:"), (std::vector<std::string>{"srv:state:wsBound", "srv:state:wsListening"}));

    TCustomXSocket* cli = ConnectClient(port);
    ASSERT_TRUE(WaitFor([&] { return cli->State() == wsConnected && !Accepted.empty(); }));
    TCustomXSocket* acc = Accepted.back();
    ASSERT_TRUE(WaitFor([&] { return Count("cli:sent:0") == 1; }));
    EXPECT_EQ(Only(Log, "cli:"),
              (std::vector<std::string>{"cli:state:wsOpened", "cli:state:wsConnecting",
                                        "cli:state:wsConnected", "cli:connected:0", "cli:sent:0"}));
    // The adopted handle: connected without a connect event, peer known.
    ASSERT_FALSE(Only(Log, "acc:").empty());
    EXPECT_EQ(Only(Log, "acc:")[0], "acc:state:wsConnected");
    EXPECT_EQ(Count("acc:connected:0"), 0);
    EXPECT_EQ(acc->GetPeerAddr(), "127.0.0.1");
    EXPECT_EQ(acc->GetPeerPort(), cli->GetXPort());
    EXPECT_EQ(cli->GetPeerPort(), std::to_string(port));

    Log.clear();
    EXPECT_EQ(cli->SendStr("hello"), 5);
    ASSERT_TRUE(WaitFor([&] { return Count("acc:data:hello") == 1 && Count("cli:sent:0") == 1; }));
    EXPECT_EQ(acc->SendStr("world"), 5);
    ASSERT_TRUE(WaitFor([&] { return Count("cli:data:world") == 1; }));
    EXPECT_EQ(cli->WriteCount(), 5u);
    EXPECT_EQ(cli->ReadCount(), 5u);

    Log.clear();
    cli->Close();
    EXPECT_EQ(Only(Log, "cli:"), (std::vector<std::string>{"cli:state:wsClosed", "cli:closed:0"}));
    ASSERT_TRUE(WaitFor([&] { return acc->State() == wsClosed; }));
    EXPECT_EQ(Only(Log, "acc:"), (std::vector<std::string>{"acc:closed:0", "acc:state:wsClosed"}));

    // A close resets the addressing: address and port have to be given again.
    cli->Close();
    EXPECT_EQ(Only(Log, "cli:").size(), 2u);
    try {
        cli->Connect();
        FAIL() << "connect without a port";
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "Connect: No Port Specified");
    }
    cli->SetPort(std::to_string(port));
    EXPECT_THROW(cli->Connect(), ESocketException);  // no address either
    cli->SetAddr("127.0.0.1");
    cli->Connect();
    EXPECT_TRUE(WaitFor([&] { return cli->State() == wsConnected; }));
}

TEST_F(XSocketTest, RefusedConnectReportsTheErrorAndCloses)
{
    TCustomXSocket* cli = MakeSocket("cli");
    cli->SetAddr("127.0.0.1");
    cli->SetPort(std::to_string(UnusedPort()));
    try {
        cli->Connect();
    } catch (ESocketException& e) {
        // Some stacks refuse a loopback connect at once.
        EXPECT_NE(e.Message().find("#10061 in Connect"), std::string::npos) << e.Message();
        return;
    }
    ASSERT_TRUE(WaitFor([&] { return cli->State() == wsClosed; }));
    EXPECT_EQ(Only(Log, "cli:"),
              (std::vector<std::string>{"cli:state:wsOpened", "cli:state:wsConnecting",
                                        "cli:state:wsConnected", "cli:connected:10061",
                                        "cli:state:wsClosed", "cli:closed:0"}));
}

TEST_F(XSocketTest, PeerResetClosesOnceWithTheError)
{
    TPlainPeer server, peer;
    TCustomXSocket* cli = ConnectToPeer(server, peer);
    peer.SendAll("last words");
    ASSERT_TRUE(WaitFor([&] { return Count("cli:data:last words") == 1; }));
    peer.Reset();
    // Without handling the notices, wait until the reset has arrived; the
    // sends then fail and end the session with the error, once.
    const DWORD start = GetTickCount();
    for (;;) {
        char c;
        if (winsock::recv(cli->HSocket(), &c, 1, MSG_PEEK) >= 0 ||
            winsock::WSAGetLastError() != WSAEWOULDBLOCK || GetTickCount() - start > 15000)
            break;
        Sleep(5);
    }
    for (int i = 0; i < 100 && cli->State() != wsClosed; ++i) {
        cli->SendStr("too late");
        Sleep(5);
    }
    EXPECT_EQ(cli->State(), wsClosed);
    Settle();
    const auto closes = Only(Log, "cli:closed:");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_TRUE(closes[0] == "cli:closed:10054" || closes[0] == "cli:closed:10053") << closes[0];
}

TEST_F(XSocketTest, ASendBeforeTheConnectionEndsThatSessionAndTheNextStillReportsItsClose)
{
    TPlainPeer server;
    const u_short port = server.Listen();
    TCustomXSocket* cli = MakeSocket("cli");
    cli->OnError = [](rtl::TObject*) {};
    cli->SetAddr("127.0.0.1");
    cli->SetPort(std::to_string(port));
    cli->Connect();
    ASSERT_EQ(cli->State(), wsConnecting);
    EXPECT_EQ(cli->SendStr("early"), -1);  // 10057 closes the half-open socket
    EXPECT_EQ(cli->State(), wsClosed);
    EXPECT_EQ(Only(Log, "cli:closed:"), (std::vector<std::string>{"cli:closed:10057"}));
    { TPlainPeer dropped = server.AcceptWait(); }
    Log.clear();

    cli->SetAddr("127.0.0.1");
    cli->SetPort(std::to_string(port));
    cli->Connect();
    {
        TPlainPeer peer = server.AcceptWait();
        ASSERT_TRUE(WaitFor([&] { return cli->State() == wsConnected; }));
    }  // the peer closes
    ASSERT_TRUE(WaitFor([&] { return cli->State() == wsClosed; }));
    Settle();
    EXPECT_EQ(Only(Log, "cli:closed:"), (std::vector<std::string>{"cli:closed:0"}));
}

// A close shuts the sending half down first and switches the default abortive
// linger off, so that nothing sent is thrown away; an abort drops the queued
// data and closes without a shutdown, with linger switched off.
TEST_F(XSocketTest, CloseCloseDelayedAndAbort)
{
    struct TCase {
        const char* Name;
        void (*Run)(TCustomXSocket*);
        bool ClosedAtOnce;
        bool KeepsQueuedData;
        std::vector<std::string> Calls;
    } const kCases[] = {
        {"Close", [](TCustomXSocket* s) { s->Close(); }, true, true, {"shutdown 1", "65535/128={0,0}"}},
        {"CloseDelayed", [](TCustomXSocket* s) { s->CloseDelayed(); }, false, true, {"shutdown 1", "65535/128={0,0}"}},
        {"Abort", [](TCustomXSocket* s) { s->Abort(); }, true, false, {"65535/128={0,0}"}},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        TPlainPeer server, peer;
        TCustomXSocket* cli = ConnectToPeer(server, peer);
        Log.clear();
        cli->PutStringInSendBuffer("queued");  // not yet offered to WinSock
        {
            TOptionRecorder recorder;
            c.Run(cli);
            EXPECT_EQ(cli->State() == wsClosed, c.ClosedAtOnce);
            ASSERT_TRUE(WaitFor([&] { return cli->State() == wsClosed; }));
            EXPECT_EQ(TOptionRecorder::Calls, c.Calls);
        }
        EXPECT_EQ(Only(Log, "cli:closed:"), (std::vector<std::string>{"cli:closed:0"}));
        EXPECT_EQ(cli->BufferedByteCount(), c.KeepsQueuedData ? 6 : 0);
        EXPECT_TRUE(peer.WaitForEnd());  // a FIN reaches the peer either way
        cli->DeleteBufferedData();
    }
}

TEST_F(XSocketTest, ShutdownEndsOnlyTheSendingHalf)
{
    TCustomXSocket *cli, *acc;
    ConnectPair(cli, acc);
    cli->Shutdown(SD_SEND);
    ASSERT_TRUE(WaitFor([&] { return acc->State() == wsClosed; }));
    // The accepted side saw the FIN and closed; before that its reply could
    // still reach the half-closed client, which ends on the peer's close.
    ASSERT_TRUE(WaitFor([&] { return cli->State() == wsClosed; }));
    EXPECT_EQ(Count("cli:closed:0"), 1);
}

TEST_F(XSocketTest, HalfClosedSocketStillReceives)
{
    TPlainPeer server, peer;
    TCustomXSocket* cli = ConnectToPeer(server, peer);
    cli->Shutdown(SD_SEND);
    EXPECT_TRUE(peer.WaitForEnd());
    peer.SendAll("after shutdown");
    EXPECT_TRUE(WaitFor([&] { return Count("cli:data:after shutdown") == 1; }));
    EXPECT_EQ(cli->State(), wsConnected);
}

TEST_F(XSocketTest, ClosingFromInsideTheDataHandler)
{
    for (bool delayed : {false, true}) {
        SCOPED_TRACE(delayed ? "CloseDelayed" : "Close");
        TCustomXSocket *cli, *acc;
        ConnectPair(cli, acc);
        TSocketState stateAfterCall = wsInvalidState;
        acc->OnDataAvailable = [&, acc](rtl::TObject*, WORD) {
            acc->ReceiveStr();
            if (delayed)
                acc->CloseDelayed();
            else
                acc->Close();
            stateAfterCall = acc->State();
        };
        cli->SendStr("bye");
        ASSERT_TRUE(WaitFor([&] { return acc->State() == wsClosed && cli->State() == wsClosed; }));
        EXPECT_EQ(stateAfterCall, delayed ? wsConnected : wsClosed);
        EXPECT_EQ(Count("acc:closed:0"), 1);
        EXPECT_EQ(Count("cli:closed:0"), 1);
    }
}

TEST_F(XSocketTest, SendingMoreThanTheSocketTakesQueuesAndDrains)
{
    TPlainPeer server, peer;
    TCustomXSocket* cli = ConnectToPeer(server, peer);
    ASSERT_TRUE(WaitFor([&] { return Count("cli:sent:0") == 1; }));
    Log.clear();

    // The peer does not read: WinSock's buffers fill and the rest waits.
    const std::string data = Pattern(8 * 1024 * 1024);
    for (size_t at = 0; at < data.size(); at += 65536)
        ASSERT_EQ(cli->Send(data.data() + at, 65536), 65536);
    EXPECT_GT(cli->BufferedByteCount(), 0);
    EXPECT_FALSE(cli->AllSent());
    Settle();
    EXPECT_EQ(Count("cli:sent:0"), 0);

    const std::string got = peer.RecvWait(data.size());
    EXPECT_TRUE(got == data) << "received " << got.size() << " of " << data.size();
    ASSERT_TRUE(WaitFor([&] { return Count("cli:sent:0") == 1; }));
    EXPECT_EQ(cli->BufferedByteCount(), 0);
    EXPECT_TRUE(cli->AllSent());
    EXPECT_EQ(cli->WriteCount(), data.size());
}

// Every byte goes out once and in order when OnSendData sends again, also
// while older blocks of the chain still wait behind the ones that went out.
TEST_F(XSocketTest, ASendFromInsideOnSendDataGoesOutOnceBehindWhatWasSent)
{
    for (const std::string& first : {std::string("abc"), Pattern(3000)}) {
        SCOPED_TRACE(first.size());
        TPlainPeer server, peer;
        TCustomXSocket* cli = ConnectToPeer(server, peer);
        int events = 0;
        size_t reported = 0;
        cli->OnSendData = [&](rtl::TObject*, int count) {
            reported += size_t(count);
            if (++events == 1) {
                EXPECT_EQ(cli->SendStr("X"), 1);
            }
        };
        EXPECT_NO_THROW(EXPECT_EQ(cli->SendStr(first), int(first.size())));
        const std::string got = peer.RecvWait(first.size() + 1);
        EXPECT_TRUE(got == first + "X") << "received " << got.size() << " bytes";
        Settle();
        char extra;
        EXPECT_EQ(winsock::recv(peer.S, &extra, 1, 0), SOCKET_ERROR) << "more bytes than were sent";
        EXPECT_EQ(reported, first.size() + 1);
        EXPECT_EQ(cli->BufferedByteCount(), 0);
        EXPECT_TRUE(cli->AllSent());
        cli->Close();
    }
}

namespace {
// Aborts a socket whose wait would otherwise never end; the timer runs from
// the wait's own message pump.
class TWatchdog {
public:
    explicit TWatchdog(TCustomXSocket* socket, UINT ms = 15000)
    {
        gDoomed = socket;
        FTimer = SetTimer(nullptr, 0, ms, &Fire);
    }
    ~TWatchdog()
    {
        KillTimer(nullptr, FTimer);
        gDoomed = nullptr;
    }
    static bool Fired() { return gFired; }

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD)
    {
        gFired = true;
        try {
            if (gDoomed)
                gDoomed->Abort();
        } catch (...) {
        }
        gDoomed = nullptr;
    }
    static inline TCustomXSocket* gDoomed = nullptr;
    static inline bool gFired = false;
    UINT_PTR FTimer;
};
}  // namespace

// The wait offers pending bytes to the handler and takes none for itself.
// The socket is paused, so that only the wait's own loop hands data out.
TEST_F(XSocketTest, WaitForCloseHandsEveryPendingByteToTheHandler)
{
    TPlainPeer server, peer;
    TCustomXSocket* cli = ConnectToPeer(server, peer);
    std::string got;
    cli->OnDataAvailable = [&](rtl::TObject*, WORD) {
        char buf[3];
        const int n = cli->Receive(buf, sizeof buf);
        if (n > 0)
            got.append(buf, size_t(n));
    };
    cli->Pause();
    peer.SendAll("abcdefghi");
    peer = TPlainPeer();  // closes: the FIN follows the data
    ASSERT_TRUE(WaitFor([&] {
        char probe[16];
        return winsock::recv(cli->HSocket(), probe, sizeof probe, MSG_PEEK) == 9;
    }));
    {
        TWatchdog watchdog(cli);
        cli->WaitForClose();
        EXPECT_FALSE(TWatchdog::Fired()) << "the wait did not end";
    }
    EXPECT_EQ(got, "abcdefghi");
    cli->Resume();
    ASSERT_TRUE(WaitFor([&] { return cli->State() == wsClosed; }));
}

TEST_F(XSocketTest, FlushReturnsOnceEverythingQueuedHasGoneOut)
{
    TPlainPeer server, peer;
    TCustomXSocket* cli = ConnectToPeer(server, peer);
    ASSERT_TRUE(WaitFor([&] { return Count("cli:sent:0") == 1; }));
    // Small socket buffers: most of the data has to wait in the chain.
    cli->SetSocketSndBufSize(16384);
    const int small = 16384;
    winsock::setsockopt(peer.S, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&small), sizeof small);
    const std::string data = Pattern(1024 * 1024);
    ASSERT_EQ(cli->SendStr(data), int(data.size()));
    ASSERT_GT(cli->BufferedByteCount(), 0);
    // The peer reads on a thread of its own while this one is in the flush.
    std::string got;
    std::thread reader([&] {
        const DWORD start = GetTickCount();
        char buf[65536];
        while (got.size() < data.size() && GetTickCount() - start < 15000) {
            const int n = winsock::recv(peer.S, buf, sizeof buf, 0);
            if (n > 0)
                got.append(buf, size_t(n));
            else if (n == 0 || winsock::WSAGetLastError() != WSAEWOULDBLOCK)
                break;
            else
                Sleep(1);
        }
    });
    {
        TWatchdog watchdog(cli);
        cli->Flush();
    }
    EXPECT_EQ(cli->BufferedByteCount(), 0);
    EXPECT_TRUE(cli->AllSent());
    reader.join();
    EXPECT_TRUE(got == data) << "received " << got.size() << " of " << data.size();
}

// Adopting a handle closes the connection held so far; nothing of the old
// one reaches the adopted connection.
TEST_F(XSocketTest, DupIntoAComponentHoldingAConnectionClosesTheOldOne)
{
    TPlainPeer server, old;
    TCustomXSocket* cli = ConnectToPeer(server, old);
    const SOCKET oldHandle = cli->HSocket();
    old.SendAll("stale");  // its notice may still be queued at the Dup
    TPlainPeer newcomer;
    newcomer.ConnectTo(server.LocalPort());
    TPlainPeer accepted = server.AcceptWait();
    Log.clear();
    cli->Dup(std::exchange(accepted.S, INVALID_SOCKET));
    EXPECT_EQ(Log, (std::vector<std::string>{"cli:state:wsClosed", "cli:state:wsConnected"}));
    EXPECT_NE(cli->HSocket(), oldHandle);
    EXPECT_EQ(old.DrainUntilClosed(), 0u);  // the old connection ends
    newcomer.SendAll("fresh");
    ASSERT_TRUE(WaitFor([&] { return Count("cli:data:fresh") == 1; }));
    EXPECT_EQ(Count("cli:data:stale"), 0);
    EXPECT_EQ(cli->SendStr("back"), 4);
    EXPECT_EQ(newcomer.RecvWait(4), "back");
}

TEST_F(XSocketTest, PauseHoldsTheNoticesAndResumeDeliversWhatCameMeanwhile)
{
    TPlainPeer server, peer;
    TCustomXSocket* cli = ConnectToPeer(server, peer);
    Settle();
    cli->Pause();
    EXPECT_TRUE(cli->Paused());
    peer.SendAll("held");
    Settle();
    EXPECT_TRUE(Received.empty());
    EXPECT_EQ(cli->Resume(), 0);
    EXPECT_FALSE(cli->Paused());
    EXPECT_TRUE(WaitFor([&] { return Count("cli:data:held") == 1; }));
}

TEST_F(XSocketTest, DatagramsGoOutWithSendToAndComeInWithReceiveFrom)
{
    struct TDatagram {
        std::string Text;
        u_short FromPort;
    };
    std::vector<TDatagram> got;
    const auto receiver = [&got](TCustomXSocket* s) {
        return [&got, s](rtl::TObject*, WORD) {
            char buf[64];
            sockaddr_in from = {};
            int fromLen = sizeof from;
            const int n = s->ReceiveFrom(buf, sizeof buf, from, fromLen);
            if (n > 0)
                got.push_back({std::string(buf, size_t(n)), winsock::ntohs(from.sin_port)});
        };
    };
    TCustomXSocket* a = MakeSocket("a");
    a->SetProto("udp");
    a->SetAddr("127.0.0.1");
    a->SetPort("0");
    a->Listen();
    a->OnDataAvailable = receiver(a);
    const u_short portA = u_short(std::stoi(a->GetXPort()));

    TCustomXSocket* b = MakeSocket("b");
    b->SetProto("udp");
    b->SetAddr("127.0.0.1");
    b->SetPort(std::to_string(portA));
    b->Connect();
    ASSERT_STREQ(SocketStateName(b->State()), "wsConnected");
    b->OnDataAvailable = receiver(b);
    int reported = 0;
    b->OnSendData = [&](rtl::TObject*, int count) { reported += count; };
    Settle();
    Log.clear();

    sockaddr_in toA = {};
    toA.sin_family = AF_INET;
    toA.sin_port = winsock::htons(portA);
    toA.sin_addr.s_addr = winsock::inet_addr("127.0.0.1");
    EXPECT_EQ(b->SendTo(toA, sizeof toA, "hello", 5), 5);
    EXPECT_EQ(reported, 5);
    ASSERT_TRUE(WaitFor([&] { return got.size() == 1 && Count("b:sent:0") == 1; }));
    const u_short portB = u_short(std::stoi(b->GetXPort()));
    EXPECT_EQ(got[0].Text, "hello");
    EXPECT_EQ(got[0].FromPort, portB);

    // The answer goes back to where the datagram came from.
    sockaddr_in toB = toA;
    toB.sin_port = winsock::htons(got[0].FromPort);
    EXPECT_EQ(a->SendTo(toB, sizeof toB, "back", 4), 4);
    ASSERT_TRUE(WaitFor([&] { return got.size() == 2; }));
    EXPECT_EQ(got[1].Text, "back");
    EXPECT_EQ(got[1].FromPort, portA);
    EXPECT_EQ(b->WriteCount(), 5u);
    EXPECT_EQ(a->ReadCount(), 5u);
}

TEST_F(XSocketTest, NoticesOfAClosedHandleNeverReachTheNextSocket)
{
    TCustomXSocket *cli, *acc;
    ConnectPair(cli, acc);
    const SOCKET old = cli->HSocket();
    // A close notice still queued when the handle goes.
    PostMessageA(cli->Handle(), cli->MsgAsyncSelect(), WPARAM(old), MAKELONG(FD_CLOSE, 0));
    cli->Close();
    MSG queued;
    EXPECT_FALSE(PeekMessageA(&queued, cli->Handle(), cli->MsgAsyncSelect(), cli->MsgAsyncSelect(),
                              PM_NOREMOVE));
    Log.clear();
    cli->SetAddr("127.0.0.1");
    cli->SetPort(Listener->GetXPort());
    cli->Connect();
    ASSERT_TRUE(WaitFor([&] { return cli->State() == wsConnected; }));
    Settle();
    EXPECT_EQ(cli->State(), wsConnected);
    EXPECT_EQ(Count("cli:closed:0"), 0);
}

TEST_F(XSocketTest, ExceptionsInHandlersReachOnBgExceptionAndAbortUnlessKept)
{
    struct TCase {
        const char* Name;
        bool ViaTestMessage;
        bool CanClose;
    } const kCases[] = {
        {"handler, aborted", false, true},
        {"handler, kept", false, false},
        {"test message, aborted", true, true},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        TCustomXSocket *cli, *acc;
        ConnectPair(cli, acc);
        std::string caught;
        acc->OnBgException = [&](rtl::TObject*, rtl::Exception& e, bool& canClose) {
            caught = e.Message();
            canClose = c.CanClose;
        };
        acc->OnDataAvailable = [acc](rtl::TObject*, WORD) {
            acc->ReceiveStr();
            throw ESocketException("handler failed");
        };
        if (c.ViaTestMessage)
            PostMessageA(acc->Handle(), acc->MsgTestException(), 0, 0);
        else
            cli->SendStr("x");
        ASSERT_TRUE(WaitFor([&] { return !caught.empty(); }));
        EXPECT_EQ(caught, c.ViaTestMessage ? "Test exception in XSocket" : "handler failed");
        Settle();
        EXPECT_EQ(acc->State(), c.CanClose ? wsClosed : wsConnected);
    }
}

TEST_F(XSocketTest, RefusalsRaiseOrFireOnError)
{
    TCustomXSocket *cli, *acc;
    ConnectPair(cli, acc);
    struct TCase {
        const char* Expected;
        std::function<void()> Run;
    } const kCases[] = {
        {"Cannot change Port if not closed", [&] { cli->SetPort("1"); }},
        {"Cannot change Addr if not closed", [&] { cli->SetAddr("127.0.0.2"); }},
        {"Connect: Socket already in use", [&] { cli->Connect(); }},
        {"Invalid LingerTimeout", [&] { cli->SetLingerTimeout(70000); }},
        {"Invalid SendFlags", [&] { cli->SetSendFlags(TSocketSendFlags(5)); }},
    };
    for (const TCase& c : kCases) {
        try {
            c.Run();
            ADD_FAILURE() << "not refused: " << c.Expected;
        } catch (ESocketException& e) {
            EXPECT_EQ(e.Message(), c.Expected);
        }
        int errors = 0;
        cli->OnError = [&](rtl::TObject*) { ++errors; };
        EXPECT_NO_THROW(c.Run());
        EXPECT_EQ(errors, 1) << c.Expected;
        cli->OnError = nullptr;
    }
    // Setting the current text again is no change, so it is allowed.
    EXPECT_NO_THROW(cli->SetPort(cli->Port()));
    EXPECT_EQ(cli->LingerTimeout(), 0);

    TCustomXSocket* idle = MakeSocket("idle");
    try {
        idle->Send("x", 1);
        ADD_FAILURE();
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "Socket is not connected (#10057 in Send)");
    }
    idle->OnError = [](rtl::TObject*) {};
    EXPECT_EQ(idle->Send("x", 1), -1);
    EXPECT_EQ(idle->LastError, 10057);
    EXPECT_EQ(idle->Accept(), INVALID_SOCKET);
    EXPECT_EQ(idle->LastError, 10022);
}

// The refusal is reported as itself: no stale WinSock error stands in for
// it, and none can close the connection.
TEST_F(XSocketTest, ChangingTheWinSockVersionWhileLoadedIsRefusedAsSuch)
{
    TCustomXSocket *cli, *acc;
    ConnectPair(cli, acc);
    struct TCase {
        const char* Text;
        std::function<void()> Set;
    } const kCases[] = {
        {"SetReqVerLow: WinSock version can't be changed now", [&] { cli->SetReqVerLow(2); }},
        {"SetReqVerHigh: WinSock version can't be changed now", [&] { cli->SetReqVerHigh(2); }},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.Text);
        XSocket_WSASetLastError(WSAECONNRESET);  // left by some earlier call
        try {
            c.Set();
            ADD_FAILURE() << "accepted";
        } catch (ESocketException& e) {
            EXPECT_EQ(e.Message(), c.Text);
        }
        int errors = 0;
        cli->OnError = [&](rtl::TObject*) { ++errors; };
        XSocket_WSASetLastError(WSAECONNRESET);
        c.Set();
        EXPECT_EQ(errors, 1);
        cli->OnError = nullptr;
        EXPECT_STREQ(SocketStateName(cli->State()), "wsConnected");
    }
    EXPECT_EQ(cli->ReqVerLow(), 1);
    EXPECT_EQ(cli->ReqVerHigh(), 1);
    EXPECT_NO_THROW(cli->SetReqVerLow(1));  // the current value is no change
    EXPECT_EQ(Count("cli:closed:10054"), 0);
    EXPECT_EQ(cli->SendStr("still"), 5);
    EXPECT_TRUE(WaitFor([&] { return Count("acc:data:still") == 1; }));
}

namespace {
SOCKET gMadeSocket = INVALID_SOCKET;
SOCKET WSAAPI RecordingSocket(int af, int type, int protocol)
{
    using TSocketFn = SOCKET(WSAAPI*)(int, int, int);
    const auto real = ProcCast<TSocketFn>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "socket"));
    // A raw socket needs privileges the tests may lack; a datagram socket
    // stands in for it up to the point where the raw-only option fails.
    gMadeSocket = type == SOCK_RAW ? real(af, SOCK_DGRAM, IPPROTO_UDP) : real(af, type, protocol);
    return gMadeSocket;
}

int gUnreadableOption = 0;
int WSAAPI UnreadableOption(SOCKET s, int level, int name, char* value, int* len)
{
    using TGetFn = int(WSAAPI*)(SOCKET, int, int, char*, int*);
    const auto real = ProcCast<TGetFn>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "getsockopt"));
    if (name != gUnreadableOption)
        return real(s, level, name, value, len);
    winsock::WSASetLastError(WSAENOBUFS);
    return SOCKET_ERROR;
}

int WSAAPI RefusedIoctl(SOCKET, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPWSAOVERLAPPED,
                        LPWSAOVERLAPPED_COMPLETION_ROUTINE)
{
    winsock::WSASetLastError(WSAEOPNOTSUPP);
    return SOCKET_ERROR;
}

int gRefusedOption = 0;
int WSAAPI RefusedOption(SOCKET s, int level, int name, const char* value, int len)
{
    using TSetFn = int(WSAAPI*)(SOCKET, int, int, const char*, int);
    const auto real = ProcCast<TSetFn>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "setsockopt"));
    if (name != gRefusedOption)
        return real(s, level, name, value, len);
    winsock::WSASetLastError(WSAENOPROTOOPT);
    return SOCKET_ERROR;
}

int WSAAPI RefusedSelect(SOCKET, HWND, u_int, long)
{
    winsock::WSASetLastError(WSAENOBUFS);
    return SOCKET_ERROR;
}

void ExpectClosedHandle(SOCKET s)
{
    ASSERT_NE(s, INVALID_SOCKET);
    int type = 0, len = sizeof type;
    EXPECT_EQ(winsock::getsockopt(s, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len),
              SOCKET_ERROR);
    EXPECT_EQ(winsock::WSAGetLastError(), WSAENOTSOCK);
}
}  // namespace

// A Connect or Listen that fails after its socket was made lets that socket
// go, whether the failure raises or fires OnError.
TEST_F(XSocketTest, AnOpenThatFailsHalfWayLetsItsSocketGo)
{
    const std::string port = std::to_string(UnusedPort());
    struct TCase {
        const char* Name;
        std::function<void(TCustomXSocket*)> Open;
        const char* Error;
        int Code;
    } const kCases[] = {
        {"Connect, send-buffer size unreadable",
         [&](TCustomXSocket* s) {
             gUnreadableOption = SO_SNDBUF;
             ReplaceWinsockEntry("getsockopt", &UnreadableOption);
             s->SetAddr("127.0.0.1");
             s->SetPort(port);
             s->Connect();
         },
         "No buffer space available (#10055 in getsockopt(SO_SNDBUF))", WSAENOBUFS},
        {"Connect, receive-buffer size unreadable",
         [&](TCustomXSocket* s) {
             gUnreadableOption = SO_RCVBUF;
             ReplaceWinsockEntry("getsockopt", &UnreadableOption);
             s->SetAddr("127.0.0.1");
             s->SetPort(port);
             s->Connect();
         },
         "No buffer space available (#10055 in getsockopt(SO_RCVBUF))", WSAENOBUFS},
        {"raw Listen, receive-all refused",
         [&](TCustomXSocket* s) {
             ReplaceWinsockEntry("WSAIoctl", &RefusedIoctl);
             s->SetAddr("127.0.0.1");
             s->SetPort("0");
             s->SetProto("raw_17");
             s->ComponentOptions = {wsoSIO_RCVALL};
             s->Listen();
         },
         "Operation not supported on socket (#10045 in WSAIoctl(SIO_RCVALL))", WSAEOPNOTSUPP},
    };
    for (const TCase& c : kCases) {
        for (const bool withOnError : {false, true}) {
            SCOPED_TRACE(std::string(c.Name) + (withOnError ? ", OnError" : ", exception"));
            TCustomXSocket* s = MakeSocket("s");
            int errors = 0;
            if (withOnError)
                s->OnError = [&](rtl::TObject*) { ++errors; };
            gMadeSocket = INVALID_SOCKET;
            ReplaceWinsockEntry("socket", &RecordingSocket);
            try {
                c.Open(s);
                EXPECT_TRUE(withOnError);
            } catch (ESocketException& e) {
                EXPECT_FALSE(withOnError);
                EXPECT_EQ(e.Message(), c.Error);
            }
            for (const char* entry : {"socket", "getsockopt", "WSAIoctl"})
                SetWinsockEntry(entry, nullptr);
            EXPECT_EQ(errors, withOnError ? 1 : 0);
            EXPECT_EQ(s->LastError, c.Code);
            EXPECT_STREQ(SocketStateName(s->State()), "wsClosed");
            EXPECT_EQ(s->HSocket(), INVALID_SOCKET);
            ExpectClosedHandle(gMadeSocket);
        }
    }
}

// A failed local bind ends the Connect also when OnError takes the report:
// nothing connects from some other port.
TEST_F(XSocketTest, AConnectWhoseLocalBindFailsGoesNoFurther)
{
    TPlainPeer server;
    const u_short port = server.Listen();
    for (const char* proto : {"tcp", "udp"}) {
        for (const bool withOnError : {false, true}) {
            SCOPED_TRACE(std::string(proto) + (withOnError ? ", OnError" : ", exception"));
            Log.clear();
            TCustomXSocket* cli = MakeSocket("cli");
            int errors = 0;
            if (withOnError)
                cli->OnError = [&](rtl::TObject*) { ++errors; };
            cli->SetProto(proto);
            cli->SetAddr("127.0.0.1");
            cli->SetPort(std::to_string(port));
            cli->SetLocalAddr("127.0.0.1");
            cli->SetLocalPort("1");
            ReplaceWinsockEntry("bind", +[](SOCKET, const sockaddr*, int) WSAAPI {
                winsock::WSASetLastError(WSAEADDRINUSE);
                return SOCKET_ERROR;
            });
            try {
                cli->Connect();
                EXPECT_TRUE(withOnError);
            } catch (ESocketException& e) {
                EXPECT_FALSE(withOnError);
                EXPECT_EQ(e.Message(), "Bind socket failed - Address already in use (#10048)");
            }
            SetWinsockEntry("bind", nullptr);
            EXPECT_EQ(errors, withOnError ? 1 : 0);
            EXPECT_STREQ(SocketStateName(cli->State()), "wsOpened");
            Settle();
            EXPECT_EQ(Count("cli:connected:0"), 0);
            EXPECT_EQ(winsock::accept(server.S, nullptr, nullptr), INVALID_SOCKET);
            cli->Close();
        }
    }
}

// A handle that Dup could not adopt is closed at once, whichever step failed
// and whether the failure raises or fires OnError.
TEST_F(XSocketTest, ADupThatFailsClosesTheHandleItWasGiven)
{
    struct TCase {
        const char* Name;
        std::function<void(TCustomXSocket*)> Break;
        const char* Context;
    } const kCases[] = {
        {"send-buffer size unreadable",
         [](TCustomXSocket*) {
             gUnreadableOption = SO_SNDBUF;
             ReplaceWinsockEntry("getsockopt", &UnreadableOption);
         },
         "getsockopt(SO_SNDBUF)"},
        {"no-delay refused",
         [](TCustomXSocket* s) {
             s->ComponentOptions = {wsoTcpNoDelay};
             gRefusedOption = 1;  // TCP_NODELAY
             ReplaceWinsockEntry("setsockopt", &RefusedOption);
         },
         "setsockopt(IPPROTO_TCP, TCP_NODELAY)"},
        {"linger refused",
         [](TCustomXSocket*) {
             gRefusedOption = 128;  // SO_LINGER
             ReplaceWinsockEntry("setsockopt", &RefusedOption);
         },
         "setsockopt(SO_LINGER)"},
        {"keep-alive refused",
         [](TCustomXSocket* s) {
             s->KeepAliveOnOff = wsKeepAliveOnCustom;
             ReplaceWinsockEntry("WSAIoctl", &RefusedIoctl);
         },
         "XSocket_WSAIoctl(SIO_KEEPALIVE_VALS)"},
        {"notifications refused",
         [](TCustomXSocket*) { ReplaceWinsockEntry("WSAAsyncSelect", &RefusedSelect); },
         "WSAAsyncSelect"},
    };
    TPlainPeer server;
    const u_short port = server.Listen();
    for (const TCase& c : kCases) {
        for (const bool withOnError : {false, true}) {
            SCOPED_TRACE(std::string(c.Name) + (withOnError ? ", OnError" : ", exception"));
            TPlainPeer client;
            client.ConnectTo(port);
            TPlainPeer accepted = server.AcceptWait();
            const SOCKET handle = std::exchange(accepted.S, INVALID_SOCKET);
            TCustomXSocket* s = MakeSocket("s");
            std::string error;
            if (withOnError)
                s->OnError = [&](rtl::TObject*) { error = "OnError"; };
            c.Break(s);
            try {
                s->Dup(handle);
            } catch (ESocketException& e) {
                error = e.Message();
            }
            for (const char* entry : {"getsockopt", "setsockopt", "WSAIoctl", "WSAAsyncSelect"})
                SetWinsockEntry(entry, nullptr);
            if (withOnError) {
                EXPECT_EQ(error, "OnError");
            } else {
                EXPECT_NE(error.find(std::string(" in ") + c.Context + ")"), std::string::npos) << error;
            }
            EXPECT_STREQ(SocketStateName(s->State()), "wsClosed");
            EXPECT_EQ(s->HSocket(), INVALID_SOCKET);
            ExpectClosedHandle(handle);
            EXPECT_TRUE(client.WaitForEnd());
        }
    }
}

TEST_F(XSocketTest, AListenWhoseBindFailsLetsItsSocketGo)
{
    TPlainPeer holder;
    const u_short taken = holder.Listen();
    for (const bool withOnError : {false, true}) {
        SCOPED_TRACE(withOnError ? "OnError" : "exception");
        TCustomXSocket* srv = MakeSocket("srv");
        int errors = 0;
        if (withOnError)
            srv->OnError = [&](rtl::TObject*) { ++errors; };
        srv->SetAddr("127.0.0.1");
        srv->SetPort(std::to_string(taken));
        ReplaceWinsockEntry("socket", &RecordingSocket);
        try {
            srv->Listen();
            EXPECT_TRUE(withOnError);
        } catch (ESocketException& e) {
            EXPECT_FALSE(withOnError);
            EXPECT_EQ(e.Message().compare(0, 22, "Address already in use"), 0) << e.Message();
        }
        SetWinsockEntry("socket", nullptr);
        EXPECT_EQ(errors, withOnError ? 1 : 0);
        EXPECT_EQ(srv->LastError, WSAEADDRINUSE);
        EXPECT_EQ(srv->State(), wsClosed);
        EXPECT_EQ(srv->HSocket(), INVALID_SOCKET);
        // The half-made handle itself is closed, not merely forgotten.
        ASSERT_NE(gMadeSocket, INVALID_SOCKET);
        int type = 0, len = sizeof type;
        EXPECT_EQ(winsock::getsockopt(gMadeSocket, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len),
                  SOCKET_ERROR);
        EXPECT_EQ(winsock::WSAGetLastError(), WSAENOTSOCK);

        // The component is free for the next Listen.
        srv->SetAddr("127.0.0.1");
        srv->SetPort("0");
        srv->Listen();
        EXPECT_EQ(srv->State(), wsListening);
        srv->Close();
    }
}

TEST_F(XSocketTest, ASecondListenIsRefusedAndTheFirstKeepsServing)
{
    TPlainPeer probe;
    const std::string port = std::to_string(probe.Listen());
    probe = TPlainPeer();  // the port is free again
    TCustomXSocket* srv = MakeSocket("srv");
    srv->SetAddr("127.0.0.1");
    srv->SetPort(port);
    srv->Listen();
    const SOCKET first = srv->HSocket();
    try {
        srv->Listen();
        ADD_FAILURE() << "second Listen accepted";
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "Listen: Socket already in use");
    }
    int errors = 0;
    srv->OnError = [&](rtl::TObject*) { ++errors; };
    srv->Listen();
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(srv->HSocket(), first);
    EXPECT_STREQ(SocketStateName(srv->State()), "wsListening");
    int accepted = 0;
    srv->OnSessionAvailable = [&](rtl::TObject*, WORD) {
        const SOCKET h = srv->Accept();
        if (h != INVALID_SOCKET) {
            ++accepted;
            winsock::closesocket(h);
        }
    };
    TPlainPeer peer;
    peer.ConnectTo(u_short(std::stoi(port)));
    EXPECT_TRUE(WaitFor([&] { return accepted == 1; }));

    // Closed, the fixed port is free for the next Listen: nothing holds it.
    srv->Close();
    srv->SetAddr("127.0.0.1");
    srv->SetPort(port);
    srv->Listen();
    EXPECT_STREQ(SocketStateName(srv->State()), "wsListening");
}

TEST(XSocketResolveTest, PortsProtocolsAndHosts)
{
    TCalyxUnits units;
    WinsockUsageInc();
    struct TPort {
        const char* Text;
        int Expected;  // -1: refused
    } const kPorts[] = {{"80", 80}, {" 81", 81}, {"65535", 65535}, {"70000", -1},
                        {"99999999999", -1}, {"", -1}, {"8080x", 8080}};
    for (const TPort& p : kPorts) {
        SCOPED_TRACE(p.Text);
        if (p.Expected < 0) {
            EXPECT_THROW(XSocketResolvePort(p.Text, "tcp"), ESocketException);
        } else {
            EXPECT_EQ(XSocketResolvePort(p.Text, "tcp"), p.Expected);
        }
    }
    try {
        XSocketResolvePort("70000", "tcp");
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "Winsock Resolve Port: Invalid Port.");
    }
    EXPECT_EQ(XSocketResolveProto("UDP"), 17);
    EXPECT_EQ(XSocketResolveProto("17"), 17);
    EXPECT_EQ(XSocketResolveProto(" Tcp "), 6);
    EXPECT_EQ(XSocketResolveProto("raw"), 255);
    EXPECT_EQ(SocketTypeOfProto(17), SOCK_DGRAM);
    EXPECT_EQ(SocketTypeOfProto(6), SOCK_STREAM);
    EXPECT_EQ(SocketTypeOfProto(1), SOCK_RAW);

    EXPECT_EQ(XSocketResolveHost("255.255.255.255"), INADDR_BROADCAST);
    EXPECT_EQ(XSocketResolveHost("127.0.0.1 "), winsock::inet_addr("127.0.0.1"));
    EXPECT_EQ(XSocketResolveHost("localhost"), winsock::inet_addr("127.0.0.1"));
    // 300.1.1.1 is no dotted quad: it goes to the name lookup, here a fake.
    ReplaceWinsockEntry("gethostbyname", +[](const char*) WSAAPI -> hostent* {
        winsock::WSASetLastError(11001);
        return nullptr;
    });
    try {
        XSocketResolveHost("300.1.1.1");
        ADD_FAILURE();
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(),
                  "Winsock Resolve Host: Cannot convert host address '300.1.1.1' - Host not found "
                  "(#11001)");
    }
    SetWinsockEntry("gethostbyname", nullptr);
    WinsockUsageRelease();
}

TEST_F(XSocketTest, DatagramListenPassesListeningAndConnects)
{
    TCustomXSocket* udp = MakeSocket("udp");
    udp->SetProto("UDP");
    udp->SetAddr("127.0.0.1");
    udp->SetPort("0");
    udp->Listen();
    EXPECT_EQ(Only(Log, "udp:"),
              (std::vector<std::string>{"udp:state:wsBound", "udp:state:wsListening",
                                        "udp:state:wsConnected", "udp:connected:0"}));
    udp->Close();
    EXPECT_EQ(udp->Proto(), "tcp");
}

TEST_F(XSocketTest, AttachedLoggerHearsWhatItAsksFor)
{
    auto* logger = rtl::Create<TCxLogger>(nullptr);
    logger->SetLogOptions(LogOptionSet(loDestEvent, loWsockInfo));
    std::vector<std::string> lines;
    logger->SetOnCxLogEvent([&](rtl::TObject*, TLogOption o, const std::string& text) {
        lines.push_back(std::to_string(int(o)) + " " + text);
    });
    const u_short port = StartListener();
    TCustomXSocket* cli = MakeSocket("cli");
    cli->SetCxLogger(logger);
    cli->SetAddr("127.0.0.1");
    cli->SetPort(std::to_string(port));
    cli->Connect();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "5 TXSocket will connect to 127.0.0.1:" + std::to_string(port));
    ASSERT_TRUE(WaitFor([&] { return cli->State() == wsConnected; }));
    logger->Free();  // the socket lets go of it
    EXPECT_EQ(cli->CxLogger(), nullptr);
    cli->Close();
}
