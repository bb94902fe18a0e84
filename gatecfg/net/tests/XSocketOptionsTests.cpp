// The socket options as the component hands them to WinSock, in the numbers
// of WinSock 1.1: level 65535 (SOL_SOCKET) with 4 reuse, 8 keep-alive, 32
// broadcast, 128 linger; level 6 with 1 no-delay; level 0 with 2 multicast
// interface, 3 multicast time-to-live, 5 group membership.
#include <functional>

#include "XSocketFixture.h"

using namespace xstest;

namespace {

using Calls = std::vector<std::string>;

struct TOptionCase {
    const char* Name;
    std::function<void(TCustomXSocket*)> Configure;
    bool Listen;  // else Connect
    Calls Expected;
};

}  // namespace

TEST_F(XSocketTest, OptionsAsAppliedAtConnectAndListen)
{
    TPlainPeer server;
    const std::string port = std::to_string(server.Listen());
    const TOptionCase kCases[] = {
        {"stream connect, defaults", [](TCustomXSocket*) {}, false, {"65535/4=1", "65535/128={1,0}"}},
        {"stream connect, no-delay, linger off with a time-out",
         [](TCustomXSocket* s) {
             s->ComponentOptions = {wsoTcpNoDelay};
             s->LingerOnOff = wsLingerOff;
             s->SetLingerTimeout(7);
         },
         false, {"65535/4=1", "6/1=-1", "65535/128={0,7}"}},
        {"stream connect, linger not set, system keep-alive",
         [](TCustomXSocket* s) {
             s->LingerOnOff = wsLingerNoSet;
             s->KeepAliveOnOff = wsKeepAliveOnSystem;
         },
         false, {"65535/4=1", "65535/8=1"}},
        {"stream connect, custom keep-alive",
         [](TCustomXSocket* s) {
             s->KeepAliveOnOff = wsKeepAliveOnCustom;
             s->KeepAliveTime = 5000;
             s->KeepAliveInterval = 1000;
         },
         false, {"65535/4=1", "65535/128={1,0}", "ioctl 98000004=1,5000,1000"}},
        // Nothing is sent: the broadcast address only switches the option on.
        {"datagram connect to the broadcast address",
         [](TCustomXSocket* s) {
             s->SetProto("udp");
             s->SetAddr("255.255.255.255");
         },
         false, {"65535/32=1"}},
        {"datagram connect, multicast",
         [](TCustomXSocket* s) {
             s->SetProto("udp");
             s->MultiCast = true;
             s->MultiCastIpTTL = 5;
             s->SetLocalAddr("127.0.0.1");
         },
         false, {"0/3=5", "0/2=127.0.0.1"}},
        {"datagram listen with reuse",
         [](TCustomXSocket* s) {
             s->SetProto("udp");
             s->ReuseAddr = true;
         },
         true, {"65535/4=1"}},
        {"stream listen never reuses", [](TCustomXSocket* s) { s->ReuseAddr = true; }, true, {}},
        {"datagram listen joins the group",
         [](TCustomXSocket* s) {
             s->SetProto("udp");
             s->MultiCast = true;
             s->MultiCastAddrStr = "239.1.2.3";
         },
         true, {"0/5=239.1.2.3/127.0.0.1"}},
    };
    for (const TOptionCase& c : kCases) {
        SCOPED_TRACE(c.Name);
        TCustomXSocket* s = MakeSocket("s");
        s->SetAddr("127.0.0.1");
        s->SetPort(c.Listen ? "0" : port);
        c.Configure(s);
        {
            TOptionRecorder recorder;
            if (c.Listen)
                s->Listen();
            else
                s->Connect();
            EXPECT_EQ(TOptionRecorder::Calls, c.Expected);
        }
        s->Close();
    }
}

TEST_F(XSocketTest, OptionsAsAppliedToAnAcceptedConnection)
{
    const u_short port = StartListener();
    std::vector<TPlainPeer> peers;  // kept open: no close of theirs may interfere
    for (const bool noDelay : {false, true}) {
        SCOPED_TRACE(noDelay ? "no-delay" : "defaults");
        // The options are set on the adopting socket before the adoption.
        Listener->OnSessionAvailable = [this, noDelay](rtl::TObject*, WORD) {
            TCustomXSocket* acc = MakeSocket("acc");
            Accepted.push_back(acc);
            if (noDelay)
                acc->ComponentOptions = {wsoTcpNoDelay};
            acc->Dup(Listener->Accept());
        };
        const size_t before = Accepted.size();
        TOptionRecorder recorder;
        peers.emplace_back();
        peers.back().ConnectTo(port);
        ASSERT_TRUE(WaitFor([&] { return Accepted.size() > before; }));
        const Calls expected = noDelay ? Calls{"6/1=-1", "65535/128={1,0}"} : Calls{"65535/128={1,0}"};
        EXPECT_EQ(TOptionRecorder::Calls, expected);
    }
}
