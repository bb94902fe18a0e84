// SSL level of the socket chain: construction, the pass-through, the session
// set-up and the handshake, the engine's notices and the session's messages.
// The data path and the shutdown are in CalyxSslXSocketData.cpp, the traced
// OpenSSL and WinSock calls in CalyxSslXSocketBio.cpp.
#include "net/CalyxSslXSocket.h"

#include <cxxabi.h>

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "net/CalyxLIBEAY.h"
#include "net/CalyxLibrary.h"
#include "net/CalyxSSLEAY.h"

namespace calyx {

namespace {

// Every work-around (0xFFF) and no session tickets: sessions are resumed
// by id, through the session events.
constexpr long kSslConnectionOptions = 0x4FFF;
constexpr long kSslOpAllowUnsafeLegacyRenegotiation = 0x00040000;
constexpr int kSslCbLoop = 0x01;
constexpr int kSslCbExit = 0x02;
constexpr int kSslCbRead = 0x04;
constexpr int kSslCbHandshakeStart = 0x10;
constexpr int kSslCbHandshakeDone = 0x20;
constexpr int kSslCbAlert = 0x4000;
constexpr int kSslStConnect = 0x1000;
constexpr int kSslStAccept = 0x2000;
constexpr size_t kMaxSessionIdContext = 32;
constexpr size_t kBioPairHalf = 4096;
constexpr int kSslSendBlock = 4096;

// "EOpenSslError" for a calyx::EOpenSslError.
std::string ExceptionClassName(const std::exception& e)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status), std::free);
    const std::string text = status == 0 && name ? name.get() : typeid(e).name();
    const size_t colon = text.rfind("::");
    return colon == std::string::npos ? text : text.substr(colon + 2);
}

const char* TrueFalse(bool value)
{
    return value ? "True" : "False";
}

// Frees a certificate object made for one event.
class TEventCert {
public:
    explicit TEventCert(TX509Base* cert = nullptr) : FCert(cert) {}
    ~TEventCert()
    {
        if (FCert)
            FCert->Free();
    }
    TEventCert(const TEventCert&) = delete;
    TEventCert& operator=(const TEventCert&) = delete;
    void Reset(TX509Base* cert) { FCert = cert; }

private:
    TX509Base* FCert;
};

}  // namespace

// --- construction ----------------------------------------------------------

TCustomSslXSocket::TCustomSslXSocket(rtl::TComponent* owner)
    : TCustomSocksXSocket(owner),
      FSslSendBuffer(rtl::Create<TCxBufferHandler>(nullptr)),
      FSslCertChain(new TX509List(this))
{
    FSslSendBuffer->SetBlockSize(kSslSendBlock);
}

TCustomSslXSocket::~TCustomSslXSocket()
{
    // The layers below closed the socket before any destructor ran.
    assert(!FInSslCallback && "a socket is freed by a handler inside the engine's call");
    FSslPhase = sslPhaseNone;  // a set-up cut short by its own event frees all the same
    ResetSslSession();
    FSslSendBuffer->Free();
    delete FSslCertChain;
    if (FSslLoaded) {
        FSslLoaded = false;
        UnloadSsl();
    }
}

void TCustomSslXSocket::SetSslContext(TSslContext* context)
{
    if (context == FSslContext)
        return;
    if (FSslContext)
        RemoveFreeNotification(FSslContext);
    FSslContext = context;
    if (FSslContext)
        FreeNotification(FSslContext);
}

void TCustomSslXSocket::Notification(rtl::TComponent* component, rtl::TOperation operation)
{
    TCustomSocksXSocket::Notification(component, operation);
    if (operation == rtl::TOperation::opRemove && component == FSslContext)
        FSslContext = nullptr;
}

void TCustomSslXSocket::AssignDefaultValue()
{
    ResetSslSession();
    TCustomSocksXSocket::AssignDefaultValue();
}

bool TCustomSslXSocket::SslOk() const
{
    return FSsl && ssleay::SSL_state(FSsl) == SSL_ST_OK;
}

// --- message ids -----------------------------------------------------------

int TCustomSslXSocket::MsgHandlersCount()
{
    return TCustomSocksXSocket::MsgHandlersCount() + 5;
}

void TCustomSslXSocket::AllocateMsgHandlers()
{
    TCustomSocksXSocket::AllocateMsgHandlers();
    FMsg_WM_SSL_DATASENT = AllocateMsgId();
    FMsg_WM_TRIGGER_EVENT = AllocateMsgId();
    FMsg_WM_RESET_SSL = AllocateMsgId();
    FMsg_WM_BI_SSL_SHUTDOWN = AllocateMsgId();
    FMsg_WM_SSL_SHUTDOWN_COMPLETE = AllocateMsgId();
}

void TCustomSslXSocket::FreeMsgHandlers()
{
    ReleaseMsgId(FMsg_WM_SSL_SHUTDOWN_COMPLETE);
    ReleaseMsgId(FMsg_WM_BI_SSL_SHUTDOWN);
    ReleaseMsgId(FMsg_WM_RESET_SSL);
    ReleaseMsgId(FMsg_WM_TRIGGER_EVENT);
    ReleaseMsgId(FMsg_WM_SSL_DATASENT);
    TCustomSocksXSocket::FreeMsgHandlers();
}

void TCustomSslXSocket::WndProc(TMessage& msg)
{
    const UINT id = msg.Msg;
    const bool own = id != 0 && (id == FMsg_WM_TRIGGER_EVENT || id == FMsg_WM_SSL_DATASENT ||
                                 id == FMsg_WM_RESET_SSL || id == FMsg_WM_BI_SSL_SHUTDOWN ||
                                 id == FMsg_WM_SSL_SHUTDOWN_COMPLETE);
    if (!own) {
        TCustomSocksXSocket::WndProc(msg);
        return;
    }
    HandleGuarded([&] {
        if (id == FMsg_WM_TRIGGER_EVENT) {
            SslAsyncSelect(msg);
        } else if (id == FMsg_WM_SSL_DATASENT) {
            TriggerDataSent(0);
        } else if (id == FMsg_WM_RESET_SSL) {
            // Asked for the session that lost its handle, not for a later one.
            if (unsigned(msg.WParam) == SessionNumber())
                ResetSslSession();
        } else if (id == FMsg_WM_BI_SSL_SHUTDOWN) {
            if (unsigned(msg.WParam) == SessionNumber() && SslEnable &&
                FSslShutdownState == sslShutdownNone) {
                FSslBiShutdown = true;
                SslInternalShutdown(0);
            }
        } else {
            TriggerSslShutDownComplete(int(msg.WParam));
        }
    });
}

void TCustomSslXSocket::PurgeQueuedNotices()
{
    TCustomSocksXSocket::PurgeQueuedNotices();
    if (HandleAllocated() && FMsg_WM_TRIGGER_EVENT != 0) {
        MSG queued;
        while (PeekMessageA(&queued, Handle(), FMsg_WM_TRIGGER_EVENT, FMsg_WM_TRIGGER_EVENT,
                            PM_REMOVE)) {
        }
    }
    FPendingSslEvents = 0;
    FHeldSslEvents = 0;
    // The engine's state belongs to the session whose handle went.
    ResetSslSession();
}

void TCustomSslXSocket::ThreadAttach()
{
    TCustomSocksXSocket::ThreadAttach();
    // What was posted to the old window is lost.
    const TSslEvents pending = FPendingSslEvents;
    FPendingSslEvents = 0;
    for (const TSslEvent e : {sslFdRead, sslFdWrite, sslFdClose})
        if (pending & (1u << e))
            TriggerEvent(e, 0);
}

// --- pass-through ----------------------------------------------------------

void TCustomSslXSocket::Listen()
{
    const TCxLifeGuard life(this);
    TCustomSocksXSocket::Listen();
    if (life.InService())
        SslTraceText(Identity() + " Listening");
}

void TCustomSslXSocket::Do_FD_ACCEPT(WORD error)
{
    SslTrace(" Do_FD_ACCEPT ");
    TCustomSocksXSocket::Do_FD_ACCEPT(error);
}

void TCustomSslXSocket::Do_FD_CONNECT(WORD error)
{
    FCloseCalled = false;
    FSslShutdownState = sslShutdownNone;
    TCustomSocksXSocket::Do_FD_CONNECT(error);
}

void TCustomSslXSocket::Dup(SOCKET newHSocket)
{
    SslTraceText(Identity() + " Dup accepting accepted socket = " + lib::IntToStr(int(newHSocket)));
    const TCxLifeGuard life(this);
    TCustomSocksXSocket::Dup(newHSocket);
    // Not adopted, or ended by a handler of the state change.
    if (!life.InService() || HSocket() != newHSocket || State() != wsConnected)
        return;
    if (SslEnable)
        StartSessionHandshake();
}

// The state change stays with the socket component, which also resets the
// counters of the connection there.
void TCustomSslXSocket::DupConnected()
{
    SslTraceText(Identity() + " DupConnected");
    TCustomSocksXSocket::DupConnected();
}

void TCustomSslXSocket::TriggerSessionConnected(WORD error)
{
    const TSessionGuard session(this);
    TCustomSocksXSocket::TriggerSessionConnected(error);
    if (session.Holds() && SslEnable && error == 0 && !FSsl)
        StartSessionHandshake();
}

// A session whose handshake cannot start is closed; the failure goes to the
// background-exception handling, whose handler decides about the rest.
void TCustomSslXSocket::StartSessionHandshake()
{
    try {
        if (SslMode == sslModeClient)
            StartSslHandshake();
        else if (SslMode == sslModeServer)
            AcceptSslHandshake();
        else
            throw rtl::Exception("Invalid SslMode");
    } catch (rtl::Exception& e) {
        const TCxLifeGuard life(this);
        SslEnable = false;
        ResetSslSession();
        InternalClose(false, WSAECONNABORTED);
        if (life.InService())
            HandleBackGroundException(e);
    }
}

void TCustomSslXSocket::InternalAbort(WORD error)
{
    SslEnable = false;
    ResetSslSession();
    TCustomSocksXSocket::InternalAbort(error);
}

int TCustomSslXSocket::Resume()
{
    const int result = TCustomSocksXSocket::Resume();
    RepostHeldEvents();
    TriggerEvents();
    return result;
}

void TCustomSslXSocket::RepostHeldEvents()
{
    const TSslEvents held = FHeldSslEvents;
    FHeldSslEvents = 0;
    for (const TSslEvent e : {sslFdRead, sslFdWrite, sslFdClose}) {
        if (held & (1u << e)) {
            FPendingSslEvents &= TSslEvents(~(1u << e));
            TriggerEvent(e, 0);
        }
    }
}

// --- the handshake ---------------------------------------------------------

void TCustomSslXSocket::StartSslHandshake()
{
    BeginHandshake(true);
}

void TCustomSslXSocket::AcceptSslHandshake()
{
    BeginHandshake(false);
}

void TCustomSslXSocket::BeginHandshake(bool client)
{
    SslTrace(client ? " StartSslHandshake " : " AcceptSslHandshake ");
    if (!SslEnable)
        return;
    if (!FSslContext)
        throw ESslContextException("SSL requires a context object");
    try {
        if (FSsl)
            ResetSslSession();
        FSslPhase = sslPhaseSettingUp;
        SslMode = client ? sslModeClient : sslModeServer;
        if (!FSslContext->SslCtx())
            FSslContext->InitContext();
        InitSSLConnection(client, FSslContext->SslCtx());
    } catch (rtl::Exception& e) {
        FSslPhase = sslPhaseNone;
        if (CheckLogOptions(loSslInfo))
            DebugLog(loSslInfo, Identity() + " Fatal error SSL handshake " +
                                    lib::IntToStr(int(HSocket())) + " " + ExceptionClassName(e) +
                                    (client ? " " : ": ") + e.Message());
        throw;
    }
}

void TCustomSslXSocket::InitSSLConnection(bool client, SSL_CTX* ctx)
{
    if (!SslEnable)
        return;
    SslTrace(" InitSSLConnection ");
    FSslCertChain->Clear();
    FShutdownHow = 1;
    FSslShutdownState = sslShutdownNone;
    FNetworkError = 0;
    LastSslError = 0;
    FSslBiShutdown = false;
    FCloseCalled = false;
    FPeerClosedFirst = false;
    FCloseWait = 0;
    FCloseAfterRead = false;
    FPendingSslEvents = 0;
    FHeldSslEvents = 0;
    FMayFD_Read = FMayFD_Write = FMayDoRecv = FMaySslTryToSend = true;
    if (!FSslLoaded) {
        LoadSsl();
        FSslLoaded = true;
    }
    // The session events below may end the session or free the socket.
    const TSessionGuard session(this);
    try {
        {
            TSslLockGuard lock(kSslLockSsl);
            FSsl = ssleay::SSL_new(ctx);
        }
        if (!FSsl)
            RaiseLastOpenSslError(&RaiseAs<rtl::Exception>, true, "Error on creating the Ssl object");
        FSslbio = libeay::BIO_new(ssleay::BIO_f_ssl());
        libeay::BIO_new_bio_pair(&FIbio, kBioPairHalf, &FNbio, kBioPairHalf);
        if (!FSslbio || !FIbio || !FNbio)
            RaiseLastOpenSslError(&RaiseAs<rtl::Exception>, true, "Creating BIOs failed");
        ssleay::SSL_set_options(FSsl, ssleay::SSL_get_options(FSsl) | kSslConnectionOptions);
        if (ssleay::SSL_set_ex_data(FSsl, 0, static_cast<TSslCallbackSocket*>(this)) != 1)
            RaiseLastOpenSslError(&RaiseAs<rtl::Exception>, true, "SSL_set_ex_data failed");
        if (client) {
            if (FSslContext->SslCertFile.empty() && OnSslCliCertRequest.Assigned() &&
                !ssleay::SSL_CTX_get_client_cert_cb(ctx))
                ssleay::SSL_CTX_set_client_cert_cb(ctx, &SslClientCertCallback);
            SSL_SESSION* cached = nullptr;
            bool freeSession = true;
            if (OnSslCliGetSession.Assigned()) {
                OnSslCliGetSession(this, cached, freeSession);
                if (!session.Holds())
                    return;
            }
            if (cached && ssleay::SSL_set_session(FSsl, cached) == 1)
                SslTraceText(Identity() + " Reuse session [" +
                             lib::IntToHex(uint32_t(reinterpret_cast<uintptr_t>(cached)), 8) + "]");
            else
                ssleay::SSL_set_session(FSsl, nullptr);
            // A session the engine refused is handed back all the same.
            if (cached && freeSession)
                ssleay::SSL_SESSION_free(cached);
            ssleay::SSL_set_connect_state(FSsl);
        } else {
            if (OnSslSetSessionIDContext.Assigned()) {
                std::string context;
                OnSslSetSessionIDContext(this, context);
                if (!session.Holds())
                    return;
                if (!context.empty()) {
                    context.resize(std::min(context.size(), kMaxSessionIdContext));
                    if (ssleay::SSL_set_session_id_context(
                            FSsl, reinterpret_cast<const unsigned char*>(context.data()),
                            unsigned(context.size())))
                        SslTraceText(Identity() + " SessionIDContext: " + context + " " +
                                     lib::IntToStr(int(HSocket())));
                    else if (CheckLogOptions(loSslErr))
                        DebugLog(loSslErr, Identity() + " ssl_set_session_id_context failed" +
                                               lib::IntToStr(int(HSocket())));
                }
            }
            ssleay::SSL_set_accept_state(FSsl);
        }
        ssleay::SSL_set_bio(FSsl, FIbio, FIbio);
        ssleay::SSL_set_info_callback(FSsl, &SslInfoCallback);
        libeay::ERR_clear_error();
        FSslbioHoldsIbio = MyBIO_ctrl(FSslbio, BIO_C_SET_SSL, BIO_NOCLOSE, FSsl) == 1;
        // A read of nothing starts the engine.
        char none = 0;
        if (MyBIO_read(FSslbio, &none, 0) < 0 && !MyBIO_should_retry(FSslbio))
            RaiseLastOpenSslError(&RaiseAs<EOpenSslError>, true, "InitSSLConnection:");
        if (State() == wsConnected) {
            TriggerEvent(sslFdRead, 0);
            TriggerEvent(sslFdWrite, 0);
        }
        LastError = -1;
        FSslPhase = sslPhaseHandshake;
    } catch (...) {
        FSslPhase = sslPhaseFailed;
        ResetSslSession();
        FSslPhase = sslPhaseFailed;
        throw;
    }
}

bool TCustomSslXSocket::SslRenegotiationRefused()
{
    if (LibeayNarrowVersion())
        return true;
    return LibeayVersionNumber() >= kOpenSslSecureRenegotiationVersion &&
           !ssleay::SSL_get_secure_renegotiation_support(FSsl) &&
           !(ssleay::SSL_get_options(FSsl) & kSslOpAllowUnsafeLegacyRenegotiation);
}

// Runs inside the engine's call, under the info-callback lock; it only notes
// and traces: the handshake-done work waits for the next TriggerEvents.
void TCustomSslXSocket::SslInfoNotice(const SSL* ssl, int where, int ret)
{
    const bool logging = CheckLogOptions(loSslErr) || CheckLogOptions(loSslInfo);
    if (logging) {
        const std::string side = where & kSslStConnect  ? "SSL_connect: "
                                 : where & kSslStAccept ? "SSL_accept: "
                                                        : "undefined: ";
        if (where & kSslCbLoop) {
            DebugLog(loSslInfo, "ICB> " + side + lib::StrPas(ssleay::SSL_state_string_long(ssl)));
        } else if (where & kSslCbAlert) {
            DebugLog(loSslInfo, std::string("ICB> SSL3 alert ") +
                                    (where & kSslCbRead ? "read " : "write ") +
                                    lib::StrPas(ssleay::SSL_alert_type_string_long(ret)) + " " +
                                    lib::StrPas(ssleay::SSL_alert_desc_string_long(ret)));
        } else if (where & kSslCbExit) {
            const std::string state = lib::StrPas(ssleay::SSL_state_string_long(ssl));
            if (ret == 0) {
                DebugLog(loSslInfo, "ICB> " + side + "failed in " + state);
            } else if (ret < 0) {
                const int error = ssleay::SSL_get_error(ssl, ret);
                if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
                    DebugLog(loSslInfo, "ICB> " + side + "error in " + state);
            }
        }
    }
    if (where & kSslCbAlert)
        return;
    if (where & kSslCbHandshakeStart) {
        FInHandshake = true;
        ++FHandshakeCount;
        if (FHandshakeCount > 1) {
            if (FSsl && SslRenegotiationRefused()) {
                CloseDelayed();
                if (logging)
                    DebugLog(loSslInfo, "ICB> Renegotiaton not supported or not allowed. "
                                        "Connection closed delayed");
            }
            FSslInRenegotiation = true;
        }
        SslTraceText("ICB> SSL_CB_HANDSHAKE_START");
    }
    if (where & kSslCbHandshakeDone) {
        FInHandshake = false;
        FHandshakeDonePending = true;
        if (logging) {
            const long verify = ssleay::SSL_get_verify_result(ssl);
            if (CheckLogOptions(loSslInfo) || verify != 0)
                DebugLog(loSslInfo, "ICB> SSL_CB_HANDSHAKE_DONE Error: " + lib::IntToStr(int(verify)));
        }
    }
}

void TCustomSslXSocket::TriggerSslHandshakeDone(WORD error)
{
    if (HSocket() == INVALID_SOCKET)
        error = 1;
    FSslPhase = error != 0 || !FSsl ? sslPhaseFailed : sslPhaseEstablished;
    FSslCertChain->X509Class = X509Class;
    const bool success = FSslPhase == sslPhaseEstablished;
    if (success) {
        FSecureRenegotiationSupported =
            LibeayVersionNumber() >= kOpenSslSecureRenegotiationVersion &&
            ssleay::SSL_get_secure_renegotiation_support(FSsl) == 1;
        FSslVersion = lib::StrPas(ssleay::SSL_get_version(FSsl));
        FSslVersionNumber = ssleay::SSL_version(FSsl);
        if (const SSL_CIPHER* cipher = ssleay::SSL_get_current_cipher(FSsl)) {
            FSslCipher = lib::StrPas(ssleay::SSL_CIPHER_get_name(cipher));
            FSslSecretBits = ssleay::SSL_CIPHER_get_bits(cipher, &FSslTotalBits);
        }
    }
    const bool reused = FSsl && ssleay::SSL_session_reused(FSsl) != 0;
    TX509Base* peerCert = nullptr;
    TEventCert made;
    if (FSsl && FSslContext && FSslContext->SslVerifyPeer && !reused) {
        if (X509* cert = ssleay::SSL_get_peer_certificate(FSsl)) {
            peerCert = FSslCertChain->Find(cert);
            if (!peerCert) {
                try {
                    peerCert = rtl::Create<TX509Base>(nullptr, cert);
                } catch (...) {
                    libeay::X509_free(cert);
                    throw;
                }
                made.Reset(peerCert);
                peerCert->VerifyResult = int(ssleay::SSL_get_verify_result(FSsl));
            }
            libeay::X509_free(cert);
        }
    }
    if (CheckLogOptions(loSslInfo))
        DebugLog(loSslInfo,
                 lib::Format("%s SslHandshakeDone(%d) %d. Secure connection with %s, cipher %s, "
                             "%d secret bits (%d total), session reused=%s",
                             Identity().c_str(), int(error), int(HSocket()), FSslVersion.c_str(),
                             FSslCipher.c_str(), FSslSecretBits, FSslTotalBits, TrueFalse(reused)));
    if (!peerCert) {
        peerCert = rtl::Create<TX509Base>(nullptr);
        made.Reset(peerCert);
    }
    bool disconnect = false;
    const TSessionGuard session(this);
    if (OnSslHandshakeDone.Assigned())
        OnSslHandshakeDone(this, error, peerCert, disconnect);
    if (!session.Holds() || !success)
        return;
    if (disconnect)
        Close();
    else
        TriggerSslCliNewSession();
}

void TCustomSslXSocket::TriggerSslCliNewSession()
{
    if (SslMode != sslModeClient || !OnSslCliNewSession.Assigned() || !FSsl)
        return;
    SSL_SESSION* current =
        FSslPhase == sslPhaseEstablished ? ssleay::SSL_get_session(FSsl) : nullptr;
    const bool reused = ssleay::SSL_session_reused(FSsl) != 0;
    SslTraceText(Identity() + " CliNewSession [" +
                 lib::IntToHex(uint32_t(reinterpret_cast<uintptr_t>(current)), 8) + "] " +
                 "Reused: " + TrueFalse(reused));
    // The event's reference is taken first: the event may end the session.
    if (current)
        current = ssleay::SSL_get1_session(FSsl);
    bool incRefCount = false;
    {
        TSslLockGuard lock(kSslLockSsl);
        try {
            OnSslCliNewSession(this, current, reused, incRefCount);
        } catch (...) {
            if (current)
                ssleay::SSL_SESSION_free(current);
            throw;
        }
        if (current && !incRefCount)
            ssleay::SSL_SESSION_free(current);
    }
}

bool TCustomSslXSocket::SslSessionReused()
{
    return SslEnable && FSsl && ssleay::SSL_session_reused(FSsl) != 0;
}

void TCustomSslXSocket::ResetSslSession()
{
    if (FInSslCallback || FSslPhase == sslPhaseSettingUp)
        return;
    if (FSsl)
        SslTrace(" ResetSslSession ");
    if (FSslSendBuffer) {
        TCxBufferLock lock(FSslSendBuffer);
        FSslSendBuffer->DeleteAll();
    }
    FbSslAllSent = true;
    FSslVersion = "Unknown";
    FSslCipher = "Unknown";
    FSslTotalBits = 0;
    FSslSecretBits = 0;
    FSslVersionNumber = 0;
    FInHandshake = false;
    FHandshakeDonePending = false;
    FSslInRenegotiation = false;
    FSslBioWritePendingBytes = -1;
    FNetworkError = 0;
    FSslPhase = sslPhaseNone;
    FHandshakeCount = 0;
    FSecureRenegotiationSupported = false;
    FCloseWait = 0;
    FCloseAfterRead = false;
    if (FSsl)
        ssleay::SSL_set_shutdown(FSsl, SSL_SENT_SHUTDOWN);
    // Each holder of the internal half lets go of its own reference: the
    // filter took one when the connection was set on it, and the connection
    // frees the half with itself; one that never reached the connection is
    // only ours.
    const bool connectionHolds = FSsl && FIbio && ssleay::SSL_get_rbio(FSsl) == FIbio;
    const bool filterHolds = FSslbioHoldsIbio;
    FSslbioHoldsIbio = false;
    for (BIO** bio : {&FSslbio, &FNbio}) {
        if (*bio)
            libeay::BIO_free(*bio);
        *bio = nullptr;
    }
    if (FIbio && (filterHolds || !connectionHolds))
        libeay::BIO_free(FIbio);
    FIbio = nullptr;
    if (FSsl)
        ssleay::SSL_free(FSsl);
    FSsl = nullptr;
}

void TCustomSslXSocket::RaiseLastOpenSslError(TExceptionClass exceptionClass, bool dump,
                                              const std::string& customMessage)
{
    RaiseOpenSslError(exceptionClass, dump, customMessage, LastSslError);
}

// --- events of the engine's callbacks --------------------------------------

void TCustomSslXSocket::EnterSslCallback()
{
    FInSslCallback = true;
}

void TCustomSslXSocket::LeaveSslCallback()
{
    FInSslCallback = false;
    // The session cannot be freed under the engine: it goes from the loop.
    if (HSocket() == INVALID_SOCKET && FSsl)
        lib::PostMessageA(Handle(), FMsg_WM_RESET_SSL, WPARAM(SessionNumber()), 0);
}

// The engine is running: no data moves until its call has returned. A
// socket the application paused stays paused.
void TCustomSslXSocket::PauseSslSocket()
{
    FPausedForCallback = !Paused();
    if (FPausedForCallback)
        TCustomSocksXSocket::Pause();
}

void TCustomSslXSocket::ResumeSslSocket()
{
    if (!FPausedForCallback)
        return;
    FPausedForCallback = false;
    TCustomSocksXSocket::Resume();
    RepostHeldEvents();
}

void TCustomSslXSocket::TriggerSslVerifyPeer(int& ok, TX509Base* cert)
{
    SslTraceText("TriggerSslVerifyPeer");
    if (OnSslVerifyPeer.Assigned())
        OnSslVerifyPeer(this, ok, cert);
}

void TCustomSslXSocket::TriggerSslSvrNewSession(SSL_SESSION* session, const unsigned char* id,
                                                int idLength, bool& addToInternalCache)
{
    if (OnSslSvrNewSession.Assigned())
        OnSslSvrNewSession(this, session, id, idLength, addToInternalCache);
}

void TCustomSslXSocket::TriggerSslSvrGetSession(SSL_SESSION*& session, const unsigned char* id,
                                                int idLength, bool& incRefCount)
{
    if (OnSslSvrGetSession.Assigned())
        OnSslSvrGetSession(this, session, id, idLength, incRefCount);
}

bool TCustomSslXSocket::TriggerSslCliCertRequest(TX509Base*& cert)
{
    if (!OnSslCliCertRequest.Assigned())
        return false;
    OnSslCliCertRequest(this, cert);
    return true;
}

void TCustomSslXSocket::TriggerSslShutDownComplete(int error)
{
    if (CheckLogOptions(loSslInfo))
        DebugLog(loSslInfo, lib::Format("%s TriggerSslShutDownComplete(%d) %d", Identity().c_str(),
                                        error, int(HSocket())));
    if (OnSslShutDownComplete.Assigned())
        OnSslShutDownComplete(this, FSslBiShutdown, error);
}

BOOL TCustomSslXSocket::SslBiShutdownAsync()
{
    return lib::PostMessageA(Handle(), FMsg_WM_BI_SSL_SHUTDOWN, WPARAM(SessionNumber()), 0);
}

}  // namespace calyx
