// The binding and the SSL context against the genuine OpenSSL 1.0.2n DLLs.
#include <cstring>
#include <string>
#include <vector>

#include "OpenSslGenuineFixture.h"
#include "net/CalyxSslCallbacks.h"
#include "net/CalyxSslContext.h"

namespace ssltest {
namespace {

using SslContextTest = GenuineOpenSslTest;

TEST_F(SslContextTest, TheGenuineDllsLoadWithEveryEntry)
{
    EXPECT_TRUE(LibeayLoaded());
    EXPECT_TRUE(SsleayLoaded());
    EXPECT_EQ(SsleayEntriesSet(), 109);
    EXPECT_EQ(LibeayEntriesSet(), 196);
    EXPECT_EQ(OpenSslVersionText().compare(0, 15, "OpenSSL 1.0.2n "), 0) << OpenSslVersionText();
    EXPECT_EQ(LibeayVersionNumber(), 0x100020EFu);
    EXPECT_FALSE(LibeayNarrowVersion());
    EXPECT_EQ(OpenSslCommands().GetSessionReused, 8);
    EXPECT_NE(SsleayModulePath().find_last_of('\\'), std::string::npos);
    EXPECT_EQ(rtl::CompareText(SsleayModulePath().substr(SsleayModulePath().find_last_of('\\') + 1),
                               "ssleay32.dll"),
              0);
    EXPECT_EQ(SsleayFileVersion().compare(0, 6, "1.0.2n"), 0) << SsleayFileVersion();
}

// The entries take the C calling convention: a mismatch would unbalance the
// stack within a few calls of these loops.
TEST_F(SslContextTest, CallsThroughEntriesWithArgumentsGiveTheirResults)
{
    for (int i = 0; i < 1000; ++i) {
        ASSERT_STREQ(libeay::OBJ_nid2sn(NID_commonName), "CN");
        ASSERT_STREQ(libeay::OBJ_nid2ln(NID_commonName), "commonName");
        ASSERT_STREQ(libeay::X509_verify_cert_error_string(10), "certificate has expired");
        ASSERT_STREQ(ssleay::SSL_alert_desc_string_long(40), "handshake failure");
    }
    BIO* bio = libeay::BIO_new(libeay::BIO_s_mem());
    ASSERT_NE(bio, nullptr);
    EXPECT_EQ(libeay::BIO_write(bio, "hello, world", 12), 12);
    EXPECT_EQ(libeay::BIO_ctrl_pending(bio), 12u);
    char buffer[16] = {};
    EXPECT_EQ(libeay::BIO_read(bio, buffer, 5), 5);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_FALSE(BioShouldRetry(bio));
    EXPECT_EQ(libeay::BIO_read(bio, buffer, sizeof buffer), 7);
    // An empty memory BIO asks its reader to retry.
    EXPECT_LE(libeay::BIO_read(bio, buffer, sizeof buffer), 0);
    EXPECT_TRUE(BioShouldRetry(bio));
    EXPECT_EQ(libeay::BIO_free(bio), 1);
}

struct TContextCase {
    const char* Name;
    void (*Configure)(TSslContext& ctx);
    std::string Message;  // exact, or the leading text when Prefix
    bool Prefix;
};

void ServerSettings(TSslContext& ctx)
{
    ctx.SslVersionMethod = sslV23_SERVER;
    ctx.SslCertFile = CertPath("server-chain.pem");
    ctx.SslPrivKeyFile = CertPath("server.key");
    ctx.SslCAFile = CertPath("ca.pem");
}

TEST_F(SslContextTest, AServerAndAClientContextInitialiseFromTheMadeFiles)
{
    TOwned<TSslContext> server(rtl::Create<TSslContext>(nullptr));
    ServerSettings(*server.Get());
    server->SslCAPath = CertPath("crls");
    server->SslCRLFile = CertPath("ca.crl");
    server->SslCRLPath = CertPath("crls");
    server->SslVerifyPeer = true;
    server->SetSslVerifyPeerModes(SslSetOf(SslVerifyMode_PEER) |
                                  SslSetOf(SslVerifyMode_FAIL_IF_NO_PEER_CERT));
    server->SetSslVerifyDepth(4);
    server->SslDefaultSessionIDContext = "gatecfg";
    server->InitContext();
    SSL_CTX* ctx = server->SslCtx();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(server->SslVerifyPeerModesValue(), 3);
    EXPECT_EQ(ssleay::SSL_CTX_get_verify_mode(ctx), 3);
    EXPECT_EQ(ssleay::SSL_CTX_get_verify_depth(ctx), 4);
    EXPECT_EQ(SslContextOf(ctx), server.Get());
    EXPECT_EQ(SslUsageCount(), 2);  // the fixture's and the context's
    server->InitContext();          // configures the same context again
    EXPECT_EQ(server->SslCtx(), ctx);

    TOwned<TSslContext> client(rtl::Create<TSslContext>(nullptr));
    client->SslVersionMethod = sslV23_CLIENT;
    client->SslCertFile = CertPath("client.pem");
    client->SslPrivKeyFile = CertPath("client.key");
    client->SslCAFile = CertPath("ca.pem");
    client->SslSessionCacheModes = SSL_SESS_CACHE_CLIENT;
    client->InitContext();
    EXPECT_NE(client->SslCtx(), nullptr);
    // Without peer verification the context does not verify.
    EXPECT_EQ(ssleay::SSL_CTX_get_verify_mode(client->SslCtx()), 0);
    client.Reset();
    server.Reset();
    EXPECT_EQ(SslUsageCount(), 1);
}

// A new depth reaches a context that already verifies; one that does not
// verify keeps depth 0.
TEST_F(SslContextTest, ANewVerifyDepthReachesAnInitialisedContext)
{
    for (const bool verify : {true, false}) {
        SCOPED_TRACE(verify ? "verifying" : "not verifying");
        TOwned<TSslContext> server(rtl::Create<TSslContext>(nullptr));
        ServerSettings(*server.Get());
        server->SslVerifyPeer = verify;
        server->InitContext();
        server->SetSslVerifyDepth(2);
        EXPECT_EQ(server->SslVerifyDepth(), 2);
        EXPECT_EQ(ssleay::SSL_CTX_get_verify_depth(server->SslCtx()), verify ? 2 : 0);
    }
}

TEST_F(SslContextTest, EveryVersionMethodMakesAContext)
{
    for (int method = sslV2; method <= sslV23_SERVER; ++method) {
        SCOPED_TRACE(method);
        TOwned<TSslContext> ctx(rtl::Create<TSslContext>(nullptr));
        ctx->SslVersionMethod = TSslVersionMethod(method);
        // This build has no SSLv2: its methods make no context.
        if (method <= sslV2_SERVER) {
            EXPECT_EQ(MessageOf([&] { ctx->InitContext(); }), "Failed to initialize context");
            EXPECT_EQ(ctx->SslCtx(), nullptr);
        } else {
            ctx->InitContext();
            EXPECT_NE(ctx->SslCtx(), nullptr);
        }
    }
}

// A failed initialisation raises its text and leaves no context behind.
TEST_F(SslContextTest, FailuresRaiseTheirTextsAndLeaveNoContext)
{
    const TContextCase cases[] = {
        {"empty cipher list", [](TSslContext& c) { c.SslCipherList.clear(); },
         "Cipher list empty", false},
        {"unknown cipher list", [](TSslContext& c) { c.SslCipherList = "NO-SUCH-CIPHER"; },
         "\r\nError loading cipher list\r\n", true},
        {"unknown version method", [](TSslContext& c) { c.SslVersionMethod = TSslVersionMethod(12); },
         "Unknown SslVersionMethod", false},
        {"missing key file", [](TSslContext& c) { c.SslPrivKeyFile = CertPath("missing.key"); },
         "File not found \"" + CertPath("missing.key") + "\"", false},
        {"wrong pass phrase",
         [](TSslContext& c) {
             c.SslPrivKeyFile = CertPath("server-enc.key");
             c.SslPassPhrase = "wrong";
         },
         "\r\nCan't load private key file \"" + CertPath("server-enc.key") + "\"\r\n", true},
        {"no pass phrase", [](TSslContext& c) { c.SslPrivKeyFile = CertPath("server-enc.key"); },
         "\r\nCan't load private key file \"" + CertPath("server-enc.key") + "\"\r\n", true},
        {"missing certificate file", [](TSslContext& c) { c.SslCertFile = CertPath("missing.pem"); },
         "File not found \"" + CertPath("missing.pem") + "\"", false},
        {"no certificate in the file", [](TSslContext& c) { c.SslCertFile = CertPath("no-items.pem"); },
         "\r\nCan't read certificate file \"" + CertPath("no-items.pem") + "\"\r\n", true},
        {"missing CA file", [](TSslContext& c) { c.SslCAFile = CertPath("missing-ca.pem"); },
         "File not found \"" + CertPath("missing-ca.pem") + "\"", false},
        {"CA path not a directory", [](TSslContext& c) { c.SslCAPath = CertPath("ca.pem"); },
         "Directory not found \"" + CertPath("ca.pem") + "\"", false},
        {"unreadable CA file", [](TSslContext& c) { c.SslCAFile = CertPath("no-items.pem"); },
         "\r\nCan't read CA File \"" + CertPath("no-items.pem") + "\" or CA Path \"\"\r\n", true},
        {"missing CRL file", [](TSslContext& c) { c.SslCRLFile = CertPath("missing.crl"); },
         "CRL file not found \"" + CertPath("missing.crl") + "\"", false},
        {"CRL file without items", [](TSslContext& c) { c.SslCRLFile = CertPath("no-items.pem"); },
         "Error on reading CRL file \"" + CertPath("no-items.pem") + "\"", false},
        {"CRL path not a directory", [](TSslContext& c) { c.SslCRLPath = CertPath("ca.crl"); },
         "CRL directory not found \"" + CertPath("ca.crl") + "\"", false},
        {"session id context too long",
         [](TSslContext& c) { c.SslDefaultSessionIDContext = std::string(33, 'x'); },
         "\r\nssl_ctx_set_session_id_context failed\r\n", true},
        {"OnBeforeInit raises",
         [](TSslContext& c) {
             c.OnBeforeInit = [](rtl::TObject*) { throw ESslContextException("refused"); };
         },
         "refused", false},
    };
    for (const TContextCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TOwned<TSslContext> ctx(rtl::Create<TSslContext>(nullptr));
        c.Configure(*ctx.Get());
        ExpectMessage(MessageOf<ESslContextException>([&] { ctx->InitContext(); }), c.Message,
                      c.Prefix);
        EXPECT_EQ(ctx->SslCtx(), nullptr);
    }
}

TEST_F(SslContextTest, LoadersNeedAContextAndSkipEmptyNames)
{
    TOwned<TSslContext> ctx(rtl::Create<TSslContext>(nullptr));
    EXPECT_EQ(MessageOf([&] { ctx->LoadPKeyFromFile("x"); }), "SSL context not initialized");
    EXPECT_EQ(MessageOf([&] { ctx->LoadCRLFromPath(""); }), "SSL context not initialized");
    ctx->InitContext();
    ctx->LoadPKeyFromFile("");
    ctx->LoadCertFromChainFile("");
    ctx->LoadCRLFromFile("");
    ctx->LoadCRLFromPath("");
}

TEST_F(SslContextTest, AnEncryptedKeyLoadsWithItsPassPhrase)
{
    TOwned<TSslContext> ctx(rtl::Create<TSslContext>(nullptr));
    ServerSettings(*ctx.Get());
    ctx->SslPrivKeyFile = CertPath("server-enc.key");
    ctx->SslPassPhrase = "gatepass";
    ctx->InitContext();
    EXPECT_NE(ctx->SslCtx(), nullptr);
}

// The log and the exception both carry the real error stack.
TEST_F(SslContextTest, ALoggedKeyFailureKeepsItsErrorStackInTheException)
{
    TLogRecorder log(LogOptionSet(loSslInfo));
    TOwned<TSslContext> ctx(rtl::Create<TSslContext>(nullptr));
    ctx->SetCxLogger(log.Logger);
    ctx->SslPrivKeyFile = CertPath("server-enc.key");
    ctx->SslPassPhrase = "wrong";
    const std::string message = MessageOf([&] { ctx->InitContext(); });
    EXPECT_TRUE(log.Has("InitCtx> OpenSSL version: OpenSSL 1.0.2n"));
    ASSERT_FALSE(log.Lines.empty());
    const std::string stack = log.Lines.back();
    EXPECT_EQ(stack.find("error:00000000"), std::string::npos) << stack;
    EXPECT_NE(stack.find("bad decrypt"), std::string::npos) << stack;
    EXPECT_NE(message.find(stack), std::string::npos) << message;
    EXPECT_NE(ctx->LastSslError, 0u);
}

TEST_F(SslContextTest, ARefusedRevocationListIsLoggedAndTheOthersStillGoIn)
{
    TLogRecorder log(LogOptionSet(loSslErr));
    TOwned<TSslContext> ctx(rtl::Create<TSslContext>(nullptr));
    ctx->SetCxLogger(log.Logger);
    ctx->SslCRLFile = CertPath("crl-twice.pem");  // the same list twice
    ctx->InitContext();
    EXPECT_NE(ctx->SslCtx(), nullptr);
    ASSERT_EQ(log.Lines.size(), 1u);
    EXPECT_NE(log.Lines[0].find("cert already in hash table"), std::string::npos) << log.Lines[0];
}

// Records the context control calls and passes them on.
std::vector<std::pair<int, long>> gCtxControls;
ssleay::TSSL_CTX_ctrl gRealCtxCtrl;
long __cdecl RecordCtxCtrl(SSL_CTX* ctx, int cmd, long larg, void* parg)
{
    gCtxControls.push_back({cmd, larg});
    return gRealCtxCtrl(ctx, cmd, larg, parg);
}

TEST_F(SslContextTest, OnlyChangedSessionSettingsAndOptionsReachOpenSsl)
{
    gRealCtxCtrl = ssleay::SSL_CTX_ctrl;
    ssleay::SSL_CTX_ctrl = &RecordCtxCtrl;
    struct TCase {
        int CacheSize;
        long Options;
        bool SizePassed;
    };
    for (const TCase& c : {TCase{kOpenSslDefaultSessionCacheSize, 0, false}, TCase{100, 0x4000, true}}) {
        SCOPED_TRACE(c.CacheSize);
        gCtxControls.clear();
        TOwned<TSslContext> ctx(rtl::Create<TSslContext>(nullptr));
        ctx->SslSessionCacheSize = c.CacheSize;
        ctx->SslOptions = c.Options;
        ctx->SslSessionCacheModes = SSL_SESS_CACHE_SERVER | SSL_SESS_CACHE_NO_AUTO_CLEAR;
        ctx->InitContext();
        bool sizePassed = false, optionsPassed = false, modePassed = false;
        for (const auto& call : gCtxControls) {
            sizePassed |= call.first == 42 && call.second == c.CacheSize;
            optionsPassed |= call.first == 32 && call.second == c.Options;
            modePassed |= call.first == 44 && call.second == 0x82;
        }
        EXPECT_EQ(sizePassed, c.SizePassed);
        EXPECT_EQ(optionsPassed, c.Options != 0);
        EXPECT_TRUE(modePassed);
        EXPECT_EQ(gRealCtxCtrl(ctx->SslCtx(), 43, 0, nullptr), c.CacheSize);  // get size
    }
    ssleay::SSL_CTX_ctrl = gRealCtxCtrl;
}

TEST_F(SslContextTest, SessionCacheModesReadBackAsASet)
{
    TOwned<TSslContext> ctx(rtl::Create<TSslContext>(nullptr));
    ctx->SslSessionCacheModes = 0x1 | 0x80 | 0x200 | 0x4;  // 0x4 is no member
    EXPECT_EQ(ctx->GetSslSessionCacheModes(),
              SslSetOf(sslSESS_CACHE_CLIENT) | SslSetOf(sslSESS_CACHE_NO_AUTO_CLEAR) |
                  SslSetOf(sslSESS_CACHE_NO_INTERNAL_STORE));
    ctx->SslSessionCacheModes = 0x2 | 0x100;
    EXPECT_EQ(ctx->GetSslSessionCacheModes(),
              SslSetOf(sslSESS_CACHE_SERVER) | SslSetOf(sslSESS_CACHE_NO_INTERNAL_LOOKUP));
}

TEST_F(SslContextTest, ThePasswordCallbackCopiesThePhraseOnlyWhenItFits)
{
    TOwned<TSslContext> ctx(rtl::Create<TSslContext>(nullptr));
    ctx->SslPassPhrase = "secret";
    struct TCase {
        int Size;
        int Result;
        const char* Buffer;
    };
    for (const TCase& c : {TCase{6, 0, "xxxxxxxxxx"}, TCase{7, 6, "secret"}, TCase{64, 6, "secret"},
                           TCase{0, 0, "xxxxxxxxxx"}, TCase{-1, 0, "xxxxxxxxxx"}}) {
        SCOPED_TRACE(c.Size);
        char buffer[11] = "xxxxxxxxxx";
        EXPECT_EQ(SslPasswordCallback(buffer, c.Size, 0, ctx.Get()), c.Result);
        EXPECT_STREQ(buffer, c.Buffer);
    }
    ctx->SslPassPhrase.clear();
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(SslPasswordCallback(buffer, 8, 0, ctx.Get()), 0);
}

}  // namespace
}  // namespace ssltest
