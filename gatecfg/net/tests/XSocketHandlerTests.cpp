// Handlers that close, reopen or free their own socket from inside its
// events: whatever follows the event must leave the handler's doing alone.
#include "XSocketFixture.h"

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
    TPlainPeer server;
    const u_short port = server.Listen();
    TCustomXSocket* cli = ConnectClient(port);
    TPlainPeer peer = server.AcceptWait();
    ASSERT_TRUE(WaitFor([&] { return cli->State() == wsConnected; }));
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
