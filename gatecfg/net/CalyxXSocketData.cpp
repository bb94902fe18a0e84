// Socket component: the data path, the dispatch of WinSock notices, the three
// ways of closing, the event triggers and the error path.
#include <cstring>

#include "net/CalyxLibrary.h"
#include "net/CalyxXSocket.h"

namespace calyx {

namespace {

constexpr long kFionRead = 0x4004667F;


}  // namespace

std::string SelectEventNames(const TMessage& msg)
{
    static const struct {
        long Bit;
        const char* Name;
    } kEvents[] = {{FD_CONNECT, " FD_CONNECT"},
                   {FD_READ, " FD_READ"},
                   {FD_WRITE, " FD_WRITE"},
                   {FD_CLOSE, " FD_CLOSE"},
                   {FD_ACCEPT, " FD_ACCEPT"}};
    std::string text;
    for (const auto& e : kEvents)
        if (msg.LParam & e.Bit)
            text += e.Name;
    return text;
}

// --- dispatch --------------------------------------------------------------

void TCustomXSocket::WndProc(TMessage& msg)
{
    HandleGuarded([&] {
        if (msg.Msg == FMsg_WM_ASYNCSELECT) {
            WMASyncSelect(msg);
        } else if (msg.Msg == FMsg_WM_ASYNCGETHOSTBYNAME) {
            WMAsyncGetHostByName(msg);
        } else if (msg.Msg == FMsg_WM_ASYNCGETHOSTBYADDR) {
            WMAsyncGetHostByAddr(msg);
        } else if (msg.Msg == FMsg_WM_CLOSE_DELAYED) {
            if (unsigned(msg.WParam) == FSession)
                Close();
        } else if (msg.Msg == FMsg_WM_TEST_EXCEPTION) {
            throw ESocketException("Test exception in XSocket");
        } else {
            TCxWndControl::WndProc(msg);  // may free the component
        }
    });
}

void TCustomXSocket::WMASyncSelect(TMessage& msg)
{
    const SOCKET target = SOCKET(msg.WParam);
    if (target != FHSocket || FPaused)
        return;
    const WORD error = HIWORD(msg.LParam);
    const WORD events = LOWORD(msg.LParam);
    // A handler may end the session (or free the component) half-way: the
    // rest of the notice then belongs to a handle that is gone.
    const TSessionGuard session(this);
    struct {
        WORD Bit;
        void (TCustomXSocket::*Handler)(WORD);
    } const kOrder[] = {{FD_CONNECT, &TCustomXSocket::Do_FD_CONNECT},
                        {FD_READ, &TCustomXSocket::Do_FD_READ},
                        {FD_WRITE, &TCustomXSocket::Do_FD_WRITE},
                        {FD_ACCEPT, &TCustomXSocket::Do_FD_ACCEPT},
                        {FD_CLOSE, &TCustomXSocket::Do_FD_CLOSE}};
    for (const auto& step : kOrder) {
        if (!session.Holds())
            return;
        if (events & step.Bit)
            (this->*step.Handler)(error);
    }
}

void TCustomXSocket::Do_FD_CONNECT(WORD error)
{
    if (FState == wsConnected)
        return;
    const TSessionGuard session(this);
    ChangeState(wsConnected);
    if (!session.Holds())
        return;
    TriggerSessionConnectedSpecial(error);
    if (error != 0 && session.Holds() && FState != wsClosed)
        Close();
}

void TCustomXSocket::Do_FD_READ(WORD error)
{
    const TSessionGuard session(this);
    if (FState != wsConnected) {
        ChangeState(wsConnected);
        if (!session.Holds())
            return;
        TriggerSessionConnectedSpecial(error);
        if (!session.Holds())
            return;
    }
    ASyncReceive(error, ComponentOptions);
}

void TCustomXSocket::Do_FD_WRITE(WORD error)
{
    const TSessionGuard session(this);
    TryToSend();
    if (session.Holds() && FbAllSent)
        TriggerDataSent(error);
}

void TCustomXSocket::Do_FD_ACCEPT(WORD error)
{
    TriggerSessionAvailable(error);
}

void TCustomXSocket::Do_FD_CLOSE(WORD error)
{
    if (FState == wsConnecting || FHSocket == INVALID_SOCKET)
        return;
    const TSessionGuard session(this);
    ASyncReceive(0, ComponentOptions.Without(wsoNoReceiveLoop));
    if (!session.Holds())
        return;  // closed from the data handler, which reported it
    if (!FCloseInvoked) {
        FCloseInvoked = true;
        TriggerSessionClosed(error);
        if (!session.Holds())
            return;
    }
    if (FState != wsClosed)
        Close();
}

void TCustomXSocket::ASyncReceive(WORD error, TXSocketOptions options)
{
    // An exception of a pass ends the loop and goes on to the dispatcher.
    const TSessionGuard session(this);
    for (;;) {
        LastError = 0;
        const unsigned before = FReceiveCalls;
        const bool assigned = TriggerDataAvailable(error);
        if (!session.Holds())
            return;
        if (!assigned) {
            char scratch[4];
            if (DoRecv(scratch, sizeof scratch, 0) < 0) {
                const int e = XSocket_WSAGetLastError();
                LastError = e == WSAEWOULDBLOCK ? 0 : e;
                return;
            }
        } else if (FReceiveCalls == before) {
            // The handler left the data where it is: asking again would only
            // spin; WinSock notifies anew once it is read.
            return;
        }
        if (options.Contains(wsoNoReceiveLoop))
            return;
        if (LastError != 0) {
            if (LastError == -1)
                LastError = 0;
            return;
        }
        u_long pending = 0;
        if (winsock::ioctlsocket(FHSocket, kFionRead, &pending) == SOCKET_ERROR) {
            LastError = XSocket_WSAGetLastError();
            return;
        }
        if (pending == 0)
            return;
    }
}

// --- sending ---------------------------------------------------------------

int TCustomXSocket::Send(const void* data, int len)
{
    if (FState != wsConnected && FState != wsSocksConnected) {
        XSocket_WSASetLastError(WSAENOTCONN);
        SocketError("Send");
        return -1;
    }
    FbAllSent = false;
    if (len > 0)
        PutDataInSendBuffer(data, len);
    else
        len = 0;
    if (FbAllSent)
        return len;
    const TSessionGuard session(this);
    TryToSend();
    if (session.Holds() && FbAllSent && FHSocket != INVALID_SOCKET)
        lib::PostMessageA(Handle(), FMsg_WM_ASYNCSELECT, WPARAM(FHSocket), MAKELONG(FD_WRITE, 0));
    return len;
}

int TCustomXSocket::SendStr(const std::string& text)
{
    if (text.empty())
        return 0;
    return Send(text.data(), int(text.size()));
}

int TCustomXSocket::SendByte(BYTE value)
{
    return Send(&value, 1);
}

void TCustomXSocket::PutDataInSendBuffer(const void* data, int len)
{
    if (len <= 0 || !data)
        return;
    TCxBufferLock lock(FBufHandler);
    FBufHandler->Write(data, len);
    FBufferedByteCount += len;
    FbAllSent = false;
}

int TCustomXSocket::PutStringInSendBuffer(const std::string& text)
{
    PutDataInSendBuffer(text.data(), int(text.size()));
    return int(text.size());
}

void TCustomXSocket::DeleteBufferedData()
{
    TCxBufferLock lock(FBufHandler);
    FBufHandler->DeleteAll();
    FBufferedByteCount = 0;
}

int TCustomXSocket::NetworkSend(const char* data, int len)
{
    const int result =
        FType == SOCK_DGRAM
            ? winsock::sendto(FHSocket, data, len, FSendFlags,
                              reinterpret_cast<const sockaddr*>(&FSin), sizeof FSin)
            : winsock::send(FHSocket, data, len, FSendFlags);
    if (result > 0) {
        FWriteCount += uint64_t(result);
        if (FCounter)
            FCounter->LastSendTick = lib::GetTickCount();
    }
    return result;
}

int TCustomXSocket::RealSend(const char* data, int len)
{
    const int result = NetworkSend(data, len);
    if (result > 0)
        TriggerSendData(result);
    return result;
}

// Offers the chain to WinSock block by block. The bytes that went out leave
// the chain before OnSendData runs, so that a handler that sends queues
// behind them; the lock is not held while the handler runs.
void TCustomXSocket::TryToSend()
{
    const TSessionGuard session(this);
    for (;;) {
        int offered = 0;
        int sent = 0;
        int error = 0;
        {
            TCxBufferLock lock(FBufHandler);
            const char* data = nullptr;
            if (FHSocket != INVALID_SOCKET)
                offered = FBufHandler->Peek(data);
            if (offered <= 0) {
                FbAllSent = true;
                return;
            }
            sent = NetworkSend(data, offered);
            if (sent > 0) {
                FBufferedByteCount = sent < FBufferedByteCount ? FBufferedByteCount - sent : 0;
                FBufHandler->Remove(sent);
            } else if (sent < 0) {
                error = XSocket_WSAGetLastError();
            }
        }
        if (sent == 0)
            return;
        if (sent < 0) {
            SendFailed(error);
            return;
        }
        TriggerSendData(sent);
        if (!session.Holds() || sent < offered)
            return;  // the rest waits for FD_WRITE
    }
}

void TCustomXSocket::SendFailed(int error)
{
    switch (error) {
    case WSAEWOULDBLOCK:
        return;  // FD_WRITE resumes sending
    case WSAEINVAL:
    case WSAENOTSOCK:
    case WSAECONNABORTED:
    case WSAECONNRESET:
    case WSAENOTCONN:
        if (CheckLogOptions(loWsockErr))
            DebugLog(loWsockErr, Name() + " Winsock Send failed - " + FormatWinsockError(error));
        {
            // A close that completes later (under SSL) may meet a second
            // failure first: the session's close is reported once.
            const bool notify = !FCloseInvoked;
            FCloseInvoked = true;
            const TCxLifeGuard life(this);
            Close();
            if (notify && life.InService())
                TriggerSessionClosed(WORD(error));
        }
        return;
    default:
        XSocket_WSASetLastError(error);
        SocketError("TryToSend failed");
    }
}

int TCustomXSocket::SendTo(const sockaddr_in& dest, int destLen, const void* data, int len)
{
    const int result = winsock::sendto(FHSocket, static_cast<const char*>(data), len, FSendFlags,
                                       reinterpret_cast<const sockaddr*>(&dest), destLen);
    if (result > 0) {
        FWriteCount += uint64_t(result);
        if (FType == SOCK_DGRAM && FBufHandler->IsEmpty())
            lib::PostMessageA(Handle(), FMsg_WM_ASYNCSELECT, WPARAM(FHSocket),
                              MAKELONG(FD_WRITE, 0));
        TriggerSendData(result);
    }
    return result;
}

void TCustomXSocket::Flush()
{
    const TSessionGuard session(this);
    while (session.Holds() && FHSocket != INVALID_SOCKET && !FBufHandler->IsEmpty()) {
        TryToSend();
        if (!session.Holds())
            return;
        MessagePump();
    }
}

// --- receiving -------------------------------------------------------------

int TCustomXSocket::DoRecv(void* buffer, int len, int flags)
{
    const int result = XSocket_recv(FHSocket, static_cast<char*>(buffer), len, flags);
    if (result > 0 && FCounter)
        FCounter->LastRecvTick = lib::GetTickCount();
    return result;
}

int TCustomXSocket::Receive(void* buffer, int len)
{
    ++FReceiveCalls;
    const int result = DoRecv(buffer, len, 0);
    if (result < 0)
        LastError = XSocket_WSAGetLastError();
    else
        FReadCount += uint64_t(result);
    return result;
}

std::string TCustomXSocket::ReceiveStr()
{
    return ReceiveRawStr();
}

std::string TCustomXSocket::ReceiveRawStr()
{
    int size = GetRcvdCount();
    if (size < 0)
        return std::string();
    if (size == 0)
        size = 255;
    std::string text(size_t(size), '\0');
    const int got = Receive(&text[0], size);
    text.resize(got > 0 ? size_t(got) : 0);
    return text;
}

int TCustomXSocket::GetRcvdCount()
{
    if (ComponentState() & rtl::csDesigning)
        return -1;
    u_long pending = 0;
    if (winsock::ioctlsocket(FHSocket, kFionRead, &pending) == SOCKET_ERROR) {
        SocketError("ioctlSocket");
        return -1;
    }
    return int(pending);
}

int TCustomXSocket::DoRecvFrom(void* buffer, int len, int flags, sockaddr_in& from, int& fromLen)
{
    return winsock::recvfrom(FHSocket, static_cast<char*>(buffer), len, flags,
                             reinterpret_cast<sockaddr*>(&from), &fromLen);
}

int TCustomXSocket::ReceiveFrom(void* buffer, int len, sockaddr_in& from, int& fromLen)
{
    ++FReceiveCalls;
    const int result = DoRecvFrom(buffer, len, 0, from, fromLen);
    if (result < 0)
        LastError = XSocket_WSAGetLastError();
    else
        FReadCount += uint64_t(result);
    return result;
}

// Pending bytes belong to the handler: the close is seen with a peek, which
// takes nothing. A handler that left the bytes where they are is not asked
// again until more arrive.
void TCustomXSocket::WaitForClose()
{
    const TSessionGuard session(this);
    u_long stalledAt = 0;
    while (session.Holds() && FHSocket != INVALID_SOCKET && FState != wsClosed) {
        MessagePump();
        u_long pending = 0;
        if (!session.Holds() ||
            winsock::ioctlsocket(FHSocket, kFionRead, &pending) == SOCKET_ERROR)
            break;
        if (pending > 0 && pending != stalledAt) {
            const unsigned before = FReceiveCalls;
            TriggerDataAvailable(0);
            if (!session.Holds())
                break;
            stalledAt = FReceiveCalls == before ? pending : 0;
        }
        char scratch;
        const int peeked = XSocket_recv(FHSocket, &scratch, 1, MSG_PEEK);
        if (peeked == 0 || (peeked < 0 && XSocket_WSAGetLastError() != WSAEWOULDBLOCK))
            break;  // the peer's end, or a failure
        MessagePump();
    }
}

// --- closing ---------------------------------------------------------------

// Queued notices name the handle that was just closed; the next socket may
// get the same handle value, so none of them may be handled any more. A
// delayed close was asked for that session only.
void TCustomXSocket::PurgeQueuedNotices()
{
    if (!HandleAllocated())
        return;
    for (const UINT id : {FMsg_WM_ASYNCSELECT, FMsg_WM_CLOSE_DELAYED}) {
        MSG queued;
        while (id != 0 && PeekMessageA(&queued, Handle(), id, id, PM_REMOVE)) {
        }
    }
}

void TCustomXSocket::Close()
{
    InternalClose(true, 0);
}

// The notice names the session it was asked for: a session that has ended
// meanwhile takes the next one's close with it otherwise.
BOOL TCustomXSocket::CloseDelayed()
{
    return lib::PostMessageA(Handle(), FMsg_WM_CLOSE_DELAYED, WPARAM(FSession), 0);
}

void TCustomXSocket::Abort()
{
    InternalAbort(0);
}

void TCustomXSocket::AbortOnBgException()
{
    Abort();
}

void TCustomXSocket::InternalAbort(WORD error)
{
    // The lookup's and the linger option's reports run handlers too.
    const TCxLifeGuard life(this);
    CancelDnsLookup();
    if (!life.InService())
        return;
    DeleteBufferedData();
    if (FState == wsConnected && FProto == IPPROTO_TCP) {
        LingerOnOff = wsLingerOff;
        ApplyLinger();
        if (!life.InService())
            return;
    }
    InternalClose(false, error);
}

void TCustomXSocket::InternalClose(bool shutdownFirst, WORD error)
{
    if (FHSocket == INVALID_SOCKET) {
        if (FState != wsClosed) {
            const TSessionGuard closed(this);
            ChangeState(wsClosed);
            if (closed.Holds())
                AssignDefaultValue();
        }
        return;
    }
    if (FState == wsClosed)
        return;
    if (shutdownFirst)
        Shutdown(1);
    KeepUnsentDataAtClose();
    // Notices stop before the handle goes, so none can follow the purge.
    winsock::WSAAsyncSelect(FHSocket, Handle(), 0, 0);
    const TCxLifeGuard life(this);
    for (;;) {
        if (winsock::closesocket(FHSocket) == 0)
            break;
        const int e = XSocket_WSAGetLastError();
        if (e == WSAEWOULDBLOCK) {
            MessagePump();
            if (!life.InService())
                return;  // freed meanwhile, which closed it
            continue;
        }
        LastError = e;
        if (e == WSANOTINITIALISED)
            break;
        LoseHandle();
        SocketError("Disconnect (closesocket)");
        return;
    }
    LoseHandle();
    // The events may open the next session, which the reset must not wipe.
    const TSessionGuard closed(this);
    const bool notify = !IsDestroying() && !FCloseInvoked;
    FCloseInvoked = true;
    ChangeState(wsClosed);
    if (notify && closed.Alive())
        TriggerSessionClosed(error);
    if (!closed.Holds())
        return;
    try {
        AssignDefaultValue();
    } catch (...) {
    }
}

// --- errors ----------------------------------------------------------------

void TCustomXSocket::RaiseException(const std::string& text)
{
    if (OnError.Assigned())
        TriggerError();
    else
        throw ESocketException(text);
}

void TCustomXSocket::SocketError(const std::string& context)
{
    const int error = XSocket_WSAGetLastError();
    if (error == WSAECONNRESET || error == WSAENOTCONN) {
        if (FHSocket != INVALID_SOCKET) {
            winsock::closesocket(FHSocket);
            LoseHandle();
        }
        const TSessionGuard closed(this);
        if (FState != wsClosed && !FCloseInvoked) {
            FCloseInvoked = true;
            TriggerSessionClosed(WORD(error));
        }
        if (closed.Holds())
            ChangeState(wsClosed);
        if (!closed.Alive())
            return;  // freed by the handler: nobody is left to tell
    }
    ReportSocketError(error, context);
}

void TCustomXSocket::ReportSocketError(int error, const std::string& context)
{
    LastError = error;
    RaiseException(XSocketErrorDesc(error) + " (#" + lib::IntToStr(error) + " in " + context + ")");
}

// --- triggers --------------------------------------------------------------

bool TCustomXSocket::TriggerDataAvailable(WORD error)
{
    if (!OnDataAvailable.Assigned())
        return false;
    OnDataAvailable(this, error);
    return true;
}

void TCustomXSocket::TriggerSessionAvailable(WORD error)
{
    if (OnSessionAvailable.Assigned())
        OnSessionAvailable(this, error);
}

void TCustomXSocket::TriggerSessionConnectedSpecial(WORD error)
{
    if (FType == SOCK_STREAM && error == 0 && FCounter)
        FCounter->SetConnected();
    TriggerSessionConnected(error);
}

void TCustomXSocket::TriggerSessionConnected(WORD error)
{
    FReadCount = 0;
    FWriteCount = 0;
    if (OnSessionConnected.Assigned())
        OnSessionConnected(this, error);
}

void TCustomXSocket::TriggerSessionClosed(WORD error)
{
    if (OnSessionClosed.Assigned())
        OnSessionClosed(this, error);
}

void TCustomXSocket::TriggerSendData(int count)
{
    if (OnSendData.Assigned())
        OnSendData(this, count);
}

void TCustomXSocket::TriggerDataSent(WORD error)
{
    if (CheckLogOptions(loWsockDump))
        DebugLog(loWsockDump, lib::IntToHex(uint32_t(reinterpret_cast<uintptr_t>(this)), 8) +
                                  " TriggerDataSent " + lib::IntToStr(int(FHSocket)));
    if (OnDataSent.Assigned())
        OnDataSent(this, error);
}

void TCustomXSocket::TriggerChangeState(TSocketState oldState, TSocketState newState)
{
    if (OnChangeState.Assigned())
        OnChangeState(this, oldState, newState);
}

void TCustomXSocket::TriggerDnsLookupDone(WORD error)
{
    if (OnDnsLookupDone.Assigned())
        OnDnsLookupDone(this, error);
}

void TCustomXSocket::TriggerError()
{
    if (OnError.Assigned())
        OnError(this);
}

void TCustomXSocket::DupConnected()
{
    if (FCounter)
        FCounter->SetConnected();
    FReadCount = 0;
    FWriteCount = 0;
    ChangeState(wsConnected);
}

}  // namespace calyx
