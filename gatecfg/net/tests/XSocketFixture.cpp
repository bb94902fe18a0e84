#include "XSocketFixture.h"

#include <algorithm>

namespace xstest {

namespace {
constexpr long kFionBio = 0x8004667E;

sockaddr_in Loopback(u_short port)
{
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = winsock::htons(port);
    a.sin_addr.s_addr = winsock::inet_addr("127.0.0.1");
    return a;
}
}  // namespace

bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        rtl::Application()->ProcessMessages();
        if (cond())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool WaitForGrowth(const std::function<size_t()>& size, size_t target, DWORD stallMs)
{
    for (size_t seen = size(); seen < target; seen = size()) {
        if (!WaitFor([&] { return size() != seen; }, stallMs))
            return false;
    }
    return true;
}

void Settle()
{
    WaitFor([] { return false; }, 200);
}

TPlainPeer::TPlainPeer() : S(winsock::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP))
{
    u_long on = 1;
    winsock::ioctlsocket(S, kFionBio, &on);
}

TPlainPeer& TPlainPeer::operator=(TPlainPeer&& other) noexcept
{
    std::swap(S, other.S);
    return *this;
}

TPlainPeer::~TPlainPeer()
{
    if (S != INVALID_SOCKET)
        winsock::closesocket(S);
}

u_short TPlainPeer::Listen()
{
    sockaddr_in a = Loopback(0);
    EXPECT_EQ(winsock::bind(S, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(winsock::listen(S, 5), 0);
    return LocalPort();
}

void TPlainPeer::ConnectTo(u_short port)
{
    sockaddr_in a = Loopback(port);
    winsock::connect(S, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

u_short TPlainPeer::LocalPort() const
{
    sockaddr_in a = {};
    int len = sizeof a;
    winsock::getsockname(S, reinterpret_cast<sockaddr*>(&a), &len);
    return winsock::ntohs(a.sin_port);
}

TPlainPeer TPlainPeer::AcceptWait()
{
    SOCKET s = INVALID_SOCKET;
    WaitFor([&] {
        s = winsock::accept(S, nullptr, nullptr);
        return s != INVALID_SOCKET;
    });
    TPlainPeer r(s);
    u_long on = 1;
    winsock::ioctlsocket(s, kFionBio, &on);
    return r;
}

std::string TPlainPeer::RecvWait(size_t count)
{
    std::string got;
    WaitFor([&] {
        char buf[65536];
        for (;;) {
            const int want = int(std::min(sizeof buf, count - got.size()));
            if (want == 0)
                return true;
            const int n = winsock::recv(S, buf, want, 0);
            if (n == 0)
                return true;
            if (n < 0)
                return winsock::WSAGetLastError() != WSAEWOULDBLOCK;
            got.append(buf, size_t(n));
        }
    });
    return got;
}

size_t TPlainPeer::DrainUntilClosed()
{
    size_t total = 0;
    WaitFor([&] {
        char buf[65536];
        for (;;) {
            const int n = winsock::recv(S, buf, sizeof buf, 0);
            if (n == 0)
                return true;
            if (n < 0)
                return winsock::WSAGetLastError() != WSAEWOULDBLOCK;
            total += size_t(n);
        }
    });
    return total;
}

bool TPlainPeer::WaitForEnd()
{
    int result = -1;
    WaitFor([&] {
        char c;
        result = winsock::recv(S, &c, 1, 0);
        return result >= 0 || winsock::WSAGetLastError() != WSAEWOULDBLOCK;
    });
    return result == 0;
}

void TPlainPeer::SendAll(const std::string& data)
{
    size_t done = 0;
    WaitFor([&] {
        while (done < data.size()) {
            const int n = winsock::send(S, data.data() + done, int(data.size() - done), 0);
            if (n <= 0)
                return winsock::WSAGetLastError() != WSAEWOULDBLOCK;
            done += size_t(n);
        }
        return true;
    });
    EXPECT_EQ(done, data.size());
}

void TPlainPeer::Reset()
{
    linger l = {1, 0};
    winsock::setsockopt(S, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    winsock::closesocket(S);
    S = INVALID_SOCKET;
}

u_short UnusedPort()
{
    TPlainPeer probe;
    return probe.Listen();  // free again once the probe is closed
}

void XSocketTest::SetUp()
{
    StartCalyxUnits();
    WinsockUsageInc();  // the plain peers need WinSock between components
}

void XSocketTest::TearDown()
{
    for (auto it = Sockets.rbegin(); it != Sockets.rend(); ++it)
        (*it)->Free();
    Sockets.clear();
    Settle();
    WinsockUsageRelease();
    EXPECT_EQ(WinsockUsageCount(), 0);
    StopCalyxUnits();
}

TCustomSslXSocket* XSocketTest::MakeSocket(const std::string& name)
{
    // The final class of the chain: the layers above must pass through.
    return Record(rtl::Create<TCustomSslXSocket>(nullptr), name);
}

void XSocketTest::Forget(TCustomXSocket* s)
{
    Sockets.erase(std::remove(Sockets.begin(), Sockets.end(), s), Sockets.end());
    Accepted.erase(std::remove(Accepted.begin(), Accepted.end(), s), Accepted.end());
}

TCustomSslXSocket* XSocketTest::Record(TCustomSslXSocket* s, const std::string& name)
{
    Sockets.push_back(s);
    auto log = [this, name](const std::string& text) { Log.push_back(name + ":" + text); };
    s->OnChangeState = [log](rtl::TObject*, TSocketState, TSocketState to) {
        log(std::string("state:") + SocketStateName(to));
    };
    s->OnSessionConnected = [log](rtl::TObject*, WORD e) { log("connected:" + std::to_string(e)); };
    s->OnSessionClosed = [log](rtl::TObject*, WORD e) { log("closed:" + std::to_string(e)); };
    s->OnDataSent = [log](rtl::TObject*, WORD e) { log("sent:" + std::to_string(e)); };
    s->OnDataAvailable = [this, s, log](rtl::TObject*, WORD e) {
        const std::string text = s->ReceiveStr();
        if (!text.empty()) {
            Received.push_back(text);
            log("data:" + text);
        }
        (void)e;
    };
    return s;
}

u_short XSocketTest::StartListener()
{
    TCustomXSocket* listener = MakeSocket("srv");
    Listener = listener;
    listener->SetAddr("127.0.0.1");
    listener->SetPort("0");
    listener->OnSessionAvailable = [this, listener](rtl::TObject*, WORD) {
        TCustomXSocket* acc = MakeSocket("acc");
        Accepted.push_back(acc);
        acc->Dup(listener->Accept());
    };
    listener->Listen();
    return u_short(std::stoi(listener->GetXPort()));
}

TCustomXSocket* XSocketTest::ConnectClient(u_short port)
{
    TCustomXSocket* client = MakeSocket("cli");
    client->SetAddr("127.0.0.1");
    client->SetPort(std::to_string(port));
    client->Connect();
    return client;
}

TCustomXSocket* XSocketTest::ConnectToPeer(TPlainPeer& server, TPlainPeer& peer)
{
    TCustomXSocket* client = ConnectClient(server.Listen());
    peer = server.AcceptWait();
    EXPECT_TRUE(WaitFor([&] { return client->State() == wsConnected; }));
    return client;
}

void XSocketTest::ConnectPair(TCustomXSocket*& client, TCustomXSocket*& accepted)
{
    client = ConnectClient(StartListener());
    ASSERT_TRUE(WaitFor([&] { return client->State() == wsConnected && !Accepted.empty(); }));
    accepted = Accepted.back();
    Settle();
    Log.clear();
}

int XSocketTest::Count(const std::string& entry) const
{
    return int(std::count(Log.begin(), Log.end(), entry));
}

}  // namespace xstest
