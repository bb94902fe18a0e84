#include "SslSocketFixture.h"

#include <algorithm>

namespace ssltest {

void SslSocketTest::SetUp()
{
    StartCalyxUnits();
    WinsockUsageInc();  // the plain peers need WinSock between components
    ServerContext = rtl::Create<TSslContext>(nullptr);
    ServerContext->SslVersionMethod = sslV23_SERVER;
    ServerContext->SslCertFile = CertPath("server.pem");
    ServerContext->SslPrivKeyFile = CertPath("server.key");
    ServerContext->SetCxLogger(Errors.Logger);
    ClientContext = rtl::Create<TSslContext>(nullptr);
    ClientContext->SslVersionMethod = sslV23_CLIENT;
    ClientContext->SslCAFile = CertPath("ca.pem");
    ClientContext->SslVerifyPeer = true;
    ClientContext->SslSessionCacheModes = SSL_SESS_CACHE_CLIENT;
    ClientContext->SetCxLogger(Errors.Logger);
}

void SslSocketTest::TearDown()
{
    for (auto it = Sockets.rbegin(); it != Sockets.rend(); ++it)
        (*it)->Free();
    Sockets.clear();
    rtl::FreeAndNil(Server);
    rtl::FreeAndNil(ServerContext);
    rtl::FreeAndNil(ClientContext);
    Settle();
    EXPECT_EQ(SslUsageCount(), 0) << "a socket kept its use of the libraries";
    EXPECT_EQ(XSocketClientNoticeCount(), 0);
    WinsockUsageRelease();
    EXPECT_EQ(WinsockUsageCount(), 0);
    StopCalyxUnits();
    if (HasFailure()) {
        for (const std::string& line : Log)
            std::printf("event: %s\n", line.c_str());
        for (const std::string& line : Errors.Lines)
            std::printf("ssl error log: %s\n", line.c_str());
    }
}

void SslSocketTest::Record(TCustomSslXSocket* s, const std::string& name)
{
    auto log = [this, name](const std::string& text) { Log.push_back(name + ":" + text); };
    s->SetCxLogger(Errors.Logger);
    s->OnSessionConnected = [log](rtl::TObject*, WORD e) { log("connected:" + std::to_string(e)); };
    s->OnSessionClosed = [log](rtl::TObject*, WORD e) { log("closed:" + std::to_string(e)); };
    s->OnDataSent = [log](rtl::TObject*, WORD e) { log("sent:" + std::to_string(e)); };
    s->OnDataAvailable = [this, s, name](rtl::TObject*, WORD) { Received[name] += s->ReceiveStr(); };
    s->OnSslHandshakeDone = [log](rtl::TObject*, WORD e, TX509Base*, bool&) {
        log("handshake:" + std::to_string(e));
    };
    s->OnSslShutDownComplete = [log](rtl::TObject*, bool bidirectional, int e) {
        log(std::string("shutdown:") + (bidirectional ? "bi" : "uni") + ":" + std::to_string(e));
    };
}

TXSocket* SslSocketTest::MakeClient(const std::string& name)
{
    TXSocket* client = rtl::Create<TXSocket>(nullptr);
    Sockets.push_back(client);
    client->SslEnable = true;
    client->SetSslContext(ClientContext);
    client->SetLineMode(true);
    Record(client, name);
    return client;
}

void SslSocketTest::Connect(TXSocket* client, u_short port)
{
    client->SetAddr("127.0.0.1");
    client->SetPort(std::to_string(port));
    client->Connect();
}

TXSocketServer* SslSocketTest::StartServer()
{
    Server = rtl::Create<TXSocketServer>(nullptr);
    Server->SetName("SslServer");
    Server->SetCxLogger(Errors.Logger);  // handed on to every client
    Server->Banner = "Welcome to TcpSrv";
    Server->OnClientCreate = [this](rtl::TObject*, TXSocketClient* c) {
        c->SslEnable = true;
        c->SslMode = sslModeServer;
        c->SetSslContext(ServerContext);
        c->SetLineMode(true);
        Record(c, "srv" + std::to_string(c->ClientId));
        if (OnServerClient)
            OnServerClient(c);
    };
    Server->OnClientDisconnect = [this](rtl::TObject*, TXSocketClient* c, WORD e) {
        Log.push_back("srv" + std::to_string(c->ClientId) + ":gone:" + std::to_string(e));
    };
    Server->SetAddr("127.0.0.1");
    Server->SetPort("0");
    Server->Listen();
    ServerPort = u_short(std::stoi(Server->GetXPort()));
    return Server;
}

TXSocketClient* SslSocketTest::ServerClient(int n) const
{
    for (int i = 0; Server && i < Server->ClientCount(); ++i)
        if (Server->Client(i)->ClientId == n)
            return Server->Client(i);
    return nullptr;
}

bool SslSocketTest::Logged(const std::string& entry) const
{
    return std::find(Log.begin(), Log.end(), entry) != Log.end();
}

int SslSocketTest::Count(const std::string& entry) const
{
    return int(std::count(Log.begin(), Log.end(), entry));
}

void SslSocketTest::Forget(TCustomXSocket* s)
{
    Sockets.erase(std::remove(Sockets.begin(), Sockets.end(), s), Sockets.end());
}

}  // namespace ssltest
