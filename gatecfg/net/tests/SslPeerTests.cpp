// The SSL level of the socket library against Debian's openssl command as
// the independent TLS peer: our client to "openssl s_server", and
// "openssl s_client" to our server.
#include "OpenSslPeer.h"
#include "SslSocketFixture.h"

namespace ssltest {
namespace {

// s_server on a free port, with the made server certificate unless another
// is named: what it receives goes to its output as it came, and the end of
// its input ends the connection with a close notify.
std::vector<std::string> ServerArgs(const std::vector<std::string>& extra = {},
                                    const std::string& cert = "server.pem")
{
    std::vector<std::string> args = {"s_server", "-accept", "127.0.0.1:{port}", "-cert",
                                     UnixCertPath(cert), "-key", UnixCertPath("server.key"),
                                     "-quiet", "-no_ign_eof"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST_F(SslSocketTest, OurClientTalksToOpensslServer)
{
    TOpenSslPeer peer(ServerArgs());
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TXSocket* client = MakeClient("cli");
    Connect(client, peer.Port());
    ASSERT_TRUE(WaitFor([&] { return Logged("cli:handshake:0"); })) << peer.Errors();
    EXPECT_EQ(client->SslVersion(), "TLSv1.2");
    EXPECT_EQ(client->SslVersionNumber(), 0x303);
    EXPECT_EQ(client->SslCipher(), "ECDHE-RSA-AES256-GCM-SHA384");
    EXPECT_EQ(client->SslSecretBits(), 256);
    EXPECT_EQ(client->SslTotalBits(), 256);
    EXPECT_TRUE(client->SecureRenegotiationSupported());

    client->SendStr("hello\r\n");
    ASSERT_TRUE(peer.WaitForOutput(7));
    EXPECT_EQ(peer.Output(), "hello\r\n");
    peer.Send("from the server\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["cli"] == "from the server\r\n"; })) << Received["cli"];
}

}  // namespace
}  // namespace ssltest
