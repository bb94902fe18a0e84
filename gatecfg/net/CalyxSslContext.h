#pragma once
// The SSL context component: builds and configures one OpenSSL context
// (protocol method, certificate chain, private key, trusted CAs, revocation
// lists, peer verification, cipher list, session cache) for SSL sockets.
#include <cstdint>
#include <string>

#include "net/CalyxOpenSslHolders.h"
#include "net/CalyxSslBase.h"
#include "rtl/Event.h"
#include "rtl/SyncObjs.h"

namespace calyx {

enum TSslVersionMethod {
    sslV2,
    sslV2_CLIENT,
    sslV2_SERVER,
    sslV3,
    sslV3_CLIENT,
    sslV3_SERVER,
    sslTLS_V1,
    sslTLS_V1_CLIENT,
    sslTLS_V1_SERVER,
    sslV23,
    sslV23_CLIENT,
    sslV23_SERVER,
};

enum TSslVerifyPeerMode {
    SslVerifyMode_NONE,
    SslVerifyMode_PEER,
    SslVerifyMode_FAIL_IF_NO_PEER_CERT,
    SslVerifyMode_CLIENT_ONCE,
};
// A set of TSslVerifyPeerMode, bit n for mode n.
using TSslVerifyPeerModes = uint8_t;

enum TSslSessCacheMode {
    sslSESS_CACHE_CLIENT,
    sslSESS_CACHE_SERVER,
    sslSESS_CACHE_NO_AUTO_CLEAR,
    sslSESS_CACHE_NO_INTERNAL_LOOKUP,
    sslSESS_CACHE_NO_INTERNAL_STORE,
};
// A set of TSslSessCacheMode, bit n for member n.
using TSslSessCacheModes = uint8_t;

template <class E>
constexpr uint8_t SslSetOf(E member)
{
    return uint8_t(1u << unsigned(member));
}
template <class E>
constexpr bool SslSetHas(uint8_t set, E member)
{
    return (set & SslSetOf(member)) != 0;
}

// OpenSSL's SSL_SESS_CACHE_* bits and the session cache size it starts with.
constexpr long SSL_SESS_CACHE_CLIENT = 0x1;
constexpr long SSL_SESS_CACHE_SERVER = 0x2;
constexpr long SSL_SESS_CACHE_NO_AUTO_CLEAR = 0x80;
constexpr long SSL_SESS_CACHE_NO_INTERNAL_LOOKUP = 0x100;
constexpr long SSL_SESS_CACHE_NO_INTERNAL_STORE = 0x200;
constexpr int kOpenSslDefaultSessionCacheSize = 20480;

// (Sender, Session)
using TSslSessionEvent = rtl::TEvent<rtl::TObject*, SSL_SESSION*>;
using TSslNotifyEvent = rtl::TEvent<rtl::TObject*>;

class TSslContext : public TSslBaseComponent {
public:
    explicit TSslContext(rtl::TComponent* owner) : TSslBaseComponent(owner) {}

    // Creates the OpenSSL context when there is none and configures it from
    // the properties below. A failure raises and leaves no context.
    void InitContext();

    // Each needs an initialised context and does nothing for an empty name.
    void LoadPKeyFromFile(const std::string& fileName);
    void LoadCertFromChainFile(const std::string& fileName);
    void LoadVerifyLocations(const std::string& caFile, const std::string& caPath);
    void LoadCRLFromFile(const std::string& fileName);
    void LoadCRLFromPath(const std::string& path);

    TSslVerifyPeerModes SslVerifyPeerModes() const noexcept { return FSslVerifyPeerModes; }
    // The modes as OpenSSL's SSL_VERIFY_* bits.
    int SslVerifyPeerModesValue() const noexcept { return FSslVerifyPeerModesValue; }
    void SetSslVerifyPeerModes(TSslVerifyPeerModes modes);
    TSslSessCacheModes GetSslSessionCacheModes();
    int SslVerifyDepth() const noexcept { return FSslVerifyDepth; }
    // Applied at once to an initialised context that verifies.
    void SetSslVerifyDepth(int depth);

    void Lock() { FLock.Enter(); }
    void Unlock() { FLock.Leave(); }

    SSL_CTX* SslCtx() const noexcept { return FSslCtx.Get(); }

    TSslVersionMethod SslVersionMethod = sslV23;
    std::string SslCertFile;
    std::string SslPassPhrase;
    std::string SslPrivKeyFile;
    std::string SslCAFile;
    std::string SslCAPath;
    std::string SslCRLFile;
    std::string SslCRLPath;
    bool SslVerifyPeer = false;
    long SslOptions = 0;
    std::string SslCipherList = "ALL:!ADH:!aNULL:!eNULL:@STRENGTH";
    long SslSessionCacheModes = SSL_SESS_CACHE_SERVER;
    int SslSessionCacheSize = kOpenSslDefaultSessionCacheSize;
    long SslSessionTimeout = 0;
    std::string SslDefaultSessionIDContext;
    TSslSessionEvent OnRemoveSession;
    TSslNotifyEvent OnBeforeInit;

protected:
    ~TSslContext() override;

private:
    void RequireContext();
    // Logs the error stack when the option is on, then raises it with the
    // message; the stack is read once, so the log and the exception agree.
    [[noreturn]] void RaiseLoggedOpenSslError(TLogOption option, const std::string& message);
    void ApplyVerifyPeerModes();

    TSslCtxHolder FSslCtx;
    TSslVerifyPeerModes FSslVerifyPeerModes = SslSetOf(SslVerifyMode_PEER);
    int FSslVerifyPeerModesValue = 1;
    int FSslVerifyDepth = 9;
    rtl::TCriticalSection FLock;
};

// The context a callback finds in ex-data slot 0 of an OpenSSL context.
TSslContext* SslContextOf(const SSL_CTX* ctx);

// The context's own callbacks, which it hands to OpenSSL. Like the sockets'
// callbacks (CalyxSslCallbacks.h), no exception leaves one.
// User data: the TSslContext whose pass phrase is handed out.
int __cdecl SslPasswordCallback(char* buffer, int size, int rwFlag, void* context);
void __cdecl SslRemoveSessionCallback(SSL_CTX* ctx, SSL_SESSION* session);

}  // namespace calyx
