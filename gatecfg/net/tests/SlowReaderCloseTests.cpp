// A close right after a large send over TLS, to a peer that starts reading
// only seconds later: everything that Send accepted reaches the peer, byte for
// byte, before the close_notify, from our client and from our server. The peer
// is tests/slow-reader.py. (A plain close shows no loss under Wine either way:
// its guard is the option table of the socket tests, linger switched off.)
#include <random>

#include "OpenSslPeer.h"
#include "SslSocketFixture.h"

namespace ssltest {
namespace {

std::string RandomBytes(size_t size)
{
    std::mt19937 generator(27);
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = char(generator());
    return bytes;
}

struct TCloseCase {
    const char* What;
    bool OurServer;
};

TEST_F(SslSocketTest, CloseAfterALargeSendLosesNothingToASlowReader)
{
    const TCloseCase kCases[] = {
        {"our TLS client", false},
        {"our TLS server", true},
    };
    const std::string data = RandomBytes(4 << 20);
    StartServer();
    Server->Banner.clear();
    TCustomSslXSocket* ours = nullptr;
    std::string name;
    OnServerClient = [&](TXSocketClient* c) {
        c->SslEnable = true;
        ours = c;
        name = "srv" + std::to_string(c->ClientId);
    };
    int clients = 0;
    for (const TCloseCase& c : kCases) {
        SCOPED_TRACE(c.What);
        ours = nullptr;
        TOpenSslPeer reader(SlowReaderArgs(c.OurServer, ServerPort, 3, "tls"), 120, "python3");
        ASSERT_TRUE(reader.Started()) << reader.Errors();
        if (!c.OurServer) {
            name = "cli" + std::to_string(++clients);
            TXSocket* client = MakeClient(name);
            client->SslEnable = true;
            Connect(client, reader.Port());
            ours = client;
        }
        ASSERT_TRUE(WaitFor([&] {
            return ours && Logged(name + ":handshake:0");
        })) << reader.Errors();
        const int sentBefore = Count(name + ":sent:0");
        ASSERT_EQ(ours->Send(data.data(), int(data.size())), int(data.size()));
        ASSERT_TRUE(WaitFor([&] { return Count(name + ":sent:0") > sentBefore; }, 180000));
        ours->Close();
        ASSERT_TRUE(reader.WaitForExit(90000)) << reader.Errors();
        const std::string got = reader.Output();
        EXPECT_EQ(got.size(), data.size());
        EXPECT_TRUE(got == data) << "the bytes that arrived differ";
        EXPECT_NE(reader.Errors().find("end: clean"), std::string::npos) << reader.Errors();
        EXPECT_TRUE(WaitFor([&] { return Logged(name + ":closed:0"); }));
    }
}

}  // namespace
}  // namespace ssltest
