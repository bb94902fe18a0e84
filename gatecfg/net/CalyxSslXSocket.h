#pragma once
// The SSL level of the socket chain. OpenSSL never touches the WinSock handle:
// the engine sits behind a BIO pair, and this level moves ciphertext between
// the pair's network half and the socket, and plaintext between the engine's
// side and the application. Its own read, write and close events are posted
// to the component's window and handled there like WinSock's notices.
//
// SSL is off on every socket of this program (SslEnable), and with it off, or
// while a SOCKS negotiation runs, every call and event passes to the SOCKS
// layer below unchanged; the line layer and the server stand on this class.
//
// Threads: OpenSSL's locking callbacks are not installed, so every SSL socket
// of a process stays on the one thread that made it. Handlers of the events
// raised inside the engine's calls (OnSslVerifyPeer, OnSslCliCertRequest,
// OnSslSvrNewSession, OnSslSvrGetSession) must not free the socket: the
// engine is still running on its session. A Close there is carried out from
// the message loop.
#include <cstdint>
#include <string>

#include "net/CalyxSocksXSocket.h"
#include "net/CalyxSslCallbacks.h"
#include "net/CalyxSslContext.h"
#include "net/CalyxX509.h"

namespace calyx {

enum TSslMode : uint8_t { sslModeClient, sslModeServer };

enum TSslEvent : uint8_t { sslFdRead, sslFdWrite, sslFdClose };
// A set of TSslEvent, bit n for event n.
using TSslEvents = uint8_t;

// SslPhase: where the session stands.
enum TSslPhase : uint8_t {
    sslPhaseNone,
    sslPhaseSettingUp,
    sslPhaseHandshake,
    sslPhaseFailed,
    sslPhaseEstablished,
    sslPhaseShuttingDown,
    sslPhaseShutDown,
};

// SslShutdownState
enum TSslShutdownState : uint8_t { sslShutdownNone, sslShutdownStarted, sslShutdownCompleted };

// (Sender, Session, SessId, IdLen, var AddToInternalCache)
using TSslSvrNewSession =
    rtl::TEvent<rtl::TObject*, SSL_SESSION*, const unsigned char*, int, bool&>;
// (Sender, var Session, SessId, IdLen, var IncRefCount)
using TSslSvrGetSession =
    rtl::TEvent<rtl::TObject*, SSL_SESSION*&, const unsigned char*, int, bool&>;
// (Sender, var Session, var FreeSession)
using TSslCliGetSession = rtl::TEvent<rtl::TObject*, SSL_SESSION*&, bool&>;
// (Sender, Session or none, WasReused, var IncRefCount)
using TSslCliNewSession = rtl::TEvent<rtl::TObject*, SSL_SESSION*, bool, bool&>;
// (Sender, var SessionIDContext)
using TSslSetSessionIDContext = rtl::TEvent<rtl::TObject*, std::string&>;
// (Sender, var Cert)
using TSslCliCertRequest = rtl::TEvent<rtl::TObject*, TX509Base*&>;
// (Sender, Bidirectional, ErrCode)
using TSslShutDownComplete = rtl::TEvent<rtl::TObject*, bool, int>;
// (Sender, var Ok, Cert)
using TSslVerifyPeerEvent = rtl::TEvent<rtl::TObject*, int&, TX509Base*>;
// (Sender, ErrCode, PeerCert, var Disconnect)
using TSslHandshakeDoneEvent = rtl::TEvent<rtl::TObject*, WORD, TX509Base*, bool&>;

class TCustomSslXSocket : public TCustomSocksXSocket, public TSslCallbackSocket {
public:
    explicit TCustomSslXSocket(rtl::TComponent* owner);

    // --- settings ---
    bool SslEnable = false;
    TSslMode SslMode = sslModeClient;
    TX509Class X509Class = &CreateX509Base;
    TSslContext* SslContext() const noexcept { return FSslContext; }
    void SetSslContext(TSslContext* context);

    TSslSvrNewSession OnSslSvrNewSession;
    TSslSvrGetSession OnSslSvrGetSession;
    TSslCliGetSession OnSslCliGetSession;
    TSslCliNewSession OnSslCliNewSession;
    TSslSetSessionIDContext OnSslSetSessionIDContext;
    TSslCliCertRequest OnSslCliCertRequest;
    TSslShutDownComplete OnSslShutDownComplete;
    TSslVerifyPeerEvent OnSslVerifyPeer;
    TSslHandshakeDoneEvent OnSslHandshakeDone;

    // --- the session ---
    SSL* Ssl() const noexcept { return FSsl; }
    TX509List& SslCertChain() override { return *FSslCertChain; }
    TSslPhase SslPhase() const noexcept { return FSslPhase; }
    TSslShutdownState SslShutdownState() const noexcept { return FSslShutdownState; }
    const std::string& SslVersion() const noexcept { return FSslVersion; }
    const std::string& SslCipher() const noexcept { return FSslCipher; }
    int SslTotalBits() const noexcept { return FSslTotalBits; }
    int SslSecretBits() const noexcept { return FSslSecretBits; }
    int SslVersionNumber() const noexcept { return FSslVersionNumber; }
    int SslVerifyResult() const noexcept { return FSslVerifyResult; }
    bool SecureRenegotiationSupported() const noexcept { return FSecureRenegotiationSupported; }
    bool SslInRenegotiation() const noexcept { return FSslInRenegotiation; }
    // Between the engine's handshake-start and handshake-done notices.
    bool InHandshake() const noexcept { return FInHandshake; }
    int HandshakeCount() const noexcept { return FHandshakeCount; }
    int NetworkError() const noexcept { return FNetworkError; }
    uint32_t LastSslError = 0;
    // Events posted to the window and not yet handled.
    TSslEvents PendingSslEvents() const noexcept { return FPendingSslEvents; }

    // The five message ids of this level.
    UINT MsgSslDataSent() const noexcept { return FMsg_WM_SSL_DATASENT; }
    UINT MsgSslTriggerEvent() const noexcept { return FMsg_WM_TRIGGER_EVENT; }
    UINT MsgSslResetSession() const noexcept { return FMsg_WM_RESET_SSL; }
    UINT MsgSslBiShutdown() const noexcept { return FMsg_WM_BI_SSL_SHUTDOWN; }
    UINT MsgSslShutdownComplete() const noexcept { return FMsg_WM_SSL_SHUTDOWN_COMPLETE; }

    // --- operations ---
    void StartSslHandshake();
    void AcceptSslHandshake();
    bool SslSessionReused();
    void ResetSslSession();
    // Asks for a bidirectional SSL shutdown (the peer's close notify is
    // awaited); OnSslShutDownComplete tells its end, after which the
    // connection goes on in the clear.
    BOOL SslBiShutdownAsync();

    [[noreturn]] virtual void RaiseLastOpenSslError(TExceptionClass exceptionClass, bool dump,
                                                    const std::string& customMessage);

    void Listen() override;
    void Dup(SOCKET newHSocket) override;
    void Shutdown(int how) override;
    int Resume() override;
    void Close() override;
    int GetRcvdCount() override;
    void PutDataInSendBuffer(const void* data, int len) override;

    void WndProc(TMessage& msg) override;
    int MsgHandlersCount() override;
    void AllocateMsgHandlers() override;
    void FreeMsgHandlers() override;
    void ThreadAttach() override;

protected:
    ~TCustomSslXSocket() override;
    void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

    virtual void TriggerSslHandshakeDone(WORD error);
    void TriggerSslVerifyPeer(int& ok, TX509Base* cert) override;
    virtual void TriggerSslCliNewSession();
    virtual void TriggerSslShutDownComplete(int error);

    void TryToSend() override;
    void AssignDefaultValue() override;
    void InternalClose(bool shutdownFirst, WORD error) override;
    void InternalAbort(WORD error) override;
    void TriggerSessionConnected(WORD error) override;
    int DoRecv(void* buffer, int len, int flags) override;
    void Do_FD_CONNECT(WORD error) override;
    void Do_FD_READ(WORD error) override;
    void Do_FD_WRITE(WORD error) override;
    void Do_FD_ACCEPT(WORD error) override;
    void Do_FD_CLOSE(WORD error) override;
    void DupConnected() override;
    void PurgeQueuedNotices() override;

    // --- the engine's callbacks ---
    void EnterSslCallback() override;
    void LeaveSslCallback() override;
    void PauseSslSocket() override;
    void ResumeSslSocket() override;
    TX509Class SslX509Class() override { return X509Class; }
    void SetSslVerifyResult(int result) override { FSslVerifyResult = result; }
    void TriggerSslSvrNewSession(SSL_SESSION* session, const unsigned char* id, int idLength,
                                 bool& addToInternalCache) override;
    void TriggerSslSvrGetSession(SSL_SESSION*& session, const unsigned char* id, int idLength,
                                 bool& incRefCount) override;
    bool TriggerSslCliCertRequest(TX509Base*& cert) override;
    void SslInfoNotice(const SSL* ssl, int where, int ret) override;
    bool SslCheckLogOptions(TLogOption option) override { return CheckLogOptions(option); }
    void SslDebugLog(TLogOption option, const std::string& text) override
    {
        DebugLog(option, text);
    }

private:
    // The SSL path runs with SSL on and no SOCKS negotiation under way.
    bool SslPath() const noexcept { return SslEnable && !SocksNegotiating(); }
    // The engine is in SSL_ST_OK.
    bool SslOk() const;
    // The engine hands out plaintext: once the first handshake is done, also
    // while a later one runs.
    bool PlaintextReadable() const { return SslOk() || FSslInRenegotiation; }
    void InitSSLConnection(bool client, SSL_CTX* ctx);
    void BeginHandshake(bool client);
    // Starts the handshake of a session just established, as SslMode says;
    // a failure closes it.
    void StartSessionHandshake();
    bool SslRenegotiationRefused();
    void RepostHeldEvents();

    // --- events of this level (CalyxSslXSocketData.cpp) ---
    bool TriggerEvent(TSslEvent event, WORD error);
    void TriggerEvents();
    void SslAsyncSelect(TMessage& msg);
    void SslDoFdRead(WORD error);
    void OfferPlaintext(const char* where);
    bool TakeCiphertext();
    void EndDataEvent();
    void PutDataInSslBuffer(const void* data, int len);
    void SslTryToSend();
    bool SendCiphertext();
    void SslInternalShutdown(int how);
    bool SslShutdownCompleted(int how);
    void PeerCloseNotified();
    // A close waits for the application to read what was decrypted; a
    // handler that reads nothing of it is not waited for again.
    bool CloseWaitsForReader();
    void DiscardPlaintext();
    // WinSock's last error and LastError.
    void SetSslError(int error);
    void SetNetworkError(int error);

    // --- the traced calls (CalyxSslXSocketBio.cpp) ---
    std::string Identity() const;
    // Identity + text + the socket handle, with loSslInfo.
    void SslTrace(const std::string& text);
    // The text as it stands, with loSslInfo.
    void SslTraceText(const std::string& text);
    void LastOpenSslErr();
    int MyBIO_ctrl_pending(BIO* bio);
    int MyBIO_read(BIO* bio, void* data, int len);
    int MyBIO_write(BIO* bio, const void* data, int len);
    int MyBIO_ctrl_get_write_guarantee(BIO* bio);
    int MyBIO_ctrl_get_read_request(BIO* bio);
    long MyBIO_ctrl(BIO* bio, int cmd, long larg, void* parg);
    bool MyBIO_should_retry(BIO* bio);
    int MyWinsockRecv(char* buffer, int len);
    int MyRealSend(const char* buffer, int len);
    int BioQuery(const char* call, BIO* bio, size_t(__cdecl* query)(BIO*));
    template <class Data>
    int BioTransfer(const char* call, BIO* bio, Data data, int len,
                    int(__cdecl* transfer)(BIO*, Data, int));
    const char* BioName(const BIO* bio) const;
    void TraceBioQuery(const char* call, BIO* bio, long result);
    // The trace of data queued in the plain (or, sslBuffer, the SSL) send buffer.
    void TraceQueued(bool sslBuffer, const void* data, int len);
    void TraceBioTransfer(const char* call, BIO* bio, const void* data, int len, int result);

    // Created before anything can reset the session.
    TCxBufferHandler* FSslSendBuffer;
    TX509List* FSslCertChain;
    TSslContext* FSslContext = nullptr;
    bool FbSslAllSent = true;
    bool FMayFD_Read = true;
    bool FMayFD_Write = true;
    bool FMayDoRecv = true;
    bool FMaySslTryToSend = true;
    bool FCloseCalled = false;
    // The session's end began with the peer's, not with a close or shutdown of ours.
    bool FPeerClosedFirst = false;
    TSslEvents FPendingSslEvents = 0;
    // Trigger-event messages that arrived while the socket was paused: posted
    // again when it resumes.
    TSslEvents FHeldSslEvents = 0;
    TSslShutdownState FSslShutdownState = sslShutdownNone;
    int FShutdownHow = 1;
    bool FSslInRenegotiation = false;
    int FSslBioWritePendingBytes = -1;
    bool FSslDataSentPending = false;
    bool FSslBiShutdown = false;
    int FNetworkError = 0;
    bool FSslLoaded = false;
    bool FInHandshake = false;
    bool FHandshakeDonePending = false;
    int FSslVersionNumber = 0;
    TSslPhase FSslPhase = sslPhaseNone;
    bool FInSslCallback = false;
    bool FPausedForCallback = false;
    SSL* FSsl = nullptr;
    BIO* FSslbio = nullptr;
    BIO* FIbio = nullptr;
    BIO* FNbio = nullptr;
    // The filter holds a reference of its own to the internal half.
    bool FSslbioHoldsIbio = false;
    int FSslVerifyResult = 0;
    std::string FSslVersion = "Unknown";
    std::string FSslCipher = "Unknown";
    int FSslTotalBits = 0;
    int FSslSecretBits = 0;
    bool FSecureRenegotiationSupported = false;
    int FHandshakeCount = 0;
    UINT FMsg_WM_SSL_DATASENT = 0;
    UINT FMsg_WM_TRIGGER_EVENT = 0;
    UINT FMsg_WM_RESET_SSL = 0;
    UINT FMsg_WM_BI_SSL_SHUTDOWN = 0;
    UINT FMsg_WM_SSL_SHUTDOWN_COMPLETE = 0;
    // The close's wait for the reader: 0 none, 1 waiting, 2 given up.
    uint8_t FCloseWait = 0;
    // A close waits for the reads of what the socket still holds.
    bool FCloseAfterRead = false;
    // Plaintext bytes the application has read, to see a reader make no
    // progress.
    unsigned FPlaintextRead = 0;
};

}  // namespace calyx
