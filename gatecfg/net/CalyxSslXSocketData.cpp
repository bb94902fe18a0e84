// SSL level of the socket chain: its own posted events, the read and write
// paths between the socket, the BIO pair and the application, the close and
// the SSL shutdown.
//
// The May flags coalesce the posted events: each is cleared when its event
// is posted and set again by the operation that wants another one, and at
// most one message of each kind is pending (PendingSslEvents). Every handler
// raised on the way (data, data sent, send data, handshake done, shutdown
// complete, session closed) may end the session or free the socket: the code
// after it asks its session guard first.
#include <algorithm>
#include <cassert>

#include "net/CalyxLibrary.h"
#include "net/CalyxSSLEAY.h"
#include "net/CalyxSslXSocket.h"

namespace calyx {

namespace {

constexpr long kFionRead = 0x4004667F;
constexpr int kNetworkReadSize = 8192;
constexpr int kNetworkWriteSize = 16384;
constexpr int kVersionSsl3 = 0x300;

// 10035 (would block), 10057 (not connected) and anything up to 10000 are
// no failure of the network.
bool IsNetworkError(int error)
{
    return error > 10000 && error != WSAEWOULDBLOCK && error != WSAENOTCONN;
}

constexpr TSslEvents Bit(TSslEvent event)
{
    return TSslEvents(1u << event);
}

const char* EventName(TSslEvent event)
{
    static const char* const kNames[] = {"sslFdRead ", "sslFdWrite ", "sslFdClose "};
    return kNames[event];
}

const char* Flag(bool value)
{
    return value ? "-1" : "0";
}


}  // namespace

void TCustomSslXSocket::SetSslError(int error)
{
    XSocket_WSASetLastError(error);
    LastError = error;
}

void TCustomSslXSocket::SetNetworkError(int error)
{
    FNetworkError = error;
    SetSslError(error);
}

// --- posting ---------------------------------------------------------------

bool TCustomSslXSocket::TriggerEvent(TSslEvent event, WORD error)
{
    if (!SslEnable || Paused() || (FPendingSslEvents & Bit(event)))
        return false;
    static const WORD kNotice[] = {FD_READ, FD_WRITE, FD_CLOSE};
    if (!lib::PostMessageA(Handle(), FMsg_WM_TRIGGER_EVENT, WPARAM(HSocket()),
                           MAKELONG(kNotice[event], error)))
        return false;
    FPendingSslEvents |= Bit(event);
    SslTrace(std::string(" TriggerEvent ") + EventName(event));
    return true;
}

void TCustomSslXSocket::SslAsyncSelect(TMessage& msg)
{
    const WORD events = LOWORD(msg.LParam);
    const WORD error = HIWORD(msg.LParam);
    SslTraceText("SslAsyncSelect " + lib::IntToStr(int(msg.WParam)) + ", " +
                 lib::IntToStr(events) + SelectEventNames(msg));
    // Posts of an earlier session were dropped when its handle went.
    if (SOCKET(msg.WParam) != HSocket())
        return;
    TSslEvent event;
    if (events & FD_READ)
        event = sslFdRead;
    else if (events & FD_WRITE)
        event = sslFdWrite;
    else if (events & FD_CLOSE)
        event = sslFdClose;
    else
        return;
    if (Paused()) {
        // Still pending: it is posted again when the socket resumes.
        FHeldSslEvents |= Bit(event);
        return;
    }
    FPendingSslEvents &= TSslEvents(~Bit(event));
    switch (event) {
    case sslFdRead: SslDoFdRead(error); break;
    case sslFdWrite: Do_FD_WRITE(error); break;
    case sslFdClose: Do_FD_CLOSE(error); break;
    }
}

// WinSock's read notices stay off while a posted read runs; the mask in force
// comes back unless the socket was paused or its session ended meanwhile.
void TCustomSslXSocket::SslDoFdRead(WORD error)
{
    const TSessionGuard session(this);
    const auto restore = [&] {
        if (session.Holds() && !Paused())
            winsock::WSAAsyncSelect(HSocket(), Handle(), MsgAsyncSelect(), SelectEvent());
    };
    winsock::WSAAsyncSelect(HSocket(), Handle(), MsgAsyncSelect(), SelectEvent() & ~FD_READ);
    try {
        Do_FD_READ(error);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TCustomSslXSocket::TriggerEvents()
{
    // Inside the engine's call nothing may drive it again; the caller of
    // the engine runs this afterwards.
    if (!FSsl || !SslEnable || FInSslCallback)
        return;
    if (CheckLogOptions(loSslInfo)) {
        const int state = ssleay::SSL_state(FSsl);
        const std::string stateText = state & 0x3000      ? "SSL_ST_INIT "
                                      : state == SSL_ST_OK ? "SSL_ST_OK "
                                                           : lib::IntToHex(uint32_t(state), 8);
        DebugLog(loSslInfo, Identity() + " TriggerEvents " + lib::IntToStr(int(HSocket())) +
                                " SslState: " + stateText + " // MayFD_Read=" + Flag(FMayFD_Read) +
                                " MayDoRecv=" + Flag(FMayDoRecv) + " MayFD_Write=" +
                                Flag(FMayFD_Write) + " MaySslTryToSend=" + Flag(FMaySslTryToSend) +
                                " bSslAllSent=" + Flag(FbSslAllSent) + " bAllSent=" + Flag(AllSent()));
    }
    const TSessionGuard session(this);
    const auto goesOn = [&] { return session.Holds() && FSsl && SslEnable; };
    if (FHandshakeDonePending) {
        FHandshakeDonePending = false;
        TriggerSslHandshakeDone(0);
        if (!goesOn())
            return;
        FSslInRenegotiation = false;
    }

    bool ok = SslOk();
    if (MyBIO_ctrl_pending(FNbio) == 0) {
        if (AllSent() || !ok || MyBIO_ctrl_get_write_guarantee(FSslbio) == 0 || !FMayFD_Write) {
            if (!FbSslAllSent && ok && FMaySslTryToSend) {
                FMaySslTryToSend = false;
                TryToSend();
                if (!goesOn())
                    return;
            } else if (AllSent() && FbSslAllSent && FSslDataSentPending && ok) {
                FSslDataSentPending = false;
                TriggerDataSent(0);
                if (!goesOn())
                    return;
            }
        } else if (TriggerEvent(sslFdWrite, 0)) {
            FMayFD_Write = false;
        }
    } else if (FMayFD_Write && TriggerEvent(sslFdWrite, 0)) {
        FMayFD_Write = false;
    }

    // The engine reports no plaintext before the protocol is agreed on.
    ok = SslOk();
    const int plaintext = PlaintextReadable() ? MyBIO_ctrl_pending(FSslbio) : 0;
    if (plaintext == 0) {
        // A full pair gets room once the engine takes from it, which it can
        // while it has room to write its answers.
        const bool engineTakes = MyBIO_ctrl_pending(FIbio) > 0 && MyBIO_ctrl_get_write_guarantee(FIbio) > 0;
        if ((MyBIO_ctrl_get_write_guarantee(FNbio) > 0 || engineTakes) && FMayFD_Read && TriggerEvent(sslFdRead, 0))
            FMayFD_Read = false;
    } else if (FMayDoRecv && TriggerEvent(sslFdRead, 0)) {
        FMayDoRecv = false;
    }

    if (ok && plaintext == 0 &&
        ((FCloseCalled && FSslShutdownState == sslShutdownNone) ||
         (FSslShutdownState == sslShutdownCompleted && !FSslBiShutdown)))
        TriggerEvent(sslFdClose, 0);
}

// --- reading ---------------------------------------------------------------

// The application is offered what was decrypted. A close that waits for the
// reader goes on once a handler read nothing of it; without a handler the
// plaintext is dropped, as the socket drops what nobody reads.
void TCustomSslXSocket::OfferPlaintext(const char* where)
{
    SslTrace(where);
    const unsigned before = FPlaintextRead;
    const TSessionGuard session(this);
    const bool assigned = TriggerDataAvailable(0);
    if (!session.Holds() || !FSsl)
        return;
    if (!assigned)
        DiscardPlaintext();
    if (FCloseWait == 1 && FPlaintextRead == before) {
        FCloseWait = 2;
        TriggerEvent(sslFdClose, 0);
    }
}

bool TCustomSslXSocket::CloseWaitsForReader()
{
    if (FCloseWait == 2)
        return false;
    FCloseWait = 1;
    TriggerEvent(sslFdRead, 0);
    return true;
}

void TCustomSslXSocket::DiscardPlaintext()
{
    char scratch[1024];
    int n;
    while ((n = MyBIO_read(FSslbio, scratch, sizeof scratch)) > 0)
        FPlaintextRead += unsigned(n);
}

// The peer's close notify is in: the engine answers it with its own when no
// shutdown of ours runs yet (a peer that waits for the answer would hang).
void TCustomSslXSocket::PeerCloseNotified()
{
    if (FSslPhase < sslPhaseShuttingDown)
        FSslPhase = sslPhaseShuttingDown;
    if (!FSslBiShutdown && FSslShutdownState != sslShutdownStarted)
        TriggerEvent(sslFdClose, WORD(FNetworkError));
}

void TCustomSslXSocket::Do_FD_READ(WORD error)
{
    if (!SslPath()) {
        TCustomSocksXSocket::Do_FD_READ(error);
        return;
    }
    SslTrace(" TCustomSslXSocket.Do_FD_READ ");
    if (FNetworkError > 0)
        return;
    const TSessionGuard session(this);
    // Plaintext is offered whatever the write side does: a write the engine
    // holds waits for the network, and the peer may wait for our reads.
    const auto plaintextWaits = [&] { return PlaintextReadable() && MyBIO_ctrl_pending(FSslbio) > 0; };
    if (plaintextWaits()) {
        OfferPlaintext(" TriggerDataAvailable (Do_FD_READ_1) ");
        return;
    }

    FMayFD_Read = false;
    // What the engine asks for, and never more than the pair can take.
    const int room = MyBIO_ctrl_get_write_guarantee(FNbio);
    int n = MyBIO_ctrl_get_read_request(FNbio);
    if (n == 0)
        n = room;
    n = std::min({n, room, kNetworkReadSize});
    if (n <= 0) {
        // No recv, so no notice of WinSock's follows: ours comes once the
        // engine has made room.
        FMayFD_Read = true;
    } else {
        char buffer[kNetworkReadSize];
        const int got = MyWinsockRecv(buffer, n);
        if (got == 0) {
            if (State() == wsConnected)
                TriggerEvent(sslFdClose, error);
        } else if (got < 0) {
            const int e = XSocket_WSAGetLastError();
            if (IsNetworkError(e)) {
                SetNetworkError(e);
                TriggerEvent(sslFdClose, 0);
                if (CheckLogOptions(loSslErr))
                    DebugLog(loSslErr, Identity() + " NetworkError #" + lib::IntToStr(e));
                return;
            }
        } else {
            const int taken = MyBIO_write(FNbio, buffer, got);
            // recv asked for no more than the pair's write guarantee.
            assert(taken == got);
            (void)taken;
            MyBIO_ctrl(FNbio, BIO_CTRL_FLUSH, 0, nullptr);
        }
    }
    // Also what an earlier read left in the pair: no notice comes for it.
    if (MyBIO_ctrl_pending(FIbio) > 0 && !TakeCiphertext())
        return;

    if (plaintextWaits()) {
        OfferPlaintext(" TriggerDataAvailable (Do_FD_READ_2) ");
        if (!session.Holds() || !FSsl)
            return;
    }
    if (FCloseAfterRead) {
        FCloseAfterRead = false;
        TriggerEvent(sslFdClose, 0);
    }
    EndDataEvent();
}

// The engine takes the ciphertext in the pair (a read of no bytes), also
// while it holds a write of ours. False when the session ended or failed.
bool TCustomSslXSocket::TakeCiphertext()
{
    const TSessionGuard session(this);
    char none = 0;
    const int r = MyBIO_read(FSslbio, &none, 0);
    // The engine's callbacks ran inside that read.
    if (!session.Holds() || !FSsl)
        return false;
    if (r < 0 && !MyBIO_should_retry(FSslbio)) {
        LastOpenSslErr();
        SetNetworkError(WSAECONNABORTED);
        TriggerEvent(sslFdClose, 0);
        SslTrace(" NetworkError #" + lib::IntToStr(WSAECONNABORTED) + " ");
        return false;
    }
    if (r < 0) {
        FMayDoRecv = true;
        XSocket_WSASetLastError(WSAEWOULDBLOCK);
    } else if (FSslVersionNumber >= kVersionSsl3) {
        if (ssleay::SSL_get_error(FSsl, r) == SSL_ERROR_ZERO_RETURN)
            PeerCloseNotified();
        XSocket_WSASetLastError(WSAEWOULDBLOCK);
        FMayDoRecv = true;
    }
    return true;
}

// The end of a read or write event: a shutdown of ours that has completed
// now closes the socket; otherwise the next events are posted.
void TCustomSslXSocket::EndDataEvent()
{
    if (FSslShutdownState == sslShutdownStarted) {
        const TSessionGuard session(this);
        const bool completed = SslShutdownCompleted(FShutdownHow);
        if (!session.Holds())
            return;
        if (completed && !FSslBiShutdown) {
            TriggerEvent(sslFdClose, 0);
            return;
        }
    }
    TriggerEvents();
}

int TCustomSslXSocket::DoRecv(void* buffer, int len, int flags)
{
    if (!SslPath())
        return TCustomSocksXSocket::DoRecv(buffer, len, flags);
    SslTrace(" TCustomSslXSocket.DoRecv ");
    if (FNetworkError > 0) {
        // What was decrypted before the failure is still handed out.
        if (MyBIO_ctrl_pending(FSslbio) > 0 && FSslShutdownState == sslShutdownNone) {
            const int n = MyBIO_read(FSslbio, buffer, len);
            if (n > 0)
                FPlaintextRead += unsigned(n);
            return n;
        }
        SetSslError(FNetworkError);
        return -1;
    }
    if (FSslShutdownState == sslShutdownStarted) {
        XSocket_WSASetLastError(WSAESHUTDOWN);
        return -1;
    }
    if (len == 0)
        return 0;
    if (PlaintextReadable() && MyBIO_ctrl_pending(FSslbio) > 0) {
        const int n = MyBIO_read(FSslbio, buffer, len);
        if (n > 0) {
            FPlaintextRead += unsigned(n);
            FMayDoRecv = true;
            // The engine decrypts one record at a time: the next may be in
            // the pair already, where no notice of WinSock's announces it.
            if (MyBIO_ctrl_pending(FSslbio) == 0 && MyBIO_ctrl_pending(FIbio) > 0)
                FMayFD_Read = true;
            TriggerEvents();
            return n;
        }
        if (n == 0 || MyBIO_should_retry(FSslbio)) {
            if (n == 0 && ssleay::SSL_get_error(FSsl, n) == SSL_ERROR_ZERO_RETURN)
                PeerCloseNotified();
            FMayDoRecv = true;
            TriggerEvents();
            XSocket_WSASetLastError(WSAEWOULDBLOCK);
            return -1;
        }
        LastOpenSslErr();
        SetNetworkError(WSAECONNABORTED);
        TriggerEvent(sslFdClose, 0);
        SslTrace(" NetworkError #" + lib::IntToStr(WSAECONNABORTED) + " ");
        return -1;
    }
    if (State() == wsClosed)
        return 0;
    if (FCloseCalled) {
        TriggerEvent(sslFdClose, 0);
        return 0;
    }
    if (State() != wsConnected) {
        SetSslError(FNetworkError);
        return -1;
    }
    FMayDoRecv = true;
    TriggerEvents();
    XSocket_WSASetLastError(WSAEWOULDBLOCK);
    return -1;
}

int TCustomSslXSocket::GetRcvdCount()
{
    if (!SslPath())
        return TCustomSocksXSocket::GetRcvdCount();
    if (ComponentState() & rtl::csDesigning)
        return -1;
    return MyBIO_ctrl_pending(FSslbio);
}

// --- sending ---------------------------------------------------------------

void TCustomSslXSocket::PutDataInSendBuffer(const void* data, int len)
{
    if (SslPath()) {
        if (len > 0) {
            FbSslAllSent = false;
            PutDataInSslBuffer(data, len);
        }
        return;
    }
    TraceQueued(false, data, len);
    TCustomSocksXSocket::PutDataInSendBuffer(data, len);
}

void TCustomSslXSocket::PutDataInSslBuffer(const void* data, int len)
{
    FSslDataSentPending = true;
    TraceQueued(true, data, len);
    if (len <= 0 || !data)
        return;
    TCxBufferLock lock(FSslSendBuffer);
    FSslSendBuffer->Write(data, len);
    FbSslAllSent = false;
}

void TCustomSslXSocket::TryToSend()
{
    if (SslPath()) {
        SslTryToSend();
        return;
    }
    SslTrace(" TryToSend ");
    TCustomSocksXSocket::TryToSend();
}

// Feeds the engine the plaintext of the SSL send buffer, block by block. A
// write that the engine takes only in part must be repeated with the same
// length (SslBioWritePendingBytes) once the pair has room again.
void TCustomSslXSocket::SslTryToSend()
{
    SslTrace(" SslTryToSend ");
    enum class TEnd { Stop, Finish, Retry };
    TEnd end = TEnd::Stop;
    {
        TCxBufferLock lock(FSslSendBuffer);
        if (HSocket() == INVALID_SOCKET || FSslSendBuffer->IsEmpty()) {
            FbSslAllSent = true;
            return;
        }
        for (;;) {
            const char* data = nullptr;
            const int pending = FSslSendBuffer->Peek(data);
            if (pending <= 0) {
                FbSslAllSent = true;
                end = TEnd::Finish;
                break;
            }
            if (FNetworkError > 0) {
                SetSslError(FNetworkError);
                TriggerEvent(sslFdClose, 0);
                break;
            }
            if (FCloseCalled) {
                TriggerEvent(sslFdClose, 0);
                break;
            }
            if (FSslShutdownState != sslShutdownNone) {
                SetSslError(WSAESHUTDOWN);
                if (!FSslBiShutdown)
                    TriggerEvent(sslFdClose, 0);
                break;
            }
            if (!SslOk() || ssleay::SSL_renegotiate_pending(FSsl) == 1) {
                FMaySslTryToSend = true;
                SetSslError(WSAEWOULDBLOCK);
                break;
            }
            // A write the engine holds is repeated with its length: the
            // block it came from is still whole.
            assert(FSslBioWritePendingBytes <= pending);
            const int length = FSslBioWritePendingBytes >= 0 ? FSslBioWritePendingBytes : pending;
            const int written = MyBIO_write(FSslbio, data, length);
            if (written == 0) {
                // The engine failed the write: the session cannot go on.
                FSslBioWritePendingBytes = -1;
                MyBIO_ctrl(FSslbio, BIO_CTRL_FLUSH, 0, nullptr);
                SetNetworkError(WSAECONNABORTED);
                TriggerEvent(sslFdClose, 0);
                break;
            }
            if (written < 0) {
                if (MyBIO_should_retry(FSslbio)) {
                    FSslBioWritePendingBytes = length;
                    if (State() == wsConnected)
                        end = TEnd::Retry;
                    else if (State() != wsClosed)
                        SetSslError(FNetworkError);
                } else {
                    LastOpenSslErr();
                    if (State() == wsConnected) {
                        SetSslError(WSAECONNABORTED);
                        TriggerEvent(sslFdClose, 0);
                    } else if (State() != wsClosed) {
                        SetSslError(FNetworkError);
                    }
                }
                break;
            }
            MyBIO_ctrl(FSslbio, BIO_CTRL_FLUSH, 0, nullptr);
            FSslBioWritePendingBytes = -1;
            FSslSendBuffer->Remove(written);
            if (written < pending) {
                end = TEnd::Finish;
                break;
            }
        }
    }
    if (end == TEnd::Stop)
        return;
    FMaySslTryToSend = true;
    TriggerEvents();
    if (end == TEnd::Retry)
        SetSslError(WSAEWOULDBLOCK);
}

// Moves the engine's ciphertext to the network. A rest that WinSock did not
// take waits in the plain send buffer, and what the engine makes afterwards
// stays in the pair until that rest has gone: ciphertext leaves in order.
// False when the session ended or the network failed.
bool TCustomSslXSocket::SendCiphertext()
{
    const TSessionGuard session(this);
    char buffer[kNetworkWriteSize];
    for (;;) {
        const int pending = MyBIO_ctrl_pending(FNbio);
        const int n =
            pending > 0 ? MyBIO_read(FNbio, buffer, std::min(pending, kNetworkWriteSize)) : 0;
        if (n < 1) {
            FMayFD_Write = true;
            return true;
        }
        int done = 0;
        while (done < n) {
            const int sent = MyRealSend(buffer + done, n - done);
            if (!session.Holds())
                return false;
            if (sent > 0) {
                done += sent;
                continue;
            }
            if (sent == 0) {
                if (State() == wsConnected)
                    TriggerEvent(sslFdClose, 0);
            } else {
                const int e = XSocket_WSAGetLastError();
                if (IsNetworkError(e)) {
                    SetNetworkError(e);
                    TriggerEvent(sslFdClose, 0);
                    SslTraceText(Identity() + " Winsock Error " + FormatWinsockError(e) + " " +
                                 lib::IntToStr(int(HSocket())));
                    return false;
                }
            }
            break;
        }
        if (done < n) {
            // WinSock takes no more now; its write notice brings the rest.
            TCustomSocksXSocket::PutDataInSendBuffer(buffer + done, n - done);
            FMayFD_Write = true;
            return true;
        }
    }
}

void TCustomSslXSocket::Do_FD_WRITE(WORD error)
{
    if (!SslPath()) {
        TCustomSocksXSocket::Do_FD_WRITE(error);
        return;
    }
    SslTrace(" TCustomSslXSocket.Do_FD_WRITE ");
    if (FNetworkError > 0)
        return;
    const TSessionGuard session(this);
    FMayFD_Write = false;
    const int queued = BufferedByteCount();
    TCustomSocksXSocket::TryToSend();
    if (!session.Holds())
        return;
    if (HSocket() == INVALID_SOCKET) {
        SslTraceText(Identity() + " INVALID_SOCKET");
        return;
    }
    if (!AllSent()) {
        SslTrace(" * Not bAllSent ");
        // WinSock took part of the rest without refusing: go on at once,
        // no write notice would come for it.
        if (BufferedByteCount() < queued && TriggerEvent(sslFdWrite, 0))
            return;
        FMayFD_Write = true;
        return;
    }
    if (!SendCiphertext())
        return;
    if (SslOk()) {
        if (!FbSslAllSent) {
            TryToSend();
            if (!session.Holds() || !FSsl)
                return;
        } else if (AllSent() && MyBIO_ctrl_pending(FNbio) == 0 && FSslDataSentPending) {
            FSslDataSentPending = false;
            TriggerDataSent(0);
            if (!session.Holds() || !FSsl)
                return;
        }
    }
    EndDataEvent();
}

// --- closing ---------------------------------------------------------------

void TCustomSslXSocket::Close()
{
    // The engine cannot be shut down from inside its own call.
    if (FInSslCallback) {
        CloseDelayed();
        return;
    }
    if (!FCloseCalled) {
        FCloseCalled = true;
        FSslBiShutdown = false;
        SslTrace(" *CloseCalled ");
    }
    // The application reads what was decrypted first; the close follows.
    if (SslPath() && FSsl && !IsDestroying() && SslOk() && MyBIO_ctrl_pending(FSslbio) > 0 &&
        CloseWaitsForReader())
        return;
    TCustomSocksXSocket::Close();
}

void TCustomSslXSocket::Do_FD_CLOSE(WORD error)
{
    if (!SslPath() || !FSsl) {
        TCustomSocksXSocket::Do_FD_CLOSE(error);
        return;
    }
    SslTraceText(Identity() + " TCustomSslXSocket.Do_FD_CLOSE error #" + lib::IntToStr(error) + " " +
                 lib::IntToStr(int(HSocket())));
    if (State() == wsConnecting || HSocket() == INVALID_SOCKET)
        return;
    const bool ok = SslOk();
    if (!FCloseCalled) {
        FCloseCalled = true;
        FPeerClosedFirst = FSslShutdownState == sslShutdownNone;
        SslTrace(" *CloseCalled ");
    }
    if (FNetworkError == 0) {
        if (ok && MyBIO_ctrl_pending(FSslbio) > 0 && CloseWaitsForReader()) {
            TriggerEvents();
            return;
        }
        // Data still on its way is read first; not for a reader that stopped.
        if (FCloseWait != 2) {
            u_long pending = 0;
            const int e = winsock::ioctlsocket(HSocket(), kFionRead, &pending) == SOCKET_ERROR
                              ? XSocket_WSAGetLastError()
                              : 0;
            SslTraceText(Identity() + " Socket data pending: " + lib::IntToStr(int(pending)) +
                         " Err: " + lib::IntToStr(e) + " " + lib::IntToStr(int(HSocket())));
            if (!IsNetworkError(e) && pending > 0) {
                // Once the peer's end is in, WinSock announces no more data:
                // this level reads it and comes back here afterwards.
                FCloseAfterRead = true;
                FMayFD_Read = true;
                if (TriggerEvent(sslFdRead, 0))
                    FMayFD_Read = false;
                return;
            }
        }
        // Only a failure of the network: a read that would have blocked is
        // no reason to skip the close notify.
        if (IsNetworkError(LastError))
            FNetworkError = LastError;
        if (ok && FSslShutdownState != sslShutdownCompleted) {
            FSslBiShutdown = false;
            SslInternalShutdown(1);
            return;
        }
    }
    if (error == 0)
        error = WORD(FNetworkError);
    // The peer ended the session with its close notify: a reset that follows
    // (its socket went before our answer reached it) is no failure.
    if (ssleay::SSL_get_shutdown(FSsl) & SSL_RECEIVED_SHUTDOWN)
        error = 0;
    const TSessionGuard session(this);
    if (!ok && !IsDestroying()) {
        TriggerSslHandshakeDone(1);
        if (!session.Holds())
            return;
        if (State() == wsConnected && FSslShutdownState != sslShutdownCompleted && error == 0)
            TCustomSocksXSocket::Shutdown(1);
    }
    // A handshake that did not complete, or a session the peer cut short
    // without its close notify, is no clean end.
    if (error == 0 && (!ok || (FPeerClosedFirst && !(ssleay::SSL_get_shutdown(FSsl) & SSL_RECEIVED_SHUTDOWN))))
        error = WSAECONNABORTED;
    SslTraceText(Identity() + " FCloseInvoked=" + Flag(FCloseInvoked) + " " +
                 lib::IntToStr(int(HSocket())));
    if (HSocket() != INVALID_SOCKET && !FCloseInvoked && !IsDestroying()) {
        FCloseInvoked = true;
        TriggerSessionClosed(error);
        if (!session.Holds())
            return;
    }
    SslEnable = false;
    ResetSslSession();
    if (State() != wsClosed)
        TCustomSocksXSocket::InternalClose(false, error);
}

void TCustomSslXSocket::InternalClose(bool shutdownFirst, WORD error)
{
    if (!SslPath() || !FSsl || HSocket() == INVALID_SOCKET) {
        TCustomSocksXSocket::InternalClose(shutdownFirst, error);
        return;
    }
    SslTrace(" SslInternalClose ");
    if (State() == wsClosed)
        return;
    if (!shutdownFirst) {
        TCustomSocksXSocket::InternalClose(false, error);
        return;
    }
    if (IsDestroying() || FSslShutdownState != sslShutdownNone) {
        if (FSslShutdownState == sslShutdownNone)
            TCustomSocksXSocket::Shutdown(1);
        TCustomSocksXSocket::InternalClose(false, error);
        return;
    }
    Shutdown(1);  // the SSL shutdown; the close follows when it completes
}

void TCustomSslXSocket::Shutdown(int how)
{
    if (HSocket() == INVALID_SOCKET)
        return;
    if (!SslEnable || !FSsl) {
        TCustomSocksXSocket::Shutdown(how);
        return;
    }
    SslTraceText(Identity() + " TCustomSslXSocket.ShutDown " + lib::IntToStr(how) + " " +
                 lib::IntToStr(int(HSocket())));
    FShutdownHow = how;
    FSslBiShutdown = false;
    SslInternalShutdown(how);
}

// Sends the close notify. The peer's is answered with ours, also when it
// came first, so that a peer waiting for the answer can complete its own.
void TCustomSslXSocket::SslInternalShutdown(int how)
{
    if (HSocket() == INVALID_SOCKET || !SslEnable || !FSsl || FSslPhase == sslPhaseShutDown)
        return;
    SslTrace(" SslInternalShutdown ");
    const TSessionGuard session(this);
    const auto waitForIt = [&] {
        if (!session.Holds())
            return;
        TriggerEvents();
        SetSslError(WSAEWOULDBLOCK);
    };
    if (FSslShutdownState != sslShutdownNone) {
        if (!SslShutdownCompleted(how))
            waitForIt();
        return;
    }
    FSslShutdownState = sslShutdownStarted;
    const int r = ssleay::SSL_shutdown(FSsl);
    if (r < 0) {
        const int e = ssleay::SSL_get_error(FSsl, r);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE || !SslShutdownCompleted(how))
            waitForIt();
        return;
    }
    if (r == 0) {
        FSslPhase = sslPhaseShuttingDown;
        ssleay::SSL_shutdown(FSsl);
    }
    if (!SslShutdownCompleted(how)) {
        FMayFD_Write = true;
        waitForIt();
    }
}

bool TCustomSslXSocket::SslShutdownCompleted(int how)
{
    if (SslEnable && FSsl) {
        if (FNetworkError == 0 && (FSslShutdownState == sslShutdownNone || !AllSent()))
            return false;
        const int both = SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN;
        if (FSslBiShutdown && FNetworkError == 0 && (ssleay::SSL_get_shutdown(FSsl) & both) != both)
            return false;
        DiscardPlaintext();
        const bool result = MyBIO_ctrl_pending(FNbio) == 0 || FNetworkError != 0;
        SslTraceText(Identity() + " SslShutdownCompleted *" + (result ? "True" : "False") + "* " +
                     lib::IntToStr(int(HSocket())));
        if (result && FSslShutdownState != sslShutdownCompleted) {
            FSslShutdownState = sslShutdownCompleted;
            FSslPhase = sslPhaseShutDown;
            const int networkError = FNetworkError;
            if (FSslBiShutdown) {
                // The connection goes on in the clear.
                SslEnable = false;
                ResetSslSession();
            }
            const TSessionGuard session(this);
            TriggerSslShutDownComplete(networkError);
            if (session.Holds() && !FSslBiShutdown) {
                TCustomSocksXSocket::Shutdown(FShutdownHow);
                TriggerEvent(sslFdClose, 0);
            }
        }
        return result;
    }
    if (FSslShutdownState != sslShutdownCompleted) {
        FSslBiShutdown = false;
        FSslShutdownState = sslShutdownCompleted;
        if (FSsl)
            ResetSslSession();
        const TSessionGuard session(this);
        TriggerSslShutDownComplete(FNetworkError);
        if (!session.Holds())
            return true;
    }
    if (State() != wsClosed) {
        TCustomSocksXSocket::Shutdown(how);
        TCustomSocksXSocket::InternalClose(false, 0);
    }
    return true;
}

}  // namespace calyx
