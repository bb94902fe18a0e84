#pragma once
// The asynchronous socket component: one WinSock handle driven in non-blocking
// mode through WSAAsyncSelect notices that arrive at the component's hidden
// window. Addressing is kept as text and resolved at Connect or Listen; every
// close resets it, so Addr and Port are set again before the next use.
//
// Failures of an operation fire OnError when it is assigned and raise
// ESocketException otherwise; exceptions escaping an event handler that runs
// from the hidden window go to OnBgException and, left unhandled, abort the
// connection. Any handler may close the session, open the next one or free
// the component: what raised the event goes no further with what it ended.
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "net/CalyxLogger.h"
#include "net/CalyxLoggerLink.h"
#include "net/CalyxWinSock.h"
#include "net/CalyxWndControl.h"
#include "net/CalyxXSockBuf.h"
#include "rtl/Event.h"
#include "rtl/SysUtils.h"

namespace calyx {

enum TSocketState : uint8_t {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsSocksConnected,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed,
};

enum TSocketSendFlags : uint8_t { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff : uint8_t { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TSocketKeepAliveOnOff : uint8_t { wsKeepAliveOff, wsKeepAliveOnCustom, wsKeepAliveOnSystem };
enum TXSocketOption : uint8_t { wsoNoReceiveLoop, wsoTcpNoDelay, wsoSIO_RCVALL };

// A set of TXSocketOption, bit n for option n.
class TXSocketOptions {
public:
    constexpr TXSocketOptions() = default;
    constexpr TXSocketOptions(std::initializer_list<TXSocketOption> options)
    {
        for (TXSocketOption o : options)
            Bits |= uint8_t(1u << o);
    }
    constexpr bool Contains(TXSocketOption o) const { return (Bits & (1u << o)) != 0; }
    constexpr TXSocketOptions Without(TXSocketOption o) const
    {
        TXSocketOptions r = *this;
        r.Bits &= uint8_t(~(1u << o));
        return r;
    }
    constexpr bool operator==(const TXSocketOptions& other) const { return Bits == other.Bits; }

    uint8_t Bits = 0;
};

const char* SocketStateName(TSocketState state);

// Event types; the sender comes first.
using TNotifyEvent = rtl::TEvent<rtl::TObject*>;
using TSessionAvailable = rtl::TEvent<rtl::TObject*, WORD>;
using TSessionConnected = rtl::TEvent<rtl::TObject*, WORD>;
using TSessionClosed = rtl::TEvent<rtl::TObject*, WORD>;
using TDataAvailable = rtl::TEvent<rtl::TObject*, WORD>;
using TDataSent = rtl::TEvent<rtl::TObject*, WORD>;
using TDnsLookupDone = rtl::TEvent<rtl::TObject*, WORD>;
using TSendData = rtl::TEvent<rtl::TObject*, int>;
using TChangeState = rtl::TEvent<rtl::TObject*, TSocketState, TSocketState>;

// Tick counts of a connection, kept only when asked for (CreateCounter).
class TXSocketCounter : public rtl::TObject {
public:
    virtual void SetConnected();

    rtl::TDateTime ConnectDT = 0;
    DWORD ConnectTick = 0;
    DWORD LastRecvTick = 0;
    DWORD LastSendTick = 0;
};
using TXSocketCounterClass = TXSocketCounter* (*)();

class TCustomXSocket : public TCxWndControl {
public:
    explicit TCustomXSocket(rtl::TComponent* owner);

    // --- addressing (text, resolved at Connect or Listen) ---
    const std::string& Addr() const noexcept { return FAddrStr; }
    void SetAddr(const std::string& value);
    const std::string& Port() const noexcept { return FPortStr; }
    virtual void SetPort(const std::string& value);
    const std::string& Proto() const noexcept { return FProtoStr; }
    virtual void SetProto(const std::string& value);
    const std::string& LocalAddr() const noexcept { return FLocalAddr; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const noexcept { return FLocalPortStr; }
    void SetLocalPort(const std::string& value);

    TSocketSendFlags SendFlags();
    void SetSendFlags(TSocketSendFlags value);
    int LingerTimeout() const noexcept { return FLingerTimeout; }
    // WinSock keeps the time-out in 16 bits: other values are refused.
    void SetLingerTimeout(int value);
    BYTE ReqVerLow() const { return WinsockReqVerLow(); }
    void SetReqVerLow(BYTE value);
    BYTE ReqVerHigh() const { return WinsockReqVerHigh(); }
    void SetReqVerHigh(BYTE value);

    TSocketState State() const noexcept { return FState; }
    SOCKET HSocket() const noexcept { return FHSocket; }
    bool AllSent() const noexcept { return FbAllSent; }
    bool Paused() const noexcept { return FPaused; }
    int BufferedByteCount() const noexcept { return FBufferedByteCount; }
    uint64_t ReadCount() const noexcept { return FReadCount; }
    uint64_t WriteCount() const noexcept { return FWriteCount; }
    int SocketSndBufSize() const noexcept { return FSocketSndBufSize; }
    int SocketRcvBufSize() const noexcept { return FSocketRcvBufSize; }
    TXSocketCounter* Counter() const noexcept { return FCounter; }
    TXSocketCounterClass CounterClass = nullptr;
    const std::string& DnsResult() const noexcept { return FDnsResult; }
    const std::vector<std::string>& DnsResultList() const noexcept { return FDnsResultList; }
    bool DnsLookupPending() const noexcept { return FDnsLookupHandle != nullptr; }

    // The six message ids of the component.
    UINT MsgAsyncSelect() const noexcept { return FMsg_WM_ASYNCSELECT; }
    UINT MsgGetHostByName() const noexcept { return FMsg_WM_ASYNCGETHOSTBYNAME; }
    UINT MsgGetHostByAddr() const noexcept { return FMsg_WM_ASYNCGETHOSTBYADDR; }
    UINT MsgCloseDelayed() const noexcept { return FMsg_WM_CLOSE_DELAYED; }
    UINT MsgTestException() const noexcept { return FMsg_WM_TEST_EXCEPTION; }
    // Left to the line layer, which re-offers buffered data through it.
    UINT MsgDataRetrigger() const noexcept { return FMsg_WM_TRIGGER_DATA_AVAILABLE; }

    TCxLogger* CxLogger() const noexcept { return FLoggerLink.Get(); }
    virtual void SetCxLogger(TCxLogger* logger);
    virtual void DebugLog(TLogOption option, const std::string& text);
    virtual bool CheckLogOptions(TLogOption option);

    // --- published fields ---
    int LastError = 0;
    TSocketLingerOnOff LingerOnOff = wsLingerOn;
    TSocketKeepAliveOnOff KeepAliveOnOff = wsKeepAliveOff;
    DWORD KeepAliveTime = 0;
    DWORD KeepAliveInterval = 0;
    int ListenBacklog = 5;
    bool ReuseAddr = false;
    TXSocketOptions ComponentOptions;
    int FlushTimeout = 60;
    bool MultiCast = false;
    std::string MultiCastAddrStr;
    int MultiCastIpTTL = 1;

    TSessionAvailable OnSessionAvailable;
    TSessionConnected OnSessionConnected;
    TSessionClosed OnSessionClosed;
    TChangeState OnChangeState;
    TDataAvailable OnDataAvailable;
    TDataSent OnDataSent;
    TSendData OnSendData;
    TDnsLookupDone OnDnsLookupDone;
    TNotifyEvent OnError;

    // --- opening ---
    virtual void Connect();
    virtual void Listen();
    virtual SOCKET Accept();
    virtual void Dup(SOCKET newHSocket);
    virtual int Pause();
    virtual int Resume();
    virtual void Shutdown(int how);

    // --- closing ---
    virtual void Close();
    virtual BOOL CloseDelayed();
    virtual void Abort();
    virtual void Flush();
    virtual void WaitForClose();

    // --- data ---
    virtual int Send(const void* data, int len);
    virtual int SendStr(const std::string& text);
    virtual int SendByte(BYTE value);
    virtual int SendTo(const sockaddr_in& dest, int destLen, const void* data, int len);
    virtual int Receive(void* buffer, int len);
    virtual std::string ReceiveStr();
    virtual std::string ReceiveRawStr();
    virtual int ReceiveFrom(void* buffer, int len, sockaddr_in& from, int& fromLen);
    virtual int GetRcvdCount();
    virtual void PutDataInSendBuffer(const void* data, int len);
    int PutStringInSendBuffer(const std::string& text);
    void DeleteBufferedData();
    virtual void SetBufSize(int size);
    virtual int GetBufSize();
    virtual void SetSocketRcvBufSize(int size);
    virtual void SetSocketSndBufSize(int size);

    // --- lookups ---
    virtual void DnsLookup(const std::string& hostName);
    virtual void ReverseDnsLookup(const std::string& hostAddr);
    virtual void ReverseDnsLookupSync(const std::string& hostAddr);
    virtual void CancelDnsLookup();

    // --- queries ---
    virtual std::string GetPeerAddr();
    virtual std::string GetPeerPort();
    virtual int GetPeerName(sockaddr_in& name, int len);
    virtual std::string GetXPort();
    virtual std::string GetXAddr();
    virtual int GetSockName(sockaddr_in& name, int& len);

    static bool TimerIsSet(const timeval& tv) { return tv.tv_sec != 0 || tv.tv_usec != 0; }
    static void TimerClear(timeval& tv) { tv.tv_sec = tv.tv_usec = 0; }
    static bool TimerCmp(const timeval& a, const timeval& b, bool equal)
    {
        const bool same = a.tv_sec == b.tv_sec && a.tv_usec == b.tv_usec;
        return equal ? same : !same;
    }

    virtual void CreateCounter();

    void AfterConstruction() override;
    void BeforeDestruction() override;
    void WndProc(TMessage& msg) override;
    int MsgHandlersCount() override;
    void AllocateMsgHandlers() override;
    void FreeMsgHandlers() override;
    void AbortOnBgException() override;
    void ThreadAttach() override;
    void ThreadDetach() override;
    void MessageDiscarded(const TMessage& msg) override;

protected:
    ~TCustomXSocket() override;
    void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

    virtual void AllocateSocketHWnd();
    virtual void DeallocateSocketHWnd();
    virtual void TryToSend();
    virtual void AssignDefaultValue();
    virtual void InternalClose(bool shutdownFirst, WORD error);
    virtual void InternalAbort(WORD error);
    // False when the bind failed (and was reported).
    virtual bool BindSocket();
    // The send call itself (send, or sendto for a datagram socket), counted,
    // without the event; RealSend adds OnSendData.
    virtual int NetworkSend(const char* data, int len);
    virtual int RealSend(const char* data, int len);
    virtual void RaiseException(const std::string& text);
    virtual bool TriggerDataAvailable(WORD error);
    virtual void TriggerSessionAvailable(WORD error);
    virtual void TriggerSessionConnectedSpecial(WORD error);
    virtual void TriggerSessionConnected(WORD error);
    virtual void TriggerSessionClosed(WORD error);
    virtual void TriggerDataSent(WORD error);
    void TriggerSendData(int count);
    virtual void TriggerChangeState(TSocketState oldState, TSocketState newState);
    virtual void TriggerDnsLookupDone(WORD error);
    virtual void TriggerError();
    virtual int DoRecv(void* buffer, int len, int flags);
    virtual int DoRecvFrom(void* buffer, int len, int flags, sockaddr_in& from, int& fromLen);
    virtual void Do_FD_CONNECT(WORD error);
    virtual void Do_FD_READ(WORD error);
    virtual void Do_FD_WRITE(WORD error);
    virtual void Do_FD_ACCEPT(WORD error);
    virtual void Do_FD_CLOSE(WORD error);
    virtual void DupConnected();

    // A handler may free the component, or end the session in hand and even
    // open the next one, before the code that raised its event goes on: such
    // code asks Alive() or Holds() first. Every handle taken or let go starts
    // a new session number.
    class TSessionGuard {
    public:
        explicit TSessionGuard(TCustomXSocket* socket) noexcept
            : FLife(socket), FSocket(socket), FSession(socket->FSession)
        {
        }
        bool Alive() const noexcept { return FLife.InService(); }
        bool Holds() const noexcept { return Alive() && FSocket->FSession == FSession; }

    private:
        TCxLifeGuard FLife;
        const TCustomXSocket* FSocket;
        unsigned FSession;
    };

    // Drops the queued messages that belong to the session whose handle just
    // went (notices, a delayed close): the next session may get the same
    // handle value. Layers with messages of their own add theirs.
    virtual void PurgeQueuedNotices();
    // Changes with every handle taken or let go.
    unsigned SessionNumber() const noexcept { return FSession; }
    // The notices asked of WinSock while not paused.
    long SelectEvent() const noexcept { return FSelectEvent; }

    void ChangeState(TSocketState newState);
    void SocketError(const std::string& context);
    // The error text and report of SocketError, closing nothing.
    void ReportSocketError(int error, const std::string& context);
    void ASyncReceive(WORD error, TXSocketOptions options);
    void WMASyncSelect(TMessage& msg);
    void WMAsyncGetHostByName(TMessage& msg);
    void WMAsyncGetHostByAddr(TMessage& msg);

    // Resolution of the remote side, shared with the layers above.
    void ResolveProto();
    u_short ResolvePort(const std::string& port);
    void ResolveRemotePort();
    void ResolveRemoteAddr();
    void ResolveLocalPort();

    // Each gives the context of the call that failed, or none.
    const char* SetNoDelayOption();
    const char* SetLingerOption();
    const char* SetKeepAliveOption();
    // No-delay when asked for, linger and keep-alive, as Connect and Dup set them.
    const char* SetStreamOptions();
    // The linger option, failures reported.
    void ApplyLinger();
    // Lets the handle's close finish sending in the background.
    void KeepUnsentDataAtClose();
    // The context of the read that failed, or none.
    const char* ReadSocketBufSizes();

    bool FCloseInvoked = false;
    int FProto = IPPROTO_TCP;
    int FType = SOCK_STREAM;
    sockaddr_in FSin = {};
    bool FAddrResolved = false;
    bool FPortResolved = false;
    bool FProtoResolved = false;
    u_short FPortNum = 0;

private:
    bool OpenSocketHandle(const char* failure);
    void TakeHandle(SOCKET handle);
    // Forgets the handle (closed, or never to be used again) and drops the
    // notices that name it.
    void LoseHandle();
    void CloseHandle();
    void SendFailed(int error);
    void ReadHostEntry(const hostent* entry, bool names);
    void ForgetDnsLookup(bool keepArea);
    void RefuseLookup(const std::string& text);
    void BeginDnsLookup();

    std::string FDnsResult;
    std::vector<std::string> FDnsResultList;
    int FSendFlags = 0;
    // Each asynchronous lookup writes its own area, which must outlive the
    // request even when it is cancelled (the lookup may still write it).
    char* FDnsArea = nullptr;
    HANDLE FDnsLookupHandle = nullptr;
    bool FDnsEarly = false;
    TMessage FDnsEarlyMsg = {};
    TXSocketCounter* FCounter = nullptr;
    SOCKET FHSocket = INVALID_SOCKET;
    unsigned FSession = 0;
    SOCKET FASocket = INVALID_SOCKET;
    UINT FMsg_WM_ASYNCSELECT = 0;
    UINT FMsg_WM_ASYNCGETHOSTBYNAME = 0;
    UINT FMsg_WM_ASYNCGETHOSTBYADDR = 0;
    UINT FMsg_WM_CLOSE_DELAYED = 0;
    UINT FMsg_WM_TEST_EXCEPTION = 0;
    UINT FMsg_WM_TRIGGER_DATA_AVAILABLE = 0;
    std::string FAddrStr;
    int FAddrFormat = AF_INET;
    bool FAddrAssigned = false;
    bool FProtoAssigned = true;
    bool FLocalPortResolved = false;
    std::string FProtoStr = "tcp";
    std::string FPortStr;
    bool FPortAssigned = false;
    std::string FLocalPortStr = "0";
    u_short FLocalPortNum = 0;
    std::string FLocalAddr = "0.0.0.0";
    TCxBufferHandler* FBufHandler = nullptr;
    int FLingerTimeout = 0;
    bool FbAllSent = true;
    uint64_t FReadCount = 0;
    uint64_t FWriteCount = 0;
    bool FPaused = false;
    int FBufferedByteCount = 0;
    TSocketState FState = wsClosed;
    long FSelectEvent = 0;
    int FSocketSndBufSize = 0;
    int FSocketRcvBufSize = 0;
    TCxLoggerLink FLoggerLink{*this};
    // Counts reads by the application, so that a pass that read nothing ends
    // the receive loop.
    unsigned FReceiveCalls = 0;
};

// Number of lookup areas still held for cancelled requests whose reply has
// not come back yet.
int CxOrphanLookupCount();

// " FD_CONNECT FD_READ ..." for the event bits of an async-select message.
std::string SelectEventNames(const TMessage& msg);

// The socket type of a protocol number: stream for TCP, datagram for UDP,
// raw for anything else.
int SocketTypeOfProto(int proto);

// Resolution of host, port and protocol text; failures raise ESocketException.
u_long XSocketResolveHost(const std::string& host);
u_short XSocketResolvePort(const std::string& port, const std::string& proto);
int XSocketResolveProto(const std::string& proto);

}  // namespace calyx
