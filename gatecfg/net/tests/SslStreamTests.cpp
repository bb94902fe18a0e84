// Our SSL client against two TLS stacks written apart from ours (Debian's
// openssl command and GnuTLS's gnutls-serv) while data flows both ways at
// once, through renegotiations that the server asks for with data in flight,
// and at the end of a session: nothing stalls, every byte arrives as it was
// sent, and a session that ended early never reads as a complete one.
#include <cstring>
#include <random>

#include "OpenSslPeer.h"
#include "SslSocketFixture.h"

namespace ssltest {
namespace {

constexpr DWORD kStreamWaitMs = 240000;
// The peers' own bound: far beyond what a transfer that keeps moving takes on
// a loaded machine (the waits below fail on a stall, not on slowness).
constexpr int kPeerMaxSeconds = 1800;

// Random hex lines ending in CR LF, about `bytes` in all: text that both
// peers pass on as it came (gnutls-serv's echo works on lines).
std::string RandomLines(size_t bytes, unsigned seed)
{
    std::mt19937 random(seed);
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    while (text.size() < bytes) {
        const size_t length = 1 + random() % 120;
        for (size_t i = 0; i < length; ++i)
            text += kHex[random() % 16];
        text += "\r\n";
    }
    return text;
}

// s_server on a free port that writes what it receives to its output and
// sends its input.
std::vector<std::string> OpensslServer(const std::vector<std::string>& extra = {"-quiet"})
{
    std::vector<std::string> args = {"s_server",
                                     "-accept",
                                     "127.0.0.1:{port}",
                                     "-cert",
                                     UnixCertPath("server.pem"),
                                     "-key",
                                     UnixCertPath("server.key"),
                                     "-no_ign_eof"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// gnutls-serv echoing every line as it came.
std::vector<std::string> GnutlsEchoServer()
{
    return {"--echo",         "--crlf",
            "--port",         "{port}",
            "--x509certfile", UnixCertPath("server.pem"),
            "--x509keyfile",  UnixCertPath("server.key")};
}

struct SslStreamTest : SslSocketTest {
    // Our client in raw mode, connected with its handshake done (none when
    // the handshake did not end); what it receives goes to Received[name] as
    // it came. A loaded machine can take long over the handshake: sending
    // before it ends would only fail for want of a connection.
    TXSocket* StreamingClient(TOpenSslPeer& peer, const std::string& name = "cli")
    {
        TXSocket* client = MakeClient(name);
        client->SetLineMode(false);
        client->OnDataAvailable = [this, client, name](rtl::TObject*, WORD) {
            char buffer[8192];
            int n;
            while ((n = client->Receive(buffer, sizeof buffer)) > 0)
                Received[name].append(buffer, size_t(n));
        };
        // The cases of a table share the log: only a handshake after this
        // connect is this client's.
        const int before = Count(name + ":handshake:0");
        Connect(client, peer.Port());
        const bool done = WaitFor([&] { return Count(name + ":handshake:0") > before; }, kStreamWaitMs);
        EXPECT_TRUE(done) << peer.Errors();
        return done ? client : nullptr;
    }
};

struct TStreamCase {
    const char* What;
    bool Gnutls;  // else s_server
    size_t Bytes;
};

// Both ends send at once: the peer's data reaches us while ours is still on
// its way out, whichever stack the peer is (gnutls-serv sends back what it
// receives, s_server sends its own).
TEST_F(SslStreamTest, BothEndsSendingAtOnceLoseNothing)
{
    const TStreamCase kCases[] = {
        {"s_server, 256 KB", false, 256 << 10},
        {"s_server, 4 MB", false, 4 << 20},
        {"gnutls-serv, 256 KB", true, 256 << 10},
        {"gnutls-serv, 4 MB", true, 4 << 20},
    };
    for (const TStreamCase& c : kCases) {
        SCOPED_TRACE(c.What);
        Received.clear();
        TOpenSslPeer peer(c.Gnutls ? GnutlsEchoServer() : OpensslServer(), kPeerMaxSeconds,
                          c.Gnutls ? "gnutls-serv" : "openssl");
        ASSERT_TRUE(peer.Started()) << peer.Errors();
        TXSocket* client = StreamingClient(peer);
        ASSERT_TRUE(client);
        const std::string ours = RandomLines(c.Bytes, 1);
        const std::string theirs = c.Gnutls ? ours : RandomLines(c.Bytes, 2);
        if (!c.Gnutls)
            peer.Send(theirs);
        EXPECT_EQ(client->Send(ours.data(), int(ours.size())), int(ours.size()));
        EXPECT_TRUE(WaitForGrowth([&] { return Received["cli"].size(); }, theirs.size()))
            << Received["cli"].size() << " of " << theirs.size();
        EXPECT_TRUE(Received["cli"] == theirs) << "what we received differs";
        if (!c.Gnutls) {
            EXPECT_TRUE(peer.WaitForOutput(ours.size(), 60000)) << peer.Output().size();
            EXPECT_TRUE(peer.Output() == ours) << "what the peer received differs";
        }
        client->Free();
        Forget(client);
    }
}

// gnutls-serv renegotiates when a record of ours begins with its command,
// while the echo of what came before is still on its way to us.
TEST_F(SslStreamTest, AGnutlsRenegotiationWithItsEchoInFlight)
{
    TOpenSslPeer peer(GnutlsEchoServer(), kPeerMaxSeconds, "gnutls-serv");
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TXSocket* client = StreamingClient(peer);
    ASSERT_TRUE(client);
    const std::string before = RandomLines(256 << 10, 3), after = RandomLines(64 << 10, 4);
    // The command goes alone into a record once all before it has left.
    bool asked = false;
    client->OnDataSent = [&](rtl::TObject*, WORD) {
        if (!asked) {
            asked = true;
            client->SendStr("**REHANDSHAKE**\r\n");
        }
    };
    client->Send(before.data(), int(before.size()));
    ASSERT_TRUE(WaitFor([&] { return client->HandshakeCount() == 2 && Count("cli:handshake:0") == 2; }, kStreamWaitMs))
        << Received["cli"].size() << " of " << before.size() << " received";
    client->Send(after.data(), int(after.size()));
    const std::string reply = "Successfully executed command\n";
    const std::string expected = before + reply + after;
    EXPECT_TRUE(WaitForGrowth([&] { return Received["cli"].size(); }, expected.size()))
        << Received["cli"].size() << " of " << expected.size();
    EXPECT_TRUE(Received["cli"] == expected) << "what came back differs";
}

// s_server asks for a second handshake ("r" on its input) while our data
// streams to it. Its own notices go to its output between the data.
TEST_F(SslStreamTest, AnOpensslRenegotiationWhileOurDataFlows)
{
    TOpenSslPeer peer(OpensslServer({}));  // reads its commands
    ASSERT_TRUE(peer.Started()) << peer.Errors();
    TXSocket* client = StreamingClient(peer);
    ASSERT_TRUE(client);
    const std::string marker = "Secure Renegotiation IS supported\n";
    ASSERT_TRUE(WaitFor([&] { return peer.Output().find(marker) != std::string::npos; }));
    const size_t start = peer.Output().find(marker) + marker.size();
    const std::string ours = RandomLines(1 << 20, 5);
    client->Send(ours.data(), int(ours.size()));
    ASSERT_TRUE(peer.WaitForOutput(start + (128 << 10), 60000)) << peer.Output().size();
    peer.Send("r\n");
    EXPECT_TRUE(WaitFor([&] { return Count("cli:handshake:0") == 2; }, kStreamWaitMs)) << peer.Output().size();
    std::string received;
    EXPECT_TRUE(WaitFor(
        [&] {
            received = peer.Output().substr(start);
            for (const char* notice : {"SSL_do_handshake -> 1\n", "Read BLOCK\n"})
                for (size_t at; (at = received.find(notice)) != std::string::npos;)
                    received.erase(at, strlen(notice));
            return received.size() >= ours.size();
        },
        kStreamWaitMs))
        << received.size() << " of " << ours.size();
    EXPECT_TRUE(received == ours) << "what the peer received differs";
    EXPECT_EQ(client->HandshakeCount(), 2);
}

// The TLS 1.0 client method receiving from s_server -tls1, again and again.
TEST_F(SslStreamTest, ATls1TransferCompletesEveryTime)
{
    ClientContext->SslVersionMethod = sslTLS_V1_CLIENT;
    const std::string theirs = RandomLines(256 << 10, 6);
    for (int round = 1; round <= 10; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Received.clear();
        Log.clear();
        TOpenSslPeer peer(OpensslServer({"-quiet", "-tls1", "-cipher", "DEFAULT@SECLEVEL=0"}));
        ASSERT_TRUE(peer.Started()) << peer.Errors();
        TXSocket* client = StreamingClient(peer);
        ASSERT_TRUE(client);
        EXPECT_EQ(client->SslVersion(), "TLSv1");
        peer.Send(theirs);
        EXPECT_TRUE(WaitFor([&] { return Received["cli"].size() >= theirs.size(); }, 60000))
            << Received["cli"].size() << " of " << theirs.size();
        EXPECT_TRUE(Received["cli"] == theirs) << "what we received differs";
        client->Free();
        Forget(client);
        if (HasFailure())
            break;
    }
}

// A handshake that the peer ends and a session cut without the peer's close
// notify are failures; only the close notify ends a session cleanly.
TEST_F(SslStreamTest, OnlyACloseNotifyEndsASessionWithoutAnError)
{
    enum class TEnd { Alert, Fin, Reset, FinAfterHandshake, CloseNotify };
    const struct {
        const char* What;
        TEnd End;
        bool Error;
    } kCases[] = {
        {"the peer refuses the handshake with an alert", TEnd::Alert, true},
        {"the peer closes during the handshake", TEnd::Fin, true},
        {"the peer resets during the handshake", TEnd::Reset, true},
        {"the peer closes without a close notify", TEnd::FinAfterHandshake, true},
        {"the peer sends its close notify", TEnd::CloseNotify, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.What);
        Log.clear();
        TXSocket* client = MakeClient("cli");
        if (c.End == TEnd::Fin || c.End == TEnd::Reset) {
            xstest::TPlainPeer listener;
            Connect(client, listener.Listen());
            xstest::TPlainPeer accepted = listener.AcceptWait();
            // The whole of the client's hello is read: unread data would
            // turn the close into a reset.
            const std::string header = accepted.RecvWait(5);
            ASSERT_EQ(header.size(), 5u);
            const size_t length = size_t(uint8_t(header[3])) << 8 | uint8_t(header[4]);
            ASSERT_EQ(accepted.RecvWait(length).size(), length);
            if (c.End == TEnd::Reset)
                accepted.Reset();
        } else {
            // Without a certificate of ours the server refuses us.
            TOpenSslPeer peer(c.End == TEnd::Alert
                                  ? OpensslServer({"-quiet", "-Verify", "1", "-CAfile", UnixCertPath("ca.pem")})
                                  : OpensslServer());
            ASSERT_TRUE(peer.Started()) << peer.Errors();
            Connect(client, peer.Port());
            if (c.End != TEnd::Alert) {
                ASSERT_TRUE(WaitFor([&] { return Logged("cli:handshake:0"); })) << peer.Errors();
                if (c.End == TEnd::CloseNotify)
                    peer.EndInput();
                else
                    peer.Kill();
            }
            ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed; }));
        }
        ASSERT_TRUE(WaitFor([&] { return client->State() == wsClosed; }));
        int closes = 0;
        for (const std::string& entry : Log)
            if (entry.rfind("cli:closed:", 0) == 0) {
                ++closes;
                EXPECT_EQ(entry != "cli:closed:0", c.Error) << entry;
            }
        EXPECT_EQ(closes, 1);
        client->Free();
        Forget(client);
    }
}

}  // namespace
}  // namespace ssltest
