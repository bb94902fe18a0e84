// The SOCKS layer against a scripted proxy of our own on loopback.
#include "XSocketFixture.h"

using namespace xstest;

namespace {

#define BYTES(s) std::string(s, sizeof(s) - 1)

struct TStep {
    std::string Expect;  // what the proxy must receive
    std::string Reply;
    bool ByteByByte = false;
    bool ThenClose = false;  // the proxy closes after its reply
};

struct TSocksCase {
    const char* Name;
    const char* Level;
    bool Auth;
    std::vector<TStep> Script;
    std::vector<std::string> Events;
};

const std::string kLongName(200, 'n');
const std::string kGreeting = BYTES("\x05\x01\x00");
const std::string kAuthGreeting = BYTES("\x05\x01\x02");
const std::string kCredentials = BYTES("\x01\x04user\x04pass");
const std::string kRequest5 = BYTES("\x05\x01\x00\x03\x0btarget.host\x00\x50");
const std::string kRequest4 = BYTES("\x04\x01\x00\x50\x7f\x00\x00\x01user\x00");

// The events of a negotiation that fails with code and text.
std::vector<std::string> Failed(std::vector<std::string> before, int code, const std::string& text)
{
    const std::string c = std::to_string(code);
    before.push_back("socks:error:" + c + ":" + text);
    before.push_back("cli:connected:" + c);
    before.push_back("cli:closed:" + c);
    return before;
}

const TSocksCase kCases[] = {
    {"5 without authentication, data in the same read as the reply", "5", false,
     {{BYTES("\x05\x01\x00"), BYTES("\x05\x00")},
      {BYTES("\x05\x01\x00\x03\x0btarget.host\x00\x50"),
       BYTES("\x05\x00\x00\x01\x7f\x00\x00\x01\x1f\x90") + "app!"}},
     {"socks:connected:0", "cli:connected:0", "cli:data:app!"}},
    {"5 authenticated, reply byte by byte, long bound name", "5", true,
     {{BYTES("\x05\x01\x02"), BYTES("\x05\x02")},
      {BYTES("\x01\x04user\x04pass"), BYTES("\x01\x00"), true},
      {BYTES("\x05\x01\x00\x03\x0btarget.host\x00\x50"),
       BYTES("\x05\x00\x00\x03\xc8") + kLongName + BYTES("\x00\x50")}},
     {"socks:connected:0", "socks:auth:0", "socks:auth:1", "cli:connected:0"}},
    {"5 authentication refused", "5", true,
     {{BYTES("\x05\x01\x02"), BYTES("\x05\x02")}, {BYTES("\x01\x04user\x04pass"), BYTES("\x01\x01")}},
     {"socks:connected:0", "socks:auth:0", "socks:error:20015:socks authentication failed",
      "cli:connected:20015", "cli:closed:20015"}},
    {"5 proxy needs no authentication after all", "5", true,
     {{BYTES("\x05\x01\x02"), BYTES("\x05\x00")},
      {BYTES("\x05\x01\x00\x03\x0btarget.host\x00\x50"),
       BYTES("\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x50")}},
     {"socks:connected:0", "socks:auth:3", "cli:connected:0"}},
    {"5 request refused", "5", false,
     {{BYTES("\x05\x01\x00"), BYTES("\x05\x00")},
      {BYTES("\x05\x01\x00\x03\x0btarget.host\x00\x50"),
       BYTES("\x05\x05\x00\x01\x00\x00\x00\x00\x00\x00")}},
     {"socks:connected:0", "socks:error:20008:connection refused", "cli:connected:20008",
      "cli:closed:20008"}},
    {"4 granted", "4", false,
     {{BYTES("\x04\x01\x00\x50\x7f\x00\x00\x01user\x00"), BYTES("\x00\x5a\x00\x00\x00\x00\x00\x00")}},
     {"socks:connected:0", "cli:connected:0"}},
    {"4 refused", "4", false,
     {{BYTES("\x04\x01\x00\x50\x7f\x00\x00\x01user\x00"), BYTES("\x00\x5c\x00\x00\x00\x00\x00\x00")}},
     {"socks:connected:0", "socks:error:20008:connection refused", "cli:connected:20008",
      "cli:closed:20008"}},
    {"4A names the host", "4A", false,
     {{BYTES("\x04\x01\x00\x50\x00\x00\x00\x01user\x00target.host\x00"),
       BYTES("\x00\x5a\x00\x00\x00\x00\x00\x00") + "hi"}},
     {"socks:connected:0", "cli:connected:0", "cli:data:hi"}},
    // A hostile or broken proxy: every answer outside the protocol ends the
    // negotiation with its own code, and nothing more is sent to it.
    {"5 method reply of another version", "5", false, {{kGreeting, BYTES("\x04\x00")}},
     Failed({"socks:connected:0"}, 20002, "socks version error")},
    {"5 no acceptable method", "5", true, {{kAuthGreeting, BYTES("\x05\xff")}},
     Failed({"socks:connected:0"}, 20003, "authentification method not acceptable")},
    {"5 proxy picks authentication that was not offered", "5", false,
     {{kGreeting, BYTES("\x05\x02")}},
     Failed({"socks:connected:0"}, 20003, "authentification method not acceptable")},
    {"5 authentication reply of another version", "5", true,
     {{kAuthGreeting, BYTES("\x05\x02")}, {kCredentials, BYTES("\x02\x00")}},
     Failed({"socks:connected:0", "socks:auth:0"}, 20002, "socks version error")},
    {"5 authentication reply too long", "5", true,
     {{kAuthGreeting, BYTES("\x05\x02")}, {kCredentials, BYTES("\x01\x00\x00")}},
     Failed({"socks:connected:0", "socks:auth:0"}, 20001, "too much data availaible")},
    {"5 proxy closes during authentication", "5", true,
     {{kAuthGreeting, BYTES("\x05\x02")}, {kCredentials, "", false, true}},
     {"socks:connected:0", "socks:auth:0", "socks:auth:2", "cli:closed:0"}},
    {"5 reply of another version", "5", false,
     {{kGreeting, BYTES("\x05\x00")}, {kRequest5, BYTES("\x04\x00\x00\x01\x7f\x00\x00\x01\x00\x50")}},
     Failed({"socks:connected:0"}, 20002, "socks version error")},
    {"5 general failure", "5", false,
     {{kGreeting, BYTES("\x05\x00")}, {kRequest5, BYTES("\x05\x01")}},
     Failed({"socks:connected:0"}, 20004, "general SOCKS server failure")},
    {"5 address type not supported", "5", false,
     {{kGreeting, BYTES("\x05\x00")}, {kRequest5, BYTES("\x05\x08")}},
     Failed({"socks:connected:0"}, 20011, "address type not supported")},
    {"5 reply code out of the table", "5", false,
     {{kGreeting, BYTES("\x05\x00")}, {kRequest5, BYTES("\x05\x09")}},
     Failed({"socks:connected:0"}, 20012, "unassigned error #9")},
    {"5 bound address of an unknown type", "5", false,
     {{kGreeting, BYTES("\x05\x00")}, {kRequest5, BYTES("\x05\x00\x00\x04\x00")}},
     Failed({"socks:connected:0"}, 20011, "address type not supported")},
    {"4 reply of another version", "4", false,
     {{kRequest4, BYTES("\x01\x5a\x00\x00\x00\x00\x00\x00")}},
     Failed({"socks:connected:0"}, 20002, "socks version error")},
    {"4 rejected", "4", false, {{kRequest4, BYTES("\x00\x5b\x00\x00\x00\x00\x00\x00")}},
     Failed({"socks:connected:0"}, 20016, "request rejected or failed")},
    {"4 user not confirmed", "4", false,
     {{kRequest4, BYTES("\x00\x5d\x00\x00\x00\x00\x00\x00")}},
     Failed({"socks:connected:0"}, 20015, "authentification failed")},
    {"4 status out of the table", "4", false,
     {{kRequest4, BYTES("\x00\x5e\x00\x00\x00\x00\x00\x00")}},
     Failed({"socks:connected:0"}, 20012, "unassigned error #94")},
};

std::vector<std::string> Negotiation(const std::vector<std::string>& log)
{
    std::vector<std::string> r;
    for (const auto& e : log)
        if (e.rfind("cli:state:", 0) != 0 && e.rfind("cli:sent:", 0) != 0)
            r.push_back(e);
    return r;
}

}  // namespace

struct SocksXSocketTest : XSocketTest {
    TCustomSslXSocket* Client(const char* level, bool auth, u_short proxyPort)
    {
        TCustomSslXSocket* cli = MakeSocket("cli");
        cli->SetAddr(std::string(level) == "4" ? "127.0.0.1" : "target.host");
        cli->SetPort("80");
        cli->SetSocksServer("127.0.0.1");
        cli->SetSocksPort(std::to_string(proxyPort));
        cli->SetSocksLevel(level);
        cli->SocksUsercode = "user";
        cli->SocksPassword = "pass";
        cli->SocksAuthentication = auth ? socksAuthenticateUsercode : socksNoAuthentication;
        cli->OnSocksConnected = [this](rtl::TObject*, WORD e) {
            Log.push_back("socks:connected:" + std::to_string(e));
        };
        cli->OnSocksAuthState = [this](rtl::TObject*, TSocksAuthState s) {
            Log.push_back("socks:auth:" + std::to_string(int(s)));
        };
        cli->OnSocksError = [this](rtl::TObject*, int e, const std::string& text) {
            Log.push_back("socks:error:" + std::to_string(e) + ":" + text);
        };
        return cli;
    }
};

TEST_F(SocksXSocketTest, NegotiatesWithEachLevel)
{
    for (const TSocksCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        Log.clear();
        TPlainPeer proxy;
        TCustomSslXSocket* cli = Client(c.Level, c.Auth, proxy.Listen());
        cli->Connect();
        TPlainPeer peer = proxy.AcceptWait();
        for (const TStep& step : c.Script) {
            EXPECT_EQ(peer.RecvWait(step.Expect.size()), step.Expect);
            EXPECT_TRUE(cli->SocksNegotiating());
            if (step.ByteByByte) {
                for (char byte : step.Reply) {
                    peer.SendAll(std::string(1, byte));
                    Settle();
                }
            } else if (!step.Reply.empty()) {
                peer.SendAll(step.Reply);
            }
            if (step.ThenClose)
                peer = TPlainPeer();
        }
        ASSERT_TRUE(WaitFor([&] { return Negotiation(Log).size() >= c.Events.size(); }));
        Settle();
        EXPECT_EQ(Negotiation(Log), c.Events);
        EXPECT_FALSE(cli->SocksNegotiating());
        const bool failed = c.Events.back().rfind("cli:closed:", 0) == 0;
        EXPECT_EQ(cli->State(), failed ? wsClosed : wsConnected);
        if (failed && peer.S != INVALID_SOCKET) {
            EXPECT_EQ(peer.DrainUntilClosed(), 0u) << "sent to the proxy after the failure";
        }
        if (!failed && std::string(c.Level) == "5") {
            EXPECT_TRUE(cli->BoundAddr() == "127.0.0.1" || cli->BoundAddr() == kLongName);
        }
        if (!failed) {
            // Past the negotiation the socket is an ordinary connection.
            EXPECT_EQ(cli->SendStr("ping"), 4);
            EXPECT_EQ(peer.RecvWait(4), "ping");
            cli->Close();
            // The proxy has to be given again for the next connection.
            EXPECT_EQ(cli->SocksServer(), "");
            EXPECT_EQ(cli->SocksPort(), "");
            EXPECT_EQ(cli->SocksLevel(), "5");
        }
    }
}

TEST_F(SocksXSocketTest, RequestsThatDoNotFitAreRefusedBeforeAnythingIsSent)
{
    struct TLong {
        const char* Level;
        bool Auth;
        std::string Addr, User, Password;
    } const kLong[] = {
        {"5", false, std::string(122, 'h'), "u", "p"},
        {"5", true, "target.host", std::string(100, 'u'), std::string(26, 'p')},
        {"4", false, "127.0.0.1", std::string(120, 'u'), ""},
        {"4A", false, std::string(60, 'h'), std::string(60, 'u'), ""},
    };
    for (const TLong& c : kLong) {
        SCOPED_TRACE(c.Level);
        TPlainPeer proxy;
        TCustomSslXSocket* cli = Client(c.Level, c.Auth, proxy.Listen());
        cli->SetAddr(c.Addr);
        cli->SocksUsercode = c.User;
        cli->SocksPassword = c.Password;
        EXPECT_THROW(cli->Connect(), ESocketException);
        EXPECT_EQ(cli->State(), wsClosed);
        Settle();
        EXPECT_EQ(winsock::accept(proxy.S, nullptr, nullptr), INVALID_SOCKET);
        EXPECT_EQ(winsock::WSAGetLastError(), WSAEWOULDBLOCK);
    }
    // The longest request that fits still goes.
    TPlainPeer proxy;
    TCustomSslXSocket* cli = Client("5", false, proxy.Listen());
    cli->SetAddr(std::string(121, 'h'));
    cli->Connect();
    TPlainPeer peer = proxy.AcceptWait();
    EXPECT_EQ(peer.RecvWait(3), BYTES("\x05\x01\x00"));
}

TEST_F(SocksXSocketTest, SettingsAndRefusals)
{
    TCustomSslXSocket* s = Client("4a", false, 1080);
    EXPECT_EQ(s->SocksLevel(), "4A");
    try {
        s->SetSocksLevel("5a");
        ADD_FAILURE();
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "Invalid socks level. Must be 4, 4A or 5.");
    }
    try {
        s->Listen();
        ADD_FAILURE();
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "Listening is not supported thru socks server");
    }
    s->SetProto("udp");
    try {
        s->Connect();
        ADD_FAILURE();
    } catch (ESocketException& e) {
        EXPECT_EQ(e.Message(), "TCP is the only protocol supported thru socks server");
    }
}
