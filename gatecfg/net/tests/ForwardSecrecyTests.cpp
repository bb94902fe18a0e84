// Our server offers ephemeral elliptic-curve key exchange: clients that
// take nothing else connect and negotiate it.
#include "OpenSslPeer.h"
#include "SslSocketFixture.h"

namespace ssltest {
namespace {

struct TForwardSecrecyCase {
    const char* What;
    const char* Program;
    std::vector<std::string> Args;
};

TEST_F(SslSocketTest, ClientsThatInsistOnECDHEConnectToOurServer)
{
    StartServer();
    Server->Banner.clear();
    const TForwardSecrecyCase kCases[] = {
        {"s_client -cipher ECDHE",
         "openssl",
         {"s_client", "-connect", "127.0.0.1:" + std::to_string(ServerPort), "-CAfile", UnixCertPath("ca.pem"),
          "-verify_return_error", "-cipher", "ECDHE", "-quiet", "-no_ign_eof"}},
        {"Python's default client context", "python3", SlowReaderArgs(true, ServerPort, 0, "tls-default")},
    };
    int n = 0;
    for (const TForwardSecrecyCase& c : kCases) {
        SCOPED_TRACE(c.What);
        const std::string name = "srv" + std::to_string(++n);
        TOpenSslPeer client(c.Args, 60, c.Program);
        ASSERT_TRUE(client.Started()) << client.Errors();
        ASSERT_TRUE(WaitFor([&] { return Logged(name + ":handshake:0") || Logged(name + ":handshake:1"); }))
            << client.Errors();
        ASSERT_TRUE(Logged(name + ":handshake:0")) << client.Errors();
        TXSocketClient* ours = ServerClient(n);
        ASSERT_NE(ours, nullptr);
        EXPECT_EQ(ours->SslCipher().rfind("ECDHE-", 0), 0u) << ours->SslCipher();
        ours->SendStr("over ECDHE\r\n");
        ASSERT_TRUE(client.WaitForOutput(12)) << client.Errors();
        EXPECT_EQ(client.Output(), "over ECDHE\r\n");
        ours->Close();
        EXPECT_TRUE(client.WaitForExit());
    }
}

}  // namespace
}  // namespace ssltest
