// The SSL level of the socket library against Debian's openssl command as
// the independent TLS peer: our client to "openssl s_server", and
// "openssl s_client" to our server.
#include <algorithm>
#include <memory>

#include "OpenSslHeapWatch.h"
#include "OpenSslPeer.h"
#include "SslSocketFixture.h"
#include "net/CalyxSSLEAY.h"

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

// Lines of varied length, about `bytes` in all.
std::string ManyLines(size_t bytes)
{
    std::string text;
    for (int n = 0; text.size() < bytes; ++n)
        text += "line " + std::to_string(n) + " " + std::string(size_t(n % 97), char('a' + n % 26)) +
                "\r\n";
    return text;
}

struct OpensslServerTest : SslSocketTest {
    // Our client, connected to the peer with its handshake done.
    TXSocket* ConnectedClient(TOpenSslPeer& peer, const std::string& name = "cli")
    {
        TXSocket* client = MakeClient(name);
        Connect(client, peer.Port());
        EXPECT_TRUE(WaitFor([&] { return Logged(name + ":handshake:0"); })) << peer.Errors();
        return client;
    }
};

TEST_F(OpensslServerTest, TheHandshakeReportsVersionCipherAndBits)
{
    TOpenSslPeer peer(ServerArgs());
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TXSocket* client = ConnectedClient(peer);
    EXPECT_EQ(client->SslPhase(), sslPhaseEstablished);
    EXPECT_EQ(client->SslVersion(), "TLSv1.2");
    EXPECT_EQ(client->SslVersionNumber(), 0x303);
    EXPECT_EQ(client->SslCipher(), "ECDHE-RSA-AES256-GCM-SHA384");
    EXPECT_EQ(client->SslSecretBits(), 256);
    EXPECT_EQ(client->SslTotalBits(), 256);
    EXPECT_TRUE(client->SecureRenegotiationSupported());
    EXPECT_FALSE(client->SslSessionReused());
    EXPECT_EQ(client->HandshakeCount(), 1);
}

// Both directions byte for byte: single lines, then a burst of about 1 MB
// whose lines cross the TLS records in both directions (s_server writes what
// it reads in pieces of its own; we write 4096-byte records).
TEST_F(OpensslServerTest, LinesGoBothWaysByteExact)
{
    TOpenSslPeer peer(ServerArgs());
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TXSocket* client = ConnectedClient(peer);
    std::vector<std::string> lines;
    client->OnDataAvailable = [&](rtl::TObject*, WORD) { lines.push_back(client->ReceiveStr()); };

    client->SendStr("hello\r\n");
    ASSERT_TRUE(peer.WaitForOutput(7));
    EXPECT_EQ(peer.Output(), "hello\r\n");
    peer.Send("from the server\r\nand a second line\r\n");
    ASSERT_TRUE(WaitFor([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines, (std::vector<std::string>{"from the server\r\n", "and a second line\r\n"}));

    const std::string burst = ManyLines(1 << 20);
    lines.clear();
    peer.Send(burst);
    std::string joined;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const std::string& line : lines)
                joined += line;
            lines.clear();
            return joined.size() >= burst.size();
        },
        60000))
        << joined.size();
    EXPECT_TRUE(joined == burst) << "the burst from the server differs";

    EXPECT_EQ(client->SendStr(burst), int(burst.size()));
    ASSERT_TRUE(peer.WaitForOutput(7 + burst.size(), 60000)) << peer.Output().size();
    EXPECT_TRUE(peer.Output() == "hello\r\n" + burst) << "the burst to the server differs";
}

struct TVerifyCase {
    const char* What;
    const char* ServerCert;
    const char* CaFile;
    int Error;  // what the verify event sees for the server's certificate
};

// The verify event sees every certificate with OpenSSL's verdict. Left as
// it is, a failed verdict fails the handshake; the event may accept it, and
// the handshake-done event then still shows what the verdict was.
TEST_F(OpensslServerTest, TheVerifyEventSeesTheVerdictAndDecides)
{
    const TVerifyCase kCases[] = {
        {"the made CA", "server.pem", "ca.pem", X509_V_OK},
        {"another CA", "server.pem", "other-ca.pem", 20},  // unable to get local issuer
        {"an expired certificate", "expired.pem", "ca.pem", 10},
    };
    for (const TVerifyCase& c : kCases) {
        SCOPED_TRACE(c.What);
        TOpenSslPeer peer(ServerArgs({}, c.ServerCert));
        ASSERT_TRUE(peer.Started()) << peer.Errors();
        TOwned<TSslContext> context(rtl::Create<TSslContext>(nullptr));
        context->SslVersionMethod = sslV23_CLIENT;
        context->SslCAFile = CertPath(c.CaFile);
        context->SslVerifyPeer = true;
        for (const bool accept : {false, true}) {
            SCOPED_TRACE(accept ? "accepted by the event" : "left to the verdict");
            Log.clear();
            TXSocket* client = MakeClient("cli");
            client->SetSslContext(context.Get());
            std::vector<int> leafVerdicts;
            client->OnSslVerifyPeer = [&](rtl::TObject*, int& ok, TX509Base* cert) {
                if (cert->VerifyDepth == 0)
                    leafVerdicts.push_back(cert->VerifyResult);
                if (accept)
                    ok = 1;
            };
            int doneVerdict = -1;
            bool localhost = false, address = false, otherHost = true;
            client->OnSslHandshakeDone = [&](rtl::TObject*, WORD e, TX509Base* cert, bool&) {
                Log.push_back("cli:handshake:" + std::to_string(e));
                doneVerdict = cert->VerifyResult;
                localhost = cert->PostConnectionCheck("localhost");
                address = cert->PostConnectionCheck("127.0.0.1");
                otherHost = cert->PostConnectionCheck("other.example.net");
            };
            Connect(client, peer.Port());
            ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed || Logged("cli:handshake:0"); }));
            ASSERT_FALSE(leafVerdicts.empty());
            EXPECT_EQ(leafVerdicts.front(), c.Error);
            if (c.Error != X509_V_OK && !accept) {
                ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed; }));
                EXPECT_TRUE(Logged("cli:handshake:1"));
                EXPECT_TRUE(Logged("cli:closed:10053"));
                EXPECT_EQ(Count("cli:handshake:0"), 0);
            } else {
                EXPECT_TRUE(Logged("cli:handshake:0"));
                // An accepted failure may lead to the next one (20, then 21:
                // unable to verify the first certificate): the last stays.
                EXPECT_EQ(doneVerdict, leafVerdicts.back());
                EXPECT_EQ(client->SslVerifyResult(), X509_V_OK);  // the event's word counts
                EXPECT_EQ(localhost, std::string(c.ServerCert) == "server.pem");
                EXPECT_EQ(address, std::string(c.ServerCert) == "server.pem");
                EXPECT_FALSE(otherHost);
            }
            client->Free();
            Forget(client);
        }
    }
}

// With no certificate file of its own the client answers the server's
// request through its event; without an answer the server refuses it.
TEST_F(OpensslServerTest, AClientCertificateRequestedByTheServer)
{
    TOpenSslPeer peer(ServerArgs({"-Verify", "1", "-CAfile", UnixCertPath("ca.pem")}));
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TOwned<TX509Base> certificate(rtl::Create<TX509Base>(nullptr));
    certificate->InitializeSsl();  // the BIO below needs the libraries
    BIO* bio = FilesBio({"client.pem", "client.key"});
    certificate->ReadFromBio(bio, true, "");
    libeay::BIO_free(bio);

    TXSocket* client = MakeClient("cli");
    int requests = 0;
    client->OnSslCliCertRequest = [&](rtl::TObject*, TX509Base*& cert) {
        ++requests;
        cert = certificate.Get();
    };
    Connect(client, peer.Port());
    ASSERT_TRUE(WaitFor([&] { return Logged("cli:handshake:0"); })) << peer.Errors();
    EXPECT_EQ(requests, 1);
    client->SendStr("with a certificate\r\n");
    ASSERT_TRUE(peer.WaitForOutput(20));
    EXPECT_EQ(peer.Output(), "with a certificate\r\n");
    client->Close();
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed; }));

    TXSocket* refused = MakeClient("refused");
    Connect(refused, peer.Port());
    ASSERT_TRUE(WaitFor([&] { return refused->State() == wsClosed; }));
    EXPECT_TRUE(Logged("refused:handshake:1"));
    EXPECT_EQ(Count("refused:handshake:0"), 0);
}

// The session kept from the first connection's new-session event comes
// back through the get-session event of the second.
TEST_F(OpensslServerTest, ASecondConnectionResumesTheSession)
{
    TOpenSslPeer peer(ServerArgs());
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    SSL_SESSION* kept = nullptr;
    TXSocket* first = MakeClient("first");
    first->OnSslCliNewSession = [&](rtl::TObject*, SSL_SESSION* session, bool reused, bool& inc) {
        Log.push_back(std::string("first:new session:") + (reused ? "reused" : "new"));
        if (session && !kept) {
            kept = session;
            inc = true;
        }
    };
    Connect(first, peer.Port());
    ASSERT_TRUE(WaitFor([&] { return Logged("first:handshake:0"); })) << peer.Errors();
    EXPECT_TRUE(Logged("first:new session:new"));
    ASSERT_NE(kept, nullptr);
    first->Close();
    ASSERT_TRUE(WaitFor([&] { return first->State() == wsClosed; }));

    TXSocket* second = MakeClient("second");
    second->OnSslCliGetSession = [&](rtl::TObject*, SSL_SESSION*& session, bool& freeSession) {
        session = kept;
        freeSession = false;
    };
    second->OnSslCliNewSession = [&](rtl::TObject*, SSL_SESSION*, bool reused, bool&) {
        Log.push_back(std::string("second:new session:") + (reused ? "reused" : "new"));
    };
    Connect(second, peer.Port());
    ASSERT_TRUE(WaitFor([&] { return Logged("second:handshake:0"); })) << peer.Errors();
    EXPECT_TRUE(second->SslSessionReused());
    EXPECT_TRUE(Logged("second:new session:reused"));
    ssleay::SSL_SESSION_free(kept);
}

// The server's last words arrive before its close notify ends the session,
// which is a clean close.
TEST_F(OpensslServerTest, TheServerClosingFirstEndsTheSessionCleanly)
{
    TOpenSslPeer peer(ServerArgs());
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TXSocket* client = ConnectedClient(peer);
    std::string atClose;
    client->OnSessionClosed = [&](rtl::TObject*, WORD e) {
        Log.push_back("cli:closed:" + std::to_string(e));
        atClose = Received["cli"];
    };
    peer.Send("last words\r\n");
    peer.EndInput();
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed; }));
    EXPECT_EQ(atClose, "last words\r\n");
    // Our side answered with its close notify, which completes its shutdown.
    EXPECT_EQ(Log, (std::vector<std::string>{"cli:connected:0", "cli:handshake:0",
                                             "cli:shutdown:uni:0", "cli:closed:0"}));
}

// A second handshake on the session, asked for by the server (s_server's
// "r" command; OpenSSL 3 refuses the client's), is followed with a peer that
// supports secure renegotiation; its end is told like the first one's, and
// the lines go on.
TEST_F(OpensslServerTest, ARenegotiationAskedByTheServerIsFollowedAndTold)
{
    std::vector<std::string> args = ServerArgs();
    args.erase(std::find(args.begin(), args.end(), "-quiet"));  // commands are read
    TOpenSslPeer peer(args);
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TXSocket* client = ConnectedClient(peer);
    EXPECT_EQ(client->HandshakeCount(), 1);
    peer.Send("r\n");
    ASSERT_TRUE(WaitFor([&] { return Count("cli:handshake:0") == 2; })) << peer.Output();
    EXPECT_EQ(client->HandshakeCount(), 2);
    EXPECT_FALSE(client->SslInRenegotiation());
    EXPECT_FALSE(client->InHandshake());
    EXPECT_EQ(client->SslPhase(), sslPhaseEstablished);
    client->SendStr("after the second handshake\r\n");
    ASSERT_TRUE(WaitFor([&] {
        return peer.Output().find("after the second handshake\r\n") != std::string::npos;
    })) << peer.Output();
}

// A read that would block leaves 10035 in LastError: no failure of the
// network, so the server's close that follows is answered with our close
// notify and completes without an error.
TEST_F(OpensslServerTest, AReadThatWouldBlockIsNoNetworkError)
{
    TOpenSslPeer peer(ServerArgs());
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TXSocket* client = ConnectedClient(peer);
    client->SetLineMode(false);
    client->OnDataAvailable = [&](rtl::TObject*, WORD) {
        Received["cli"] += client->ReceiveStr();
        client->ReceiveStr();  // nothing more
    };
    peer.Send("bye\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["cli"] == "bye\r\n"; }));
    EXPECT_EQ(client->LastError, WSAEWOULDBLOCK);
    peer.EndInput();
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed; }));
    EXPECT_EQ(Count("cli:shutdown:uni:0"), 1);
    EXPECT_EQ(Count("cli:closed:0"), 1);
}

TEST_F(OpensslServerTest, APeerThatVanishesEndsTheSessionOnce)
{
    TOpenSslPeer peer(ServerArgs());
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TXSocket* client = ConnectedClient(peer);
    peer.Send("before the end\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received["cli"] == "before the end\r\n"; }));
    peer.Kill();
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed; }));
    int closes = 0;
    for (const std::string& entry : Log)
        closes += entry.rfind("cli:closed:", 0) == 0;
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(client->Ssl(), nullptr);
    EXPECT_FALSE(client->SslEnable);  // the next connection runs in the clear unless asked
}

// s_client towards our server: it checks the server against the made CA,
// sends its input and writes what it receives, and the end of its input
// ends the connection.
std::vector<std::string> ClientArgs(u_short port)
{
    return {"s_client", "-connect", "127.0.0.1:" + std::to_string(port), "-CAfile",
            UnixCertPath("ca.pem"), "-verify_return_error", "-quiet", "-no_ign_eof"};
}

// Our server answers every line with "echo: " and the line.
struct OpensslClientTest : SslSocketTest {
    void SetUp() override
    {
        SslSocketTest::SetUp();
        StartServer();
        Server->OnClientConnect = [this](rtl::TObject*, TXSocketClient* c, WORD) {
            c->OnDataAvailable = [this, c](rtl::TObject*, WORD) {
                const std::string line = c->ReceiveStr();
                Received["srv" + std::to_string(c->ClientId)] += line;
                c->SendStr("echo: " + line);
            };
        };
    }
};

TEST_F(OpensslClientTest, OurServerGreetsAndServesLines)
{
    TOpenSslPeer client(ClientArgs(ServerPort));
    ASSERT_TRUE(client.Started()) << client.Errors();
    const std::string banner = "Welcome to TcpSrv\r\n";
    ASSERT_TRUE(client.WaitForOutput(banner.size())) << client.Errors();
    EXPECT_EQ(client.Output(), banner);
    ASSERT_TRUE(Logged("srv1:handshake:0"));
    EXPECT_EQ(ServerClient(1)->SslVersion(), "TLSv1.2");
    EXPECT_EQ(ServerClient(1)->SslMode, sslModeServer);

    client.Send("$127BPING5C\r\n#127BGN\r\n");
    const std::string echoes = "echo: $127BPING5C\r\necho: #127BGN\r\n";
    ASSERT_TRUE(client.WaitForOutput(banner.size() + echoes.size())) << client.Output();
    EXPECT_EQ(client.Output(), banner + echoes);
    EXPECT_EQ(Received["srv1"], "$127BPING5C\r\n#127BGN\r\n");

    client.EndInput();
    ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 0; }));
    EXPECT_EQ(Count("srv1:closed:0"), 1);
    EXPECT_EQ(Count("srv1:gone:0"), 1);
    EXPECT_TRUE(client.WaitForExit());
}

TEST_F(OpensslClientTest, SeveralClientsAtOnce)
{
    std::vector<std::unique_ptr<TOpenSslPeer>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<TOpenSslPeer>(ClientArgs(ServerPort)));
        ASSERT_TRUE(clients.back()->Started()) << clients.back()->Errors();
    }
    ASSERT_TRUE(WaitFor([&] { return Count("srv1:handshake:0") + Count("srv2:handshake:0") +
                                         Count("srv3:handshake:0") == 3; }));
    EXPECT_EQ(Server->ClientCount(), 3);
    for (size_t i = 0; i < clients.size(); ++i)
        clients[i]->Send("client " + std::to_string(i) + "\r\n");
    for (size_t i = 0; i < clients.size(); ++i) {
        const std::string expected =
            "Welcome to TcpSrv\r\necho: client " + std::to_string(i) + "\r\n";
        ASSERT_TRUE(clients[i]->WaitForOutput(expected.size())) << clients[i]->Output();
        EXPECT_EQ(clients[i]->Output(), expected);
    }
    for (auto& client : clients)
        client->EndInput();
    ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 0; }));
}

// Garbage instead of a handshake fails that client's handshake, and a
// client that stops half-way through its hello keeps its handshake waiting
// until it gives up; others are served meanwhile, and every session goes
// with nothing left behind: the second round of the same clients ends with
// OpenSSL holding what it held after the first, and nothing freed twice.
TEST_F(OpensslClientTest, GarbageAndAStalledHandshakeLeaveTheServerServingAndNothingBehind)
{
    TOpenSslHeapWatch heap;
    ASSERT_TRUE(heap.Installed());
    ServerContext->SslSessionCacheModes = 0;  // a cached session is no leak
    size_t afterFirst = 0;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round + 1));
        const std::string garbageName = "srv" + std::to_string(3 * round + 1);
        const std::string stalledName = "srv" + std::to_string(3 * round + 2);
        xstest::TPlainPeer garbage;
        garbage.ConnectTo(ServerPort);
        ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 1; }));
        garbage.SendAll("GET / HTTP/1.0\r\n\r\n");
        ASSERT_TRUE(WaitFor([&] { return Logged(garbageName + ":gone:10053"); }));
        EXPECT_EQ(Count(garbageName + ":handshake:1"), 1);
        EXPECT_EQ(Count(garbageName + ":closed:10053"), 1);

        auto stalled = std::make_unique<xstest::TPlainPeer>();
        stalled->ConnectTo(ServerPort);
        ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 1; }));
        // A handshake record that announces 512 bytes and brings 9.
        stalled->SendAll(std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\x00\x00\x00", 14));
        {
            TOpenSslPeer client(ClientArgs(ServerPort));
            ASSERT_TRUE(client.Started()) << client.Errors();
            ASSERT_TRUE(client.WaitForOutput(19)) << client.Errors();
            EXPECT_EQ(client.Output(), "Welcome to TcpSrv\r\n");
            EXPECT_EQ(Server->ClientCount(), 2);
            EXPECT_EQ(ServerClient(3 * round + 2)->SslPhase(), sslPhaseHandshake);
            client.EndInput();
            ASSERT_TRUE(WaitFor([&] { return Server->ClientCount() == 1; }));
        }
        // The test's time-out: the stalled client gives up.
        stalled.reset();
        ASSERT_TRUE(WaitFor([&] { return Logged(stalledName + ":gone:10053"); }));
        EXPECT_EQ(Count(stalledName + ":handshake:1"), 1);
        EXPECT_EQ(Server->ClientCount(), 0);
        Settle();
        if (round == 0)
            afterFirst = TOpenSslHeapWatch::LiveBlocks();
    }
    EXPECT_EQ(TOpenSslHeapWatch::LiveBlocks(), afterFirst);
    EXPECT_EQ(TOpenSslHeapWatch::BadFrees(), 0);
}

}  // namespace
}  // namespace ssltest
