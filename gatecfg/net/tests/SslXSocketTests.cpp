// The SSL level between a client and a server of the socket library in one
// process, on loopback.
#include "SslSocketFixture.h"

namespace ssltest {
namespace {

TEST_F(SslSocketTest, AClientAndAServerTalkLinesOverTls)
{
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
    ASSERT_TRUE(WaitFor([&] { return Received["cli"] == "Welcome to TcpSrv\r\n"; }))
        << Received["cli"];
    EXPECT_TRUE(Logged("cli:handshake:0"));
    EXPECT_TRUE(Logged("srv1:handshake:0"));
    EXPECT_EQ(client->SslVersion(), "TLSv1.2");
    EXPECT_EQ(client->SslPhase(), sslPhaseEstablished);
    EXPECT_EQ(peerSubject, "/C=RU/O=Calyx Test/OU=Gate/CN=gate.example.com");
    EXPECT_TRUE(hostMatches);

    client->SendStr("hello\r\nsecond line\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["srv1"] == "hello\r\nsecond line\r\n"; }))
        << Received["srv1"];
    ServerClient(1)->SendStr("answer\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["cli"] == "Welcome to TcpSrv\r\nanswer\r\n"; }));

    client->Close();
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed && Server->ClientCount() == 0; }));
    EXPECT_EQ(Count("cli:closed:0"), 1);
    EXPECT_EQ(Count("srv1:closed:0"), 1);
}

}  // namespace
}  // namespace ssltest
