#include "net/CalyxSslCallbacks.h"

#include <exception>

#include "net/CalyxLIBEAY.h"
#include "net/CalyxLibrary.h"
#include "net/CalyxSSLEAY.h"

namespace calyx {

namespace {

// Marks the socket as inside an engine callback for the guard's lifetime.
class TCallbackScope {
public:
    explicit TCallbackScope(TSslCallbackSocket* socket) : FSocket(socket)
    {
        if (FSocket)
            FSocket->EnterSslCallback();
    }
    ~TCallbackScope()
    {
        try {
            if (FSocket)
                FSocket->LeaveSslCallback();
        } catch (...) {
            // A destructor inside the engine's call has no one to tell.
        }
    }
    TCallbackScope(const TCallbackScope&) = delete;
    TCallbackScope& operator=(const TCallbackScope&) = delete;

private:
    TSslCallbackSocket* FSocket;
};

// Holds the socket paused for the guard's lifetime.
class TPauseScope {
public:
    explicit TPauseScope(TSslCallbackSocket* socket) : FSocket(socket) { FSocket->PauseSslSocket(); }
    ~TPauseScope()
    {
        try {
            FSocket->ResumeSslSocket();
        } catch (...) {
            // As above.
        }
    }
    TPauseScope(const TPauseScope&) = delete;
    TPauseScope& operator=(const TPauseScope&) = delete;

private:
    TSslCallbackSocket* FSocket;
};

void Trace(TSslCallbackSocket* socket, const std::string& text)
{
    if (socket && socket->SslCheckLogOptions(loSslInfo))
        socket->SslDebugLog(loSslInfo, text);
}

TSslBaseComponent* ContextOfSsl(const SSL* ssl)
{
    return ssl ? SslComponentOf(ssleay::SSL_get_SSL_CTX(ssl)) : nullptr;
}

}  // namespace

void SslReportEscaped(TSslCallbackSocket* socket, TSslBaseComponent* context, const char* callback) noexcept
{
    try {
        std::string text = std::string(callback) + "> exception: ";
        try {
            throw;
        } catch (const std::exception& e) {
            text += e.what();
        } catch (...) {
            text += "unknown";
        }
        if (socket) {
            if (socket->SslCheckLogOptions(loSslErr))
                socket->SslDebugLog(loSslErr, text);
        } else if (context) {
            if (context->CheckLogOptions(loSslErr))
                context->DebugLog(loSslErr, text);
        } else {
            OutputDebugStringA(text.c_str());
        }
    } catch (...) {
        // Nothing more can be done inside the engine's call.
    }
}

TSslCallbackSocket* SslCallbackSocketOf(const SSL* ssl)
{
    return ssl ? static_cast<TSslCallbackSocket*>(ssleay::SSL_get_ex_data(ssl, 0)) : nullptr;
}

int __cdecl SslVerifyCallback(int preverifyOk, X509_STORE_CTX* store)
{
    int ok = preverifyOk;
    TSslCallbackSocket* socket = nullptr;
    try {
        TSslLockGuard lock(kSslLockVerify);
        const auto* ssl = static_cast<const SSL*>(libeay::X509_STORE_CTX_get_ex_data(
            store, ssleay::SSL_get_ex_data_X509_STORE_CTX_idx()));
        socket = SslCallbackSocketOf(ssl);
        if (!socket)
            return ok;
        TCallbackScope scope(socket);
        TPauseScope pause(socket);
        X509* current = libeay::X509_STORE_CTX_get_current_cert(store);
        TX509List& chain = socket->SslCertChain();
        TX509Base* cert = chain.Find(current);
        if (cert) {
            cert->VerifyResult = libeay::X509_STORE_CTX_get_error(store);
        } else {
            chain.X509Class = socket->SslX509Class();
            cert = chain.Add(current);
            cert->VerifyResult = libeay::X509_STORE_CTX_get_error(store);
            cert->FirstVerifyResult = cert->VerifyResult;
        }
        cert->VerifyDepth = libeay::X509_STORE_CTX_get_error_depth(store);
        chain.LastVerifyResult = cert->VerifyResult;
        if (socket->SslCheckLogOptions(loSslInfo)) {
            socket->SslDebugLog(loSslInfo, "VCB> VerifyPeer: Subject = " + cert->SubjectOneLine());
            socket->SslDebugLog(loSslInfo, "VCB> VerifyPeer: Serial  = $" +
                                               lib::IntToHex(uint32_t(cert->GetSerialNum()), 8));
            socket->SslDebugLog(loSslInfo,
                                "VCB> VerifyPeer: Error   = " +
                                    lib::StrPas(libeay::X509_verify_cert_error_string(
                                        cert->VerifyResult)));
        }
        socket->SetSslVerifyResult(cert->VerifyResult);
        socket->TriggerSslVerifyPeer(ok, cert);
        if (ok != 0)
            socket->SetSslVerifyResult(X509_V_OK);
        return ok;
    } catch (...) {
        SslReportEscaped(socket, nullptr, "VCB");
        return 0;
    }
}

int __cdecl SslNewSessionCallback(SSL* ssl, SSL_SESSION* session)
{
    TSslCallbackSocket* socket = SslCallbackSocketOf(ssl);
    try {
        TSslLockGuard lock(kSslLockNewSession);
        if (!socket)
            throw rtl::Exception("NewSessionCallback Obj not assigned");
        TCallbackScope scope(socket);
        Trace(socket, "NSCB> New session created");
        unsigned idLength = 0;
        const unsigned char* id = ssleay::SSL_SESSION_get_id(session, &idLength);
        bool addToInternalCache = false;
        socket->TriggerSslSvrNewSession(session, id, int(idLength), addToInternalCache);
        return addToInternalCache ? 1 : 0;
    } catch (...) {
        SslReportEscaped(socket, ContextOfSsl(ssl), "NSCB");
        return 0;
    }
}

SSL_SESSION* __cdecl SslGetSessionCallback(SSL* ssl, unsigned char* id, int idLength, int* copy)
{
    TSslCallbackSocket* socket = SslCallbackSocketOf(ssl);
    try {
        TSslLockGuard lock(kSslLockGetSession);
        if (!socket)
            throw rtl::Exception("GetSessionCallback Obj not assigned");
        TCallbackScope scope(socket);
        Trace(socket, "GSCB> Get session");
        SSL_SESSION* session = nullptr;
        bool incRefCount = copy && *copy != 0;
        socket->TriggerSslSvrGetSession(session, id, idLength, incRefCount);
        if (copy)
            *copy = incRefCount ? 1 : 0;
        return session;
    } catch (...) {
        SslReportEscaped(socket, ContextOfSsl(ssl), "GSCB");
        return nullptr;
    }
}

int __cdecl SslClientCertCallback(SSL* ssl, X509** cert, EVP_PKEY** key)
{
    TSslCallbackSocket* socket = SslCallbackSocketOf(ssl);
    try {
        TSslLockGuard lock(kSslLockClientCert);
        if (!socket)
            return 0;
        TCallbackScope scope(socket);
        TPauseScope pause(socket);
        TX509Base* chosen = nullptr;
        if (!socket->TriggerSslCliCertRequest(chosen) || !chosen || !chosen->X509Handle() ||
            !chosen->PrivateKey())
            return 0;
        X509* copy = libeay::X509_dup(chosen->X509Handle());
        if (!copy)
            return 0;
        *cert = copy;
        *key = AddPrivateKeyReference(chosen->PrivateKey());
        return 1;
    } catch (...) {
        // No client certificate is sent.
        SslReportEscaped(socket, ContextOfSsl(ssl), "CCB");
        return 0;
    }
}

void __cdecl SslInfoCallback(const SSL* ssl, int where, int ret)
{
    TSslCallbackSocket* socket = SslCallbackSocketOf(ssl);
    try {
        TSslLockGuard lock(kSslLockInfo);
        if (!socket)
            throw rtl::Exception("ICB> Extended data not assigned fatal error!");
        TCallbackScope scope(socket);
        socket->SslInfoNotice(ssl, where, ret);
    } catch (...) {
        SslReportEscaped(socket, ContextOfSsl(ssl), "ICB");
    }
}

}  // namespace calyx
