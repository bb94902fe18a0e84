#pragma once
// The callbacks that the SSL context and the SSL sockets hand to OpenSSL.
// Each runs under its own SSL lock, on the thread that drives the OpenSSL call
// it comes from. No exception leaves one (it would unwind through OpenSSL's C
// frames): it is logged and the callback returns its failure value.
#include <string>

#include "net/CalyxLogger.h"
#include "net/CalyxOpenSslTypes.h"
#include "net/CalyxSslBase.h"
#include "net/CalyxX509.h"

namespace calyx {

// The side of an SSL socket that the callbacks reach. Ex-data slot 0 of every
// SSL object holds the socket's TSslCallbackSocket pointer.
class TSslCallbackSocket {
public:
    // Around every callback: InSslCallback set, then cleared; leaving posts
    // the socket's reset-session message when it lost its handle meanwhile.
    virtual void EnterSslCallback() = 0;
    virtual void LeaveSslCallback() = 0;
    // The verify and client-certificate callbacks hold the socket paused.
    virtual void PauseSslSocket() = 0;
    virtual void ResumeSslSocket() = 0;

    virtual TX509List& SslCertChain() = 0;
    virtual TX509Class SslX509Class() = 0;
    virtual void SetSslVerifyResult(int result) = 0;

    // The socket's events; each does nothing while unassigned.
    virtual void TriggerSslVerifyPeer(int& ok, TX509Base* cert) = 0;
    virtual void TriggerSslSvrNewSession(SSL_SESSION* session, const unsigned char* id,
                                         int idLength, bool& addToInternalCache) = 0;
    virtual void TriggerSslSvrGetSession(SSL_SESSION*& session, const unsigned char* id,
                                         int idLength, bool& incRefCount) = 0;
    // False when the event is unassigned.
    virtual bool TriggerSslCliCertRequest(TX509Base*& cert) = 0;
    // A notice of the engine's info callback (SSL_CB_* where, result).
    virtual void SslInfoNotice(const SSL* ssl, int where, int ret) = 0;

    virtual bool SslCheckLogOptions(TLogOption option) = 0;
    virtual void SslDebugLog(TLogOption option, const std::string& text) = 0;

protected:
    ~TSslCallbackSocket() = default;
};

// The socket in ex-data slot 0 of an SSL object, or none.
TSslCallbackSocket* SslCallbackSocketOf(const SSL* ssl);

// Called inside a callback's catch: what escaped it, logged where someone may
// read it: the socket's logger, else the context's, else the debugger output.
void SslReportEscaped(TSslCallbackSocket* socket, TSslBaseComponent* context, const char* callback) noexcept;

int __cdecl SslVerifyCallback(int preverifyOk, X509_STORE_CTX* store);
int __cdecl SslNewSessionCallback(SSL* ssl, SSL_SESSION* session);
SSL_SESSION* __cdecl SslGetSessionCallback(SSL* ssl, unsigned char* id, int idLength, int* copy);
int __cdecl SslClientCertCallback(SSL* ssl, X509** cert, EVP_PKEY** key);
// Installed on every SSL object of a socket.
void __cdecl SslInfoCallback(const SSL* ssl, int where, int ret);

}  // namespace calyx
