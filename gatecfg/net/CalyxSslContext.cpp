#include "net/CalyxSslContext.h"

#include <cstring>

#include "net/CalyxLIBEAY.h"
#include "net/CalyxLibrary.h"
#include "net/CalyxOpenSslHolders.h"
#include "net/CalyxSSLEAY.h"
#include "net/CalyxSslCallbacks.h"

namespace calyx {

namespace {

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The OpenSSL method that a version method selects, or none for an unknown one.
const SSL_METHOD* MethodOf(TSslVersionMethod method)
{
    switch (method) {
    case sslV2: return ssleay::SSLv2_method();
    case sslV2_CLIENT: return ssleay::SSLv2_client_method();
    case sslV2_SERVER: return ssleay::SSLv2_server_method();
    case sslV3: return ssleay::SSLv3_method();
    case sslV3_CLIENT: return ssleay::SSLv3_client_method();
    case sslV3_SERVER: return ssleay::SSLv3_server_method();
    case sslTLS_V1: return ssleay::TLSv1_method();
    case sslTLS_V1_CLIENT: return ssleay::TLSv1_client_method();
    case sslTLS_V1_SERVER: return ssleay::TLSv1_server_method();
    case sslV23: return ssleay::SSLv23_method();
    case sslV23_CLIENT: return ssleay::SSLv23_client_method();
    case sslV23_SERVER: return ssleay::SSLv23_server_method();
    }
    throw ESslContextException("Unknown SslVersionMethod");
}

bool ClientOnly(TSslVersionMethod method)
{
    return method == sslV2_CLIENT || method == sslV3_CLIENT || method == sslTLS_V1_CLIENT || method == sslV23_CLIENT;
}

void __cdecl FreeInfo(void* item)
{
    libeay::X509_INFO_free(static_cast<X509_INFO*>(item));
}

void __cdecl FreeCrl(void* item)
{
    libeay::X509_CRL_free(static_cast<X509_CRL*>(item));
}

}  // namespace

TSslContext* SslContextOf(const SSL_CTX* ctx)
{
    return static_cast<TSslContext*>(SslComponentOf(ctx));
}

int __cdecl SslPasswordCallback(char* buffer, int size, int rwFlag, void* context)
{
    try {
        TSslLockGuard lock(kSslLockPassword);
        const auto* owner = static_cast<TSslContext*>(context);
        if (!owner || !buffer)
            return 0;
        const std::string& phrase = owner->SslPassPhrase;
        if (phrase.empty() || size < 0 || size_t(size) < phrase.size() + 1)
            return 0;
        std::memcpy(buffer, phrase.c_str(), phrase.size() + 1);
        return int(phrase.size());
    } catch (...) {
        SslReportEscaped(nullptr, static_cast<TSslContext*>(context), "PCB");
        return 0;
    }
}

void __cdecl SslRemoveSessionCallback(SSL_CTX* ctx, SSL_SESSION* session)
{
    TSslContext* context = nullptr;
    try {
        TSslLockGuard lock(kSslLockRemoveSession);
        context = SslContextOf(ctx);
        if (!context)
            return;
        if (context->CheckLogOptions(loSslInfo))
            context->DebugLog(loSslInfo, "RSCB> Session removed");
        if (context->OnRemoveSession.Assigned())
            context->OnRemoveSession(context, session);
    } catch (...) {
        SslReportEscaped(nullptr, context, "RSCB");
    }
}

TSslContext::~TSslContext()
{
    // Before the base gives the libraries back.
    FSslCtx.Reset();
}

void TSslContext::InitContext()
{
    InitializeSsl();
    rtl::TLock lock(FLock);
    if (CheckLogOptions(loSslInfo))
        DebugLog(loSslInfo, "InitCtx> OpenSSL version: " + OpenSslVersionText());
    if (!FSslCtx) {
        FSslCtx.Reset(ssleay::SSL_CTX_new(MethodOf(SslVersionMethod)));
        if (!FSslCtx)
            throw ESslContextException("Failed to initialize context");
    }
    try {
        if (OnBeforeInit.Assigned())
            OnBeforeInit(this);
        ssleay::SSL_CTX_set_default_passwd_cb(FSslCtx.Get(), &SslPasswordCallback);
        ssleay::SSL_CTX_set_default_passwd_cb_userdata(FSslCtx.Get(), this);
        LoadPKeyFromFile(SslPrivKeyFile);
        LoadCertFromChainFile(SslCertFile);
        LoadVerifyLocations(SslCAFile, SslCAPath);
        LoadCRLFromFile(SslCRLFile);
        LoadCRLFromPath(SslCRLPath);
        ApplyVerifyPeerModes();
        if (SslOptions != 0)
            ssleay::SSL_CTX_set_options(FSslCtx.Get(), SslOptions);
        // Without a curve a server offers no ephemeral key exchange, and
        // clients that insist on forward secrecy cannot connect.
        if (!ClientOnly(SslVersionMethod))
            ssleay::SSL_CTX_set_ecdh_auto(FSslCtx.Get(), 1);
        if (SslCipherList.empty())
            throw ESslContextException("Cipher list empty");
        if (!ssleay::SSL_CTX_set_cipher_list(FSslCtx.Get(), SslCipherList.c_str()))
            RaiseLastOpenSslError(&RaiseAs<ESslContextException>, true, "Error loading cipher list");
        const TSslSessCacheModes cacheModes = GetSslSessionCacheModes();
        ssleay::SSL_CTX_set_session_cache_mode(FSslCtx.Get(), SslSessionCacheModes);
        if (!SslSetHas(cacheModes, sslSESS_CACHE_NO_INTERNAL_STORE)) {
            if (!ssleay::SSL_CTX_set_ex_data(FSslCtx.Get(), 0, static_cast<TSslBaseComponent*>(this)))
                RaiseLastOpenSslError(&RaiseAs<ESslContextException>, true,
                                      "SSL_CTX_set_ex_data failed");
            ssleay::SSL_CTX_sess_set_remove_cb(FSslCtx.Get(), &SslRemoveSessionCallback);
            if (SslSessionCacheSize != kOpenSslDefaultSessionCacheSize)
                ssleay::SSL_CTX_sess_set_cache_size(FSslCtx.Get(), SslSessionCacheSize);
        }
        if (SslSetHas(cacheModes, sslSESS_CACHE_SERVER)) {
            if (SslSessionTimeout != 0)
                ssleay::SSL_CTX_set_timeout(FSslCtx.Get(), SslSessionTimeout);
            ssleay::SSL_CTX_sess_set_new_cb(FSslCtx.Get(), &SslNewSessionCallback);
            ssleay::SSL_CTX_sess_set_get_cb(FSslCtx.Get(), &SslGetSessionCallback);
            if (!SslDefaultSessionIDContext.empty() &&
                !ssleay::SSL_CTX_set_session_id_context(
                    FSslCtx.Get(), reinterpret_cast<const unsigned char*>(SslDefaultSessionIDContext.data()),
                    unsigned(SslDefaultSessionIDContext.size())))
                RaiseLastOpenSslError(&RaiseAs<ESslContextException>, true,
                                      "ssl_ctx_set_session_id_context failed");
        }
    } catch (...) {
        // A context that failed half-way is of no use to anyone.
        FSslCtx.Reset();
        throw;
    }
}

void TSslContext::RequireContext()
{
    if (!FSslCtx)
        throw ESslContextException("SSL context not initialized");
}

void TSslContext::RaiseLoggedOpenSslError(TLogOption option, const std::string& message)
{
    LastSslError = uint32_t(libeay::ERR_peek_error());
    const std::string stack = OpenSslErrorStackText(true);
    if (CheckLogOptions(option))
        DebugLog(option, stack);
    throw ESslContextException("\r\n" + message + "\r\n" + stack + "\r\n");
}

void TSslContext::LoadPKeyFromFile(const std::string& fileName)
{
    RequireContext();
    if (fileName.empty())
        return;
    if (!lib::FileExists(fileName))
        throw ESslContextException("File not found " + Quoted(fileName));
    if (!ssleay::SSL_CTX_use_PrivateKey_file(FSslCtx.Get(), fileName.c_str(), SSL_FILETYPE_PEM))
        RaiseLoggedOpenSslError(loSslInfo, "Can't load private key file " + Quoted(fileName));
}

void TSslContext::LoadCertFromChainFile(const std::string& fileName)
{
    RequireContext();
    if (fileName.empty())
        return;
    if (!lib::FileExists(fileName))
        throw ESslContextException("File not found " + Quoted(fileName));
    if (!ssleay::SSL_CTX_use_certificate_chain_file(FSslCtx.Get(), fileName.c_str()))
        RaiseLoggedOpenSslError(loSslErr, "Can't read certificate file " + Quoted(fileName));
}

void TSslContext::LoadVerifyLocations(const std::string& caFile, const std::string& caPath)
{
    RequireContext();
    if (!caFile.empty() && !lib::FileExists(caFile))
        throw ESslContextException("File not found " + Quoted(caFile));
    if (!caPath.empty() && !lib::DirectoryExists(caPath))
        throw ESslContextException("Directory not found " + Quoted(caPath));
    if (!caFile.empty() || !caPath.empty()) {
        if (!ssleay::SSL_CTX_load_verify_locations(FSslCtx.Get(), caFile.empty() ? nullptr : caFile.c_str(),
                                                   caPath.empty() ? nullptr : caPath.c_str()))
            RaiseLastOpenSslError(&RaiseAs<ESslContextException>, true,
                                  "Can't read CA File " + Quoted(caFile) + " or " + "CA Path " +
                                      Quoted(caPath));
    } else if (ssleay::SSL_CTX_set_default_verify_paths(FSslCtx.Get()) != 1) {
        RaiseLastOpenSslError(&RaiseAs<ESslContextException>, true,
                              "Error loading default CA file and/or directory");
    }
}

void TSslContext::LoadCRLFromFile(const std::string& fileName)
{
    RequireContext();
    if (fileName.empty())
        return;
    rtl::TLock lock(FLock);
    if (!lib::FileExists(fileName))
        throw ESslContextException("CRL file not found " + Quoted(fileName));
    // Opened for reading only: "r+" would refuse a read-only file.
    TBioHolder bio(libeay::BIO_new_file(fileName.c_str(), "r"));
    if (!bio.Get())
        RaiseLastOpenSslError(&RaiseAs<ESslContextException>, false,
                              "Error on opening file " + Quoted(fileName));
    TStackHolder<&FreeInfo> items(libeay::PEM_X509_INFO_read_bio(bio.Get(), nullptr, nullptr, nullptr));
    if (!items.Get())
        throw ESslContextException(lib::Format("Error reading info file \"%s\"", fileName.c_str()));
    TStackHolder<&FreeCrl> crls(libeay::sk_new_null());
    if (!crls.Get())
        throw ESslContextException("Error creating Stack");
    while (libeay::sk_num(items.Get()) > 0) {
        auto* item = static_cast<X509_INFO*>(libeay::sk_delete(items.Get(), 0));
        X509_CRL* crl = item->crl ? libeay::X509_CRL_dup(item->crl) : nullptr;
        libeay::X509_INFO_free(item);
        if (crl && !libeay::sk_push(crls.Get(), crl))
            libeay::X509_CRL_free(crl);
    }
    if (libeay::sk_num(crls.Get()) <= 0)
        throw ESslContextException("Error on reading CRL file " + Quoted(fileName));
    X509_STORE* store = ssleay::SSL_CTX_get_cert_store(FSslCtx.Get());
    if (!store)
        throw ESslContextException("Error on opening store");
    while (libeay::sk_num(crls.Get()) > 0) {
        auto* crl = static_cast<X509_CRL*>(libeay::sk_pop(crls.Get()));
        // The store takes its own reference; a refused list is logged and
        // the others still go in.
        if (!libeay::X509_STORE_add_crl(store, crl)) {
            const std::string stack = OpenSslErrorStackText(true);
            if (CheckLogOptions(loSslErr))
                DebugLog(loSslErr, stack);
        }
        libeay::X509_CRL_free(crl);
    }
}

void TSslContext::LoadCRLFromPath(const std::string& path)
{
    RequireContext();
    if (path.empty())
        return;
    if (!lib::DirectoryExists(path))
        throw ESslContextException("CRL directory not found " + Quoted(path));
    const std::string dir = lib::IncludeTrailingPathDelimiter(path);
    rtl::TSearchRec rec;
    if (lib::FindFirst(dir + "*.*", rec) != 0)
        return;
    struct TFindCloser {
        rtl::TSearchRec& Rec;
        ~TFindCloser() { lib::FindClose(Rec); }
    } closer{rec};
    do {
        if (!(rec.Attr & FILE_ATTRIBUTE_DIRECTORY))
            LoadCRLFromFile(dir + rec.Name);
    } while (lib::FindNext(rec) == 0);
}

void TSslContext::SetSslVerifyPeerModes(TSslVerifyPeerModes modes)
{
    rtl::TLock lock(FLock);
    if (modes != FSslVerifyPeerModes) {
        int value = 0;
        if (SslSetHas(modes, SslVerifyMode_PEER))
            value |= 1;
        if (SslSetHas(modes, SslVerifyMode_FAIL_IF_NO_PEER_CERT))
            value |= 2;
        if (SslSetHas(modes, SslVerifyMode_CLIENT_ONCE))
            value |= 4;
        FSslVerifyPeerModes = modes;
        FSslVerifyPeerModesValue = value;
    }
    ApplyVerifyPeerModes();
}

void TSslContext::ApplyVerifyPeerModes()
{
    rtl::TLock lock(FLock);
    if (!FSslCtx)
        return;
    if (!SslVerifyPeer) {
        ssleay::SSL_CTX_set_verify(FSslCtx.Get(), 0, nullptr);
        ssleay::SSL_CTX_set_verify_depth(FSslCtx.Get(), 0);
    } else if (ssleay::SSL_CTX_get_verify_mode(FSslCtx.Get()) != FSslVerifyPeerModesValue) {
        ssleay::SSL_CTX_set_verify(FSslCtx.Get(), FSslVerifyPeerModesValue, &SslVerifyCallback);
        ssleay::SSL_CTX_set_verify_depth(FSslCtx.Get(), FSslVerifyDepth);
    }
}

void TSslContext::SetSslVerifyDepth(int depth)
{
    rtl::TLock lock(FLock);
    FSslVerifyDepth = depth;
    if (FSslCtx && SslVerifyPeer)
        ssleay::SSL_CTX_set_verify_depth(FSslCtx.Get(), depth);
}

TSslSessCacheModes TSslContext::GetSslSessionCacheModes()
{
    static const long kBits[] = {SSL_SESS_CACHE_CLIENT, SSL_SESS_CACHE_SERVER,
                                 SSL_SESS_CACHE_NO_AUTO_CLEAR, SSL_SESS_CACHE_NO_INTERNAL_LOOKUP,
                                 SSL_SESS_CACHE_NO_INTERNAL_STORE};
    rtl::TLock lock(FLock);
    TSslSessCacheModes modes = 0;
    for (unsigned i = 0; i < sizeof kBits / sizeof kBits[0]; ++i)
        if (SslSessionCacheModes & kBits[i])
            modes |= uint8_t(1u << i);
    return modes;
}

}  // namespace calyx
