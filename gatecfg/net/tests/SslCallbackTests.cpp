// The context's callbacks inside real handshakes: a client and a server SSL
// object of the genuine library talk through a BIO pair in memory, each with
// a recording stand-in for its socket in ex-data slot 0.
#include <functional>
#include <string>
#include <vector>

#include "OpenSslGenuineFixture.h"
#include "net/CalyxSslCallbacks.h"
#include "net/CalyxSslContext.h"

namespace ssltest {
namespace {

class TRecordingSocket : public TSslCallbackSocket {
public:
    TRecordingSocket() : Chain(nullptr) {}

    void EnterSslCallback() override
    {
        EXPECT_FALSE(InCallback) << "callbacks nest";
        InCallback = true;
        ++Entered;
    }
    void LeaveSslCallback() override
    {
        EXPECT_TRUE(InCallback);
        InCallback = false;
    }
    void PauseSslSocket() override { ++Paused; }
    void ResumeSslSocket() override { --Paused; }
    TX509List& SslCertChain() override { return Chain; }
    TX509Class SslX509Class() override { return &CreateX509Base; }
    void SetSslVerifyResult(int result) override { VerifyResult = result; }
    void TriggerSslVerifyPeer(int& ok, TX509Base* cert) override
    {
        EXPECT_TRUE(InCallback);
        EXPECT_EQ(Paused, 1);
        VerifyOks.push_back(ok);
        if (OnVerify)
            OnVerify(ok, cert);
    }
    void TriggerSslSvrNewSession(SSL_SESSION* session, const unsigned char*, int idLength,
                                 bool& addToInternalCache) override
    {
        NewSessionIdLengths.push_back(idLength);
        if (OnNewSession)
            OnNewSession(session, addToInternalCache);
    }
    void TriggerSslSvrGetSession(SSL_SESSION*& session, const unsigned char*, int,
                                 bool& incRefCount) override
    {
        ++GetSessionCalls;
        if (OnGetSession)
            OnGetSession(session, incRefCount);
    }
    bool TriggerSslCliCertRequest(TX509Base*& cert) override
    {
        ++CertRequests;
        if (!OnCertRequest)
            return false;
        OnCertRequest(cert);
        return true;
    }
    void SslInfoNotice(const SSL*, int, int) override { ++InfoNotices; }
    bool SslCheckLogOptions(TLogOption) override { return true; }
    void SslDebugLog(TLogOption, const std::string& text) override { Log.push_back(text); }

    bool Logged(const std::string& text) const
    {
        for (const std::string& line : Log)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

    TX509List Chain;
    bool InCallback = false;
    int Entered = 0;
    int Paused = 0;
    int VerifyResult = -1;
    std::vector<int> VerifyOks;
    std::vector<int> NewSessionIdLengths;
    int GetSessionCalls = 0;
    int CertRequests = 0;
    int InfoNotices = 0;
    std::vector<std::string> Log;
    std::function<void(int&, TX509Base*)> OnVerify;
    std::function<void(SSL_SESSION*, bool&)> OnNewSession;
    std::function<void(SSL_SESSION*&, bool&)> OnGetSession;
    std::function<void(TX509Base*&)> OnCertRequest;
};

// One client and one server connection over a BIO pair.
class THandshake {
public:
    THandshake(TSslContext& client, TSslContext& server, TRecordingSocket* clientSocket,
               TRecordingSocket* serverSocket, SSL_SESSION* resume = nullptr)
    {
        Client = ssleay::SSL_new(client.SslCtx());
        Server = ssleay::SSL_new(server.SslCtx());
        BIO* clientEnd = nullptr;
        BIO* serverEnd = nullptr;
        libeay::BIO_new_bio_pair(&clientEnd, 0, &serverEnd, 0);
        ssleay::SSL_set_bio(Client, clientEnd, clientEnd);
        ssleay::SSL_set_bio(Server, serverEnd, serverEnd);
        if (clientSocket)
            ssleay::SSL_set_ex_data(Client, 0, static_cast<TSslCallbackSocket*>(clientSocket));
        if (serverSocket)
            ssleay::SSL_set_ex_data(Server, 0, static_cast<TSslCallbackSocket*>(serverSocket));
        if (resume)
            ssleay::SSL_set_session(Client, resume);
        ssleay::SSL_set_connect_state(Client);
        ssleay::SSL_set_accept_state(Server);
    }
    // Closed as after a clean shutdown: OpenSSL would otherwise drop the
    // sessions of both sides as broken.
    ~THandshake()
    {
        ssleay::SSL_set_shutdown(Client, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
        ssleay::SSL_set_shutdown(Server, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
        ssleay::SSL_free(Client);
        ssleay::SSL_free(Server);
        libeay::ERR_clear_error();
    }
    THandshake(const THandshake&) = delete;
    THandshake& operator=(const THandshake&) = delete;

    // True when both sides completed; false when one failed.
    bool Run()
    {
        bool clientDone = false, serverDone = false;
        for (int round = 0; round < 50 && !(clientDone && serverDone); ++round) {
            if (!clientDone && !Step(Client, clientDone))
                return false;
            if (!serverDone && !Step(Server, serverDone))
                return false;
        }
        return clientDone && serverDone;
    }

    SSL* Client;
    SSL* Server;

private:
    static bool Step(SSL* ssl, bool& done)
    {
        const int result = ssleay::SSL_do_handshake(ssl);
        if (result == 1) {
            done = true;
            return true;
        }
        const int error = ssleay::SSL_get_error(ssl, result);
        return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
    }
};

struct SslCallbackTest : GenuineOpenSslTest {
    void SetUp() override
    {
        GenuineOpenSslTest::SetUp();
        Server = rtl::Create<TSslContext>(nullptr);
        Server->SslVersionMethod = sslV23_SERVER;
        Server->SslCertFile = CertPath("server-chain.pem");
        Server->SslPrivKeyFile = CertPath("server.key");
        Server->SslCAFile = CertPath("ca.pem");
        Server->SslVerifyPeer = true;
        Server->SetSslVerifyPeerModes(SslSetOf(SslVerifyMode_PEER) |
                                      SslSetOf(SslVerifyMode_FAIL_IF_NO_PEER_CERT));
        Server->SslOptions = 0x4000;  // no tickets: sessions go through the callbacks
        Server->SslDefaultSessionIDContext = "gatecfg";
        Server->SetCxLogger(ServerLog.Logger);
        Client = rtl::Create<TSslContext>(nullptr);
        Client->SslVersionMethod = sslV23_CLIENT;
        Client->SslCAFile = CertPath("ca.pem");
        Client->SslVerifyPeer = true;
        Client->SslSessionCacheModes = SSL_SESS_CACHE_CLIENT;
        ClientCert = rtl::Create<TX509Base>(nullptr);
        BIO* bio = FilesBio({"client.pem", "client.key"});
        ClientCert->ReadFromBio(bio, true, "");
        libeay::BIO_free(bio);
        ClientSocket.OnCertRequest = [this](TX509Base*& cert) { cert = ClientCert; };
    }
    void Init()
    {
        Server->InitContext();
        Client->InitContext();
        ssleay::SSL_CTX_set_client_cert_cb(Client->SslCtx(), &SslClientCertCallback);
    }
    void TearDown() override
    {
        ClientSocket.Chain.Clear();
        ServerSocket.Chain.Clear();
        rtl::FreeAndNil(ClientCert);
        rtl::FreeAndNil(Client);
        rtl::FreeAndNil(Server);
        GenuineOpenSslTest::TearDown();
    }

    TLogRecorder ServerLog{LogOptionSet(loSslErr, loSslInfo)};
    TSslContext* Server = nullptr;
    TSslContext* Client = nullptr;
    TX509Base* ClientCert = nullptr;
    TRecordingSocket ClientSocket;
    TRecordingSocket ServerSocket;
};

TEST_F(SslCallbackTest, AHandshakeRunsTheCallbacksUnderTheirRules)
{
    Init();
    THandshake handshake(*Client, *Server, &ClientSocket, &ServerSocket);
    ASSERT_TRUE(handshake.Run());

    // The client saw the server's chain, CA first, and accepted it.
    ASSERT_EQ(ClientSocket.Chain.Count(), 2);
    EXPECT_EQ(ClientSocket.Chain.Items(0)->SubjectOneLine(), "/C=RU/O=Calyx Test/CN=Calyx Test CA");
    EXPECT_EQ(ClientSocket.Chain.Items(1)->SubjectCNList(), "gate.example.com");
    EXPECT_EQ(ClientSocket.Chain.Items(1)->VerifyResult, X509_V_OK);
    EXPECT_EQ(ClientSocket.Chain.Items(1)->FirstVerifyResult, X509_V_OK);
    EXPECT_EQ(ClientSocket.Chain.Items(0)->VerifyDepth, 1);
    EXPECT_EQ(ClientSocket.Chain.LastVerifyResult, X509_V_OK);
    EXPECT_EQ(ClientSocket.VerifyOks, (std::vector<int>{1, 1}));
    EXPECT_EQ(ClientSocket.VerifyResult, X509_V_OK);
    EXPECT_TRUE(ClientSocket.Logged("VCB> VerifyPeer: Subject = /C=RU/O=Calyx Test/OU=Gate/CN=gate.example.com"));
    EXPECT_TRUE(ClientSocket.Logged("VCB> VerifyPeer: Serial  = $005A3C01"));
    EXPECT_TRUE(ClientSocket.Logged("VCB> VerifyPeer: Error   = ok"));
    // The client sent the certificate its event chose; the server checked it.
    EXPECT_EQ(ClientSocket.CertRequests, 1);
    ASSERT_EQ(ServerSocket.Chain.Count(), 2);
    EXPECT_EQ(ServerSocket.Chain.Items(1)->SubjectCNList(), "Gate Client");
    // The server made a session with a 32-byte id.
    EXPECT_EQ(ServerSocket.NewSessionIdLengths, (std::vector<int>{32}));
    EXPECT_TRUE(ServerSocket.Logged("NSCB> New session created"));
    for (const TRecordingSocket* socket : {&ClientSocket, &ServerSocket}) {
        EXPECT_FALSE(socket->InCallback);
        EXPECT_EQ(socket->Paused, 0);
        EXPECT_GT(socket->Entered, 0);
    }
}

TEST_F(SslCallbackTest, TheVerifyEventDecidesAndAnExceptionInItFailsVerification)
{
    Init();
    ClientSocket.OnVerify = [](int& ok, TX509Base* cert) {
        if (cert->SubjectCNList() == "gate.example.com")
            ok = 0;
    };
    {
        THandshake refused(*Client, *Server, &ClientSocket, &ServerSocket);
        EXPECT_FALSE(refused.Run());
        EXPECT_EQ(ClientSocket.VerifyResult, X509_V_OK);  // the chain itself was fine
    }
    ClientSocket.Chain.Clear();
    ClientSocket.OnVerify = [](int&, TX509Base*) { throw rtl::Exception("verify boom"); };
    {
        THandshake failed(*Client, *Server, &ClientSocket, &ServerSocket);
        EXPECT_FALSE(failed.Run());
    }
    EXPECT_TRUE(ClientSocket.Logged("VCB> exception: verify boom"));
    EXPECT_FALSE(ClientSocket.InCallback);
    EXPECT_EQ(ClientSocket.Paused, 0);
}

TEST_F(SslCallbackTest, AnExceptionInTheCertificateRequestSendsNoCertificate)
{
    Init();
    ClientSocket.OnCertRequest = [](TX509Base*&) { throw rtl::Exception("no certificate today"); };
    THandshake handshake(*Client, *Server, &ClientSocket, &ServerSocket);
    EXPECT_FALSE(handshake.Run());  // the server insists on one
    EXPECT_EQ(ClientSocket.CertRequests, 1);
    EXPECT_TRUE(ClientSocket.Logged("CCB> exception: no certificate today"));
    EXPECT_EQ(ClientSocket.Paused, 0);
    EXPECT_FALSE(ClientSocket.InCallback);
}

TEST_F(SslCallbackTest, SessionsComeBackThroughTheGetSessionEvent)
{
    // Only the events store and find sessions.
    Server->SslSessionCacheModes = SSL_SESS_CACHE_SERVER | SSL_SESS_CACHE_NO_INTERNAL_LOOKUP;
    Init();
    SSL_SESSION* kept = nullptr;
    ServerSocket.OnNewSession = [&](SSL_SESSION* session, bool& add) {
        if (kept)
            return;
        kept = session;
        add = true;  // the event holds a reference now
    };
    SSL_SESSION* clientSession = nullptr;
    {
        THandshake first(*Client, *Server, &ClientSocket, &ServerSocket);
        ASSERT_TRUE(first.Run());
        clientSession = ssleay::SSL_get1_session(first.Client);
    }
    ASSERT_NE(kept, nullptr);
    ASSERT_NE(clientSession, nullptr);
    // An event that raises finds nothing: a full handshake follows.
    ServerSocket.OnGetSession = [](SSL_SESSION*&, bool&) { throw rtl::Exception("cache offline"); };
    {
        THandshake full(*Client, *Server, &ClientSocket, &ServerSocket, clientSession);
        ASSERT_TRUE(full.Run());
        EXPECT_EQ(ssleay::SSL_session_reused(full.Client), 0);
    }
    EXPECT_TRUE(ServerSocket.Logged("GSCB> exception: cache offline"));
    ServerSocket.OnGetSession = [&](SSL_SESSION*& session, bool& incRefCount) {
        session = kept;
        incRefCount = true;
    };
    {
        THandshake resumed(*Client, *Server, &ClientSocket, &ServerSocket, clientSession);
        ASSERT_TRUE(resumed.Run());
        EXPECT_EQ(ssleay::SSL_session_reused(resumed.Client), 1);
    }
    EXPECT_EQ(ServerSocket.GetSessionCalls, 2);
    EXPECT_TRUE(ServerSocket.Logged("GSCB> Get session"));
    ssleay::SSL_SESSION_free(clientSession);
    ssleay::SSL_SESSION_free(kept);
}

TEST_F(SslCallbackTest, WithoutASocketTheSessionCallbacksReportToTheContext)
{
    int removed = 0;
    TSslContext* const server = Server;
    Server->OnRemoveSession = [&](rtl::TObject* sender, SSL_SESSION* session) {
        EXPECT_EQ(sender, server);
        EXPECT_NE(session, nullptr);
        ++removed;
    };
    // Without a socket no client certificate is sent.
    Server->SetSslVerifyPeerModes(SslSetOf(SslVerifyMode_PEER));
    Init();
    {
        THandshake handshake(*Client, *Server, nullptr, nullptr);
        ASSERT_TRUE(handshake.Run());  // verification goes by OpenSSL's own result
    }
    EXPECT_TRUE(ServerLog.Has("NSCB> exception: NewSessionCallback Obj not assigned"));
    // The server's cache lets its sessions go with the context.
    rtl::FreeAndNil(Server);
    EXPECT_EQ(removed, 1);
    EXPECT_TRUE(ServerLog.Has("RSCB> Session removed"));
}

}  // namespace
}  // namespace ssltest
