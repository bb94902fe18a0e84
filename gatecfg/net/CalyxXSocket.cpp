// Socket component: construction, addressing, resolution and the operations
// that open a socket (Connect, Listen, Accept, Dup) with their options.
#include "net/CalyxXSocket.h"

#include <cassert>
#include <cstring>

#include "net/CalyxLibrary.h"
#include "net/CalyxUtils.h"

namespace calyx {

namespace {

constexpr int kSolSocket = 0xFFFF;
constexpr int kSoReuseAddr = 4;
constexpr int kSoKeepAlive = 8;
constexpr int kSoBroadcast = 32;
constexpr int kSoLinger = 128;
constexpr int kSoSndBuf = 0x1001;
constexpr int kSoRcvBuf = 0x1002;
constexpr int kIpMulticastIf = 2;
constexpr int kIpMulticastTtl = 3;
constexpr int kIpAddMembership = 5;
constexpr int kTcpNoDelay = 1;
constexpr DWORD kSioRcvAll = 0x98000001;
constexpr DWORD kSioKeepAliveVals = 0x98000004;

TXSocketCounter* NewXSocketCounter()
{
    return new TXSocketCounter();
}

std::string AddrText(u_long addr)
{
    in_addr a;
    a.s_addr = addr;
    return XSocket_inet_ntoa(a);
}

// Turns on one of the boolean socket-level options.
bool EnableSocketOption(SOCKET socket, int option)
{
    const int on = 1;
    return winsock::setsockopt(socket, kSolSocket, option, reinterpret_cast<const char*>(&on),
                               sizeof on) != SOCKET_ERROR;
}

}  // namespace

const char* SocketStateName(TSocketState state)
{
    static const char* const kNames[] = {"wsInvalidState", "wsOpened",         "wsBound",
                                         "wsConnecting",   "wsSocksConnected", "wsConnected",
                                         "wsAccepting",    "wsListening",      "wsClosed"};
    return state <= wsClosed ? kNames[state] : "?";
}

void TXSocketCounter::SetConnected()
{
    LastRecvTick = 0;
    LastSendTick = 0;
    ConnectTick = lib::GetTickCount();
    ConnectDT = lib::Now();
}

int SocketTypeOfProto(int proto)
{
    if (proto == IPPROTO_TCP)
        return SOCK_STREAM;
    if (proto == IPPROTO_UDP)
        return SOCK_DGRAM;
    return SOCK_RAW;
}

// --- resolution ------------------------------------------------------------

u_long XSocketResolveHost(const std::string& host)
{
    if (host.empty())
        throw ESocketException("Winsock Resolve Host: '" + host + "' Invalid Hostname.");
    if (IsDottedIP(host)) {
        const u_long addr = winsock::inet_addr(lib::Trim(host).c_str());
        if (addr == INADDR_NONE && lib::Trim(host) != "255.255.255.255")
            throw ESocketException("Winsock Resolve Host: '" + host + "' Invalid IP address.");
        return addr;
    }
    const hostent* entry = winsock::gethostbyname(host.c_str());
    if (!entry || !entry->h_addr_list || !entry->h_addr_list[0])
        throw ESocketException("Winsock Resolve Host: Cannot convert host address '" + host +
                               "' - " + FormatWinsockError(XSocket_WSAGetLastError()));
    u_long addr;
    std::memcpy(&addr, entry->h_addr_list[0], sizeof addr);
    return addr;
}

u_short XSocketResolvePort(const std::string& port, const std::string& proto)
{
    if (port.empty())
        throw ESocketException("Winsock Resolve Port: Invalid Port.");
    if (proto.empty())
        throw ESocketException("Winsock Resolve Port: Invalid Proto.");
    size_t i = 0;
    while (i < port.size() && port[i] == ' ')
        ++i;
    if (i < port.size() && IsDigit(port[i])) {
        // A number that does not fit 16 bits is no port: it must not wrap.
        unsigned value = 0;
        for (; i < port.size() && IsDigit(port[i]); ++i) {
            value = value * 10 + unsigned(port[i] - '0');
            if (value > 65535)
                throw ESocketException("Winsock Resolve Port: Invalid Port.");
        }
        return u_short(value);
    }
    const servent* entry = winsock::getservbyname(port.c_str(), proto.c_str());
    if (!entry)
        throw ESocketException("Winsock Resolve Port: Cannot convert port '" + port + "' - " +
                               FormatWinsockError(XSocket_WSAGetLastError()));
    return winsock::ntohs(u_short(entry->s_port));
}

int XSocketResolveProto(const std::string& proto)
{
    if (proto.empty())
        throw ESocketException("Winsock Resolve Proto: Invalid Protocol.");
    if (IsDigit(proto[0]))
        return ParseDecimal(proto.c_str());
    const std::string name = lib::LowerCase(lib::Trim(proto));
    if (name == "tcp")
        return IPPROTO_TCP;
    if (name == "udp")
        return IPPROTO_UDP;
    if (name == "raw")
        return IPPROTO_RAW;
    const protoent* entry = winsock::getprotobyname(name.c_str());
    if (!entry)
        throw ESocketException("Winsock Resolve Proto: Cannot convert protocol '" + proto + "' - " +
                               FormatWinsockError(XSocket_WSAGetLastError()));
    return entry->p_proto;
}

// --- construction ----------------------------------------------------------

TCustomXSocket::TCustomXSocket(rtl::TComponent* owner) : TCxWndControl(owner)
{
    FBufHandler = rtl::Create<TCxBufferHandler>(nullptr);
    CounterClass = &NewXSocketCounter;
    AssignDefaultValue();
    WinsockUsageInc();
}

TCustomXSocket::~TCustomXSocket()
{
    // Only a close that failed during the tear-down leaves a handle here.
    if (FHSocket != INVALID_SOCKET) {
        try {
            XSocket_closesocket(FHSocket);
        } catch (...) {
        }
    }
    if (FState != wsInvalidState)
        WinsockUsageRelease();
    FBufHandler->Free();
    ForgetDnsLookup(true);
    delete FCounter;
}

void TCustomXSocket::AfterConstruction()
{
    // The window is taken only now, when every class's id count is known.
    AllocateSocketHWnd();
    TCxWndControl::AfterConstruction();
}

void TCustomXSocket::BeforeDestruction()
{
    try {
        CancelDnsLookup();
    } catch (...) {
    }
    if (FState != wsInvalidState && FState != wsClosed) {
        try {
            Close();
        } catch (...) {
        }
    }
    DeallocateSocketHWnd();
    TCxWndControl::BeforeDestruction();
}

void TCustomXSocket::AllocateSocketHWnd()
{
    Handle();
}

void TCustomXSocket::DeallocateSocketHWnd()
{
    DropWindowOnce();
}

int TCustomXSocket::MsgHandlersCount()
{
    return TCxWndControl::MsgHandlersCount() + 6;
}

void TCustomXSocket::AllocateMsgHandlers()
{
    TCxWndControl::AllocateMsgHandlers();
    FMsg_WM_ASYNCSELECT = AllocateMsgId();
    FMsg_WM_ASYNCGETHOSTBYNAME = AllocateMsgId();
    FMsg_WM_ASYNCGETHOSTBYADDR = AllocateMsgId();
    FMsg_WM_CLOSE_DELAYED = AllocateMsgId();
    FMsg_WM_TEST_EXCEPTION = AllocateMsgId();
    FMsg_WM_TRIGGER_DATA_AVAILABLE = AllocateMsgId();
}

void TCustomXSocket::FreeMsgHandlers()
{
    ReleaseMsgId(FMsg_WM_TRIGGER_DATA_AVAILABLE);
    ReleaseMsgId(FMsg_WM_TEST_EXCEPTION);
    ReleaseMsgId(FMsg_WM_CLOSE_DELAYED);
    ReleaseMsgId(FMsg_WM_ASYNCGETHOSTBYADDR);
    ReleaseMsgId(FMsg_WM_ASYNCGETHOSTBYNAME);
    ReleaseMsgId(FMsg_WM_ASYNCSELECT);
    TCxWndControl::FreeMsgHandlers();
}

void TCustomXSocket::ThreadAttach()
{
    TCxWndControl::ThreadAttach();
    if (FHSocket != INVALID_SOCKET)
        winsock::WSAAsyncSelect(FHSocket, Handle(), FMsg_WM_ASYNCSELECT, FSelectEvent);
}

void TCustomXSocket::ThreadDetach()
{
    if (lib::GetCurrentThreadId() == ThreadId() && FHSocket != INVALID_SOCKET)
        winsock::WSAAsyncSelect(FHSocket, Handle(), 0, 0);
    TCxWndControl::ThreadDetach();
}

void TCustomXSocket::AssignDefaultValue()
{
    FSin = {};
    FSin.sin_family = AF_INET;
    FAddrFormat = AF_INET;
    FPortAssigned = false;
    FAddrAssigned = false;
    FAddrResolved = false;
    FPortResolved = false;
    FProtoResolved = false;
    FLocalPortResolved = false;
    FProtoAssigned = true;
    FProto = IPPROTO_TCP;
    FProtoStr = "tcp";
    FType = SOCK_STREAM;
    FLocalPortStr = "0";
    FLocalAddr = "0.0.0.0";
    LingerOnOff = wsLingerOn;
    FLingerTimeout = 0;
    FHSocket = INVALID_SOCKET;
    FSelectEvent = 0;
    FState = wsClosed;
    FbAllSent = true;
    FPaused = false;
    FCloseInvoked = false;
    FlushTimeout = 60;
}

void TCustomXSocket::ChangeState(TSocketState newState)
{
    assert(newState != wsInvalidState && (newState == wsClosed || FHSocket != INVALID_SOCKET) &&
           "only a closed socket is without its WinSock handle");
    const TSocketState oldState = FState;
    FState = newState;
    if (oldState != newState)
        TriggerChangeState(oldState, newState);
}

// --- properties ------------------------------------------------------------

namespace {
// The common rule of the three addressing setters; false when refused.
bool StoreAddressText(TSocketState state, std::string& field, bool& assigned, bool& resolved,
                      const std::string& value)
{
    if (assigned && value == field)
        return true;
    if (state != wsClosed)
        return false;
    field = lib::Trim(value);
    assigned = !field.empty();
    if (assigned)
        resolved = false;
    return true;
}
}  // namespace

void TCustomXSocket::SetAddr(const std::string& value)
{
    if (!StoreAddressText(FState, FAddrStr, FAddrAssigned, FAddrResolved, value))
        RaiseException("Cannot change Addr if not closed");
}

void TCustomXSocket::SetPort(const std::string& value)
{
    if (!StoreAddressText(FState, FPortStr, FPortAssigned, FPortResolved, value))
        RaiseException("Cannot change Port if not closed");
}

void TCustomXSocket::SetProto(const std::string& value)
{
    if (!StoreAddressText(FState, FProtoStr, FProtoAssigned, FProtoResolved, value))
        RaiseException("Cannot change Proto if not closed");
}

void TCustomXSocket::SetLocalPort(const std::string& value)
{
    if (FState != wsClosed) {
        RaiseException("Cannot change LocalPort if not closed");
        return;
    }
    FLocalPortStr = value;
    FLocalPortResolved = false;
}

void TCustomXSocket::SetLocalAddr(const std::string& value)
{
    if (FState != wsClosed) {
        RaiseException("Cannot change LocalAddr if not closed");
        return;
    }
    FLocalAddr = value.empty() ? "0.0.0.0" : value;
}

TSocketSendFlags TCustomXSocket::SendFlags()
{
    if (FSendFlags == 0)
        return wsSendNormal;
    if (FSendFlags == MSG_OOB)
        return wsSendUrgent;
    RaiseException("Invalid internal SendFlags");
    return wsSendNormal;
}

void TCustomXSocket::SetSendFlags(TSocketSendFlags value)
{
    if (value == wsSendNormal)
        FSendFlags = 0;
    else if (value == wsSendUrgent)
        FSendFlags = MSG_OOB;
    else
        RaiseException("Invalid SendFlags");
}

void TCustomXSocket::SetLingerTimeout(int value)
{
    if (value < 0 || value > 0xFFFF) {
        RaiseException("Invalid LingerTimeout");
        return;
    }
    FLingerTimeout = value;
}

void TCustomXSocket::SetReqVerLow(BYTE value)
{
    if (!SetWinsockReqVerLow(value))
        RaiseException("SetReqVerLow: WinSock version can't be changed now");
}

void TCustomXSocket::SetReqVerHigh(BYTE value)
{
    if (!SetWinsockReqVerHigh(value))
        RaiseException("SetReqVerHigh: WinSock version can't be changed now");
}

void TCustomXSocket::SetBufSize(int size)
{
    FBufHandler->Lock();
    FBufHandler->SetBlockSize(size);
    FBufHandler->Unlock();
}

int TCustomXSocket::GetBufSize()
{
    return FBufHandler->BlockSize();
}

void TCustomXSocket::SetSocketRcvBufSize(int size)
{
    if (XSocket_setsockopt(FHSocket, kSolSocket, kSoRcvBuf, reinterpret_cast<const char*>(&size),
                           sizeof size) == SOCKET_ERROR)
        SocketError("setsockopt(SO_RCVBUF)");
    else
        FSocketRcvBufSize = size;
}

void TCustomXSocket::SetSocketSndBufSize(int size)
{
    if (XSocket_setsockopt(FHSocket, kSolSocket, kSoSndBuf, reinterpret_cast<const char*>(&size),
                           sizeof size) == SOCKET_ERROR)
        SocketError("setsockopt(SO_SNDBUF)");
    else
        FSocketSndBufSize = size;
}

void TCustomXSocket::CreateCounter()
{
    delete FCounter;
    FCounter = nullptr;
    FCounter = CounterClass ? CounterClass() : new TXSocketCounter();
}

// --- logging ---------------------------------------------------------------

void TCustomXSocket::SetCxLogger(TCxLogger* logger)
{
    FLoggerLink.Set(logger);
}

void TCustomXSocket::Notification(rtl::TComponent* component, rtl::TOperation operation)
{
    TCxWndControl::Notification(component, operation);
    FLoggerLink.Notification(component, operation);
}

bool TCustomXSocket::CheckLogOptions(TLogOption option)
{
    return FLoggerLink.CheckLogOptions(option);
}

void TCustomXSocket::DebugLog(TLogOption option, const std::string& text)
{
    FLoggerLink.DebugLog(option, text);
}

// --- queries ---------------------------------------------------------------

std::string TCustomXSocket::GetXPort()
{
    if (FState != wsBound && FState != wsConnected && FState != wsListening)
        return "error";
    sockaddr_in local = {};
    int len = sizeof local;
    if (winsock::getsockname(FHSocket, reinterpret_cast<sockaddr*>(&local), &len) != 0)
        return "error";
    return lib::IntToStr(int(winsock::ntohs(local.sin_port)));
}

std::string TCustomXSocket::GetXAddr()
{
    if (FState != wsBound && FState != wsConnected && FState != wsListening)
        return "error";
    sockaddr_in local = {};
    int len = sizeof local;
    if (winsock::getsockname(FHSocket, reinterpret_cast<sockaddr*>(&local), &len) != 0)
        return "error";
    return AddrText(local.sin_addr.s_addr);
}

int TCustomXSocket::GetSockName(sockaddr_in& name, int& len)
{
    return winsock::getsockname(FHSocket, reinterpret_cast<sockaddr*>(&name), &len);
}

std::string TCustomXSocket::GetPeerAddr()
{
    if (FState != wsConnected)
        return "error";
    sockaddr_in peer = {};
    int len = sizeof peer;
    if (winsock::getpeername(FHSocket, reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
        SocketError("GetPeerName");
        return "error";
    }
    return AddrText(peer.sin_addr.s_addr);
}

std::string TCustomXSocket::GetPeerPort()
{
    if (FState != wsConnected)
        return "error";
    sockaddr_in peer = {};
    int len = sizeof peer;
    if (winsock::getpeername(FHSocket, reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
        SocketError("GetPeerPort");
        return "error";
    }
    return lib::IntToStr(int(winsock::ntohs(peer.sin_port)));
}

int TCustomXSocket::GetPeerName(sockaddr_in& name, int len)
{
    if (FState != wsConnected)
        return -1;
    return winsock::getpeername(FHSocket, reinterpret_cast<sockaddr*>(&name), &len);
}

// --- options ---------------------------------------------------------------

const char* TCustomXSocket::ReadSocketBufSizes()
{
    int len = sizeof FSocketSndBufSize;
    if (XSocket_getsockopt(FHSocket, kSolSocket, kSoSndBuf,
                           reinterpret_cast<char*>(&FSocketSndBufSize), &len) == SOCKET_ERROR)
        return "getsockopt(SO_SNDBUF)";
    len = sizeof FSocketRcvBufSize;
    if (XSocket_getsockopt(FHSocket, kSolSocket, kSoRcvBuf,
                           reinterpret_cast<char*>(&FSocketRcvBufSize), &len) == SOCKET_ERROR)
        return "getsockopt(SO_RCVBUF)";
    return nullptr;
}

// The options each report nothing: they give the context of the call that
// failed, or none, so that a caller can let the handle go before reporting.
const char* TCustomXSocket::SetNoDelayOption()
{
    const int value = ComponentOptions.Contains(wsoTcpNoDelay) ? -1 : 0;
    if (winsock::setsockopt(FHSocket, IPPROTO_TCP, kTcpNoDelay,
                            reinterpret_cast<const char*>(&value), sizeof value) == SOCKET_ERROR)
        return "setsockopt(IPPROTO_TCP, TCP_NODELAY)";
    return nullptr;
}

const char* TCustomXSocket::SetLingerOption()
{
    if (LingerOnOff == wsLingerNoSet)
        return nullptr;
    linger value;
    value.l_onoff = u_short(LingerOnOff);
    value.l_linger = u_short(FLingerTimeout);
    if (winsock::setsockopt(FHSocket, kSolSocket, kSoLinger, reinterpret_cast<const char*>(&value),
                            sizeof value) == SOCKET_ERROR)
        return "setsockopt(SO_LINGER)";
    return nullptr;
}

const char* TCustomXSocket::SetKeepAliveOption()
{
    if (KeepAliveOnOff == wsKeepAliveOff)
        return nullptr;
    if (KeepAliveOnOff == wsKeepAliveOnSystem)
        return EnableSocketOption(FHSocket, kSoKeepAlive) ? nullptr : "setsockopt(SO_KEEPALIVE)";
    struct {
        u_long OnOff, Time, Interval;
    } in = {1, KeepAliveTime, KeepAliveInterval}, out = {};
    DWORD returned = 0;
    if (XSocket_WSAIoctl(FHSocket, kSioKeepAliveVals, &in, sizeof in, &out, sizeof out, &returned,
                         nullptr, nullptr) == SOCKET_ERROR)
        return "XSocket_WSAIoctl(SIO_KEEPALIVE_VALS)";
    return nullptr;
}

const char* TCustomXSocket::SetStreamOptions()
{
    const char* failed = ComponentOptions.Contains(wsoTcpNoDelay) ? SetNoDelayOption() : nullptr;
    if (!failed)
        failed = SetLingerOption();
    if (!failed)
        failed = SetKeepAliveOption();
    return failed;
}

void TCustomXSocket::ApplyLinger()
{
    if (LingerOnOff == wsLingerNoSet)
        return;
    if (FHSocket == INVALID_SOCKET) {
        RaiseException("Cannot set linger option at this time");
        return;
    }
    if (const char* failed = SetLingerOption())
        SocketError(failed);
}

// A linger of zero seconds turns closesocket into a reset that drops what
// the system has not sent yet. No close may lose what Send accepted, so the
// setting stays as published and only the handle being closed lingers in
// the background; Abort switches linger off the same way.
void TCustomXSocket::KeepUnsentDataAtClose()
{
    if (FType != SOCK_STREAM || LingerOnOff != wsLingerOn || FLingerTimeout != 0)
        return;
    linger background;
    background.l_onoff = 0;
    background.l_linger = 0;
    // A refusal leaves the close as it would have been.
    winsock::setsockopt(FHSocket, kSolSocket, kSoLinger, reinterpret_cast<const char*>(&background), sizeof background);
}

// --- opening ---------------------------------------------------------------

void TCustomXSocket::ResolveProto()
{
    if (FProtoResolved)
        return;
    FProto = XSocketResolveProto(FProtoStr);
    FType = SocketTypeOfProto(FProto);
    FProtoResolved = true;
}

u_short TCustomXSocket::ResolvePort(const std::string& port)
{
    return XSocketResolvePort(port, FProtoStr);
}

void TCustomXSocket::ResolveRemotePort()
{
    if (FPortResolved)
        return;
    FPortNum = ResolvePort(FPortStr);
    FSin.sin_port = winsock::htons(FPortNum);
    FPortResolved = true;
}

void TCustomXSocket::ResolveLocalPort()
{
    if (FLocalPortResolved)
        return;
    FLocalPortNum = ResolvePort(FLocalPortStr);
    FLocalPortResolved = true;
}

void TCustomXSocket::ResolveRemoteAddr()
{
    if (FAddrResolved)
        return;
    FSin.sin_addr.s_addr = XSocketResolveHost(FAddrStr);
    FAddrResolved = true;
}

void TCustomXSocket::Connect()
{
    if (FHSocket != INVALID_SOCKET && FState != wsClosed) {
        RaiseException("Connect: Socket already in use");
        return;
    }
    if (!FPortAssigned) {
        RaiseException("Connect: No Port Specified");
        return;
    }
    if (!FAddrAssigned) {
        RaiseException("Connect: No IP Address Specified");
        return;
    }
    if (!FProtoAssigned) {
        RaiseException("Connect: No Protocol Specified");
        return;
    }
    try {
        ResolveProto();
        ResolveRemotePort();
        ResolveLocalPort();
        ResolveRemoteAddr();
    } catch (ESocketException& e) {
        RaiseException("connect: " + e.Message());
        return;
    }

    if (!OpenSocketHandle("Connect (socket)"))
        return;
    if (const char* failed = ReadSocketBufSizes()) {
        // Still wsClosed: no close would let this socket go.
        CloseHandle();
        SocketError(failed);
        return;
    }
    const TSessionGuard session(this);
    ChangeState(wsOpened);
    if (!session.Alive())
        return;
    if (FState != wsOpened) {
        XSocket_WSASetLastError(WSAEINVAL);
        SocketError("Connect (Invalid operation in OnChangeState)");
        return;
    }

    if (FType == SOCK_DGRAM) {
        if (!BindSocket())
            return;
        if (MultiCast) {
            if (MultiCastIpTTL != 1 &&
                winsock::setsockopt(FHSocket, IPPROTO_IP, kIpMulticastTtl,
                                    reinterpret_cast<const char*>(&MultiCastIpTTL),
                                    sizeof MultiCastIpTTL) == SOCKET_ERROR) {
                SocketError("setsockopt(IP_MULTICAST_TTL)");
                return;
            }
            if (FLocalAddr != "0.0.0.0") {
                u_long iface;
                try {
                    iface = XSocketResolveHost(FLocalAddr);
                } catch (ESocketException& e) {
                    RaiseException("connect: " + e.Message());
                    return;
                }
                if (winsock::setsockopt(FHSocket, IPPROTO_IP, kIpMulticastIf,
                                        reinterpret_cast<const char*>(&iface),
                                        sizeof iface) == SOCKET_ERROR) {
                    SocketError("setsockopt(IP_MULTICAST_IF)");
                    return;
                }
            }
        }
        if (FSin.sin_addr.s_addr == INADDR_BROADCAST) {
            if (!EnableSocketOption(FHSocket, kSoBroadcast)) {
                SocketError("setsockopt(SO_BROADCAST)");
                return;
            }
        }
    } else {
        if (!EnableSocketOption(FHSocket, kSoReuseAddr)) {
            SocketError("setsockopt(SO_REUSEADDR)");
            return;
        }
        if (const char* failed = SetStreamOptions()) {
            SocketError(failed);
            return;
        }
        if ((FLocalPortNum != 0 || FLocalAddr != "0.0.0.0") && !BindSocket())
            return;
    }

    FSelectEvent = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
    if (winsock::WSAAsyncSelect(FHSocket, Handle(), FMsg_WM_ASYNCSELECT, FSelectEvent) ==
        SOCKET_ERROR) {
        SocketError("WSAAsyncSelect");
        return;
    }
    if (FType == SOCK_DGRAM) {
        ChangeState(wsConnected);
        if (session.Holds())
            TriggerSessionConnectedSpecial(0);
        return;
    }
    if (CheckLogOptions(loWsockInfo))
        DebugLog(loWsockInfo, "TXSocket will connect to " + AddrText(FSin.sin_addr.s_addr) + ":" +
                                  lib::IntToStr(int(winsock::ntohs(FSin.sin_port))));
    if (winsock::connect(FHSocket, reinterpret_cast<const sockaddr*>(&FSin), sizeof FSin) == 0) {
        ChangeState(wsConnecting);
        return;
    }
    const int error = XSocket_WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
        ChangeState(wsConnecting);
        return;
    }
    LastError = error;
    SocketError("Connect");
}

bool TCustomXSocket::BindSocket()
{
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = winsock::htons(FLocalPortNum);
    try {
        local.sin_addr.s_addr = XSocketResolveHost(FLocalAddr);
    } catch (ESocketException& e) {
        RaiseException(e.Message());
        return false;
    }
    if (winsock::bind(FHSocket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        RaiseException("Bind socket failed - " + FormatWinsockError(XSocket_WSAGetLastError()));
        return false;
    }
    int len = sizeof local;
    if (winsock::getsockname(FHSocket, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
        RaiseException("Winsock get socket name failed - " +
                       FormatWinsockError(XSocket_WSAGetLastError()));
        return false;
    }
    FLocalPortNum = winsock::ntohs(local.sin_port);
    FLocalPortStr = lib::IntToStr(int(FLocalPortNum));
    return true;
}

void TCustomXSocket::Listen()
{
    if (FHSocket != INVALID_SOCKET && FState != wsClosed) {
        RaiseException("Listen: Socket already in use");
        return;
    }
    const char* refusal = !FPortAssigned    ? "listen: port not assigned"
                          : !FProtoAssigned ? "listen: protocol not assigned"
                          : !FAddrAssigned  ? "listen: address not assigned"
                                            : nullptr;
    if (refusal) {
        XSocket_WSASetLastError(WSAEINVAL);
        SocketError(refusal);
        return;
    }
    try {
        if (!FProtoResolved) {
            // "raw_" + a protocol asks for a raw socket of that protocol.
            if (lib::StrLIComp(FProtoStr.c_str(), "raw_", 4) == 0) {
                FProto = XSocketResolveProto(FProtoStr.substr(4, 10));
                FType = SOCK_RAW;
                FProtoResolved = true;
            } else {
                ResolveProto();
            }
        }
        ResolveRemotePort();
        ResolveRemoteAddr();
    } catch (ESocketException& e) {
        RaiseException("listen: " + e.Message());
        return;
    }

    if (!OpenSocketHandle("socket"))
        return;
    if (FType == SOCK_DGRAM && ReuseAddr) {
        if (!EnableSocketOption(FHSocket, kSoReuseAddr)) {
            CloseHandle();
            SocketError("setsockopt(SO_REUSEADDR)");
            return;
        }
    }
    if (winsock::bind(FHSocket, reinterpret_cast<const sockaddr*>(&FSin), sizeof FSin) != 0) {
        CloseHandle();
        SocketError("Bind");
        return;
    }
    // Each state change and the datagram's connect event may end the
    // session (or free the component) from a handler.
    const TSessionGuard session(this);
    ChangeState(wsBound);
    if (!session.Holds())
        return;

    if (FType == SOCK_STREAM) {
        if (winsock::listen(FHSocket, ListenBacklog) != 0) {
            SocketError("Listen");
            return;
        }
        ChangeState(wsListening);
    } else if (FType == SOCK_DGRAM || FType == SOCK_RAW) {
        if (FType == SOCK_DGRAM && MultiCast) {
            struct {
                in_addr imr_multiaddr, imr_interface;
            } group;
            group.imr_multiaddr.s_addr = winsock::inet_addr(MultiCastAddrStr.c_str());
            group.imr_interface.s_addr = FSin.sin_addr.s_addr;
            if (winsock::setsockopt(FHSocket, IPPROTO_IP, kIpAddMembership,
                                    reinterpret_cast<const char*>(&group),
                                    sizeof group) == SOCKET_ERROR) {
                SocketError("setsockopt(IP_ADD_MEMBERSHIP)");
                return;
            }
        }
        if (FType == SOCK_RAW && ComponentOptions.Contains(wsoSIO_RCVALL)) {
            u_long on = 1;
            DWORD returned = 0;
            if (XSocket_WSAIoctl(FHSocket, kSioRcvAll, &on, sizeof on, nullptr, 0, &returned,
                                 nullptr, nullptr) == SOCKET_ERROR) {
                // The close follows the report also when the report raises.
                try {
                    SocketError("WSAIoctl(SIO_RCVALL)");
                } catch (...) {
                    if (session.Holds())
                        Close();
                    throw;
                }
                if (session.Holds())
                    Close();
                return;
            }
        }
        ChangeState(wsListening);
        if (session.Holds())
            ChangeState(wsConnected);
        if (session.Holds())
            TriggerSessionConnectedSpecial(0);
    } else {
        SocketError("Listen: unexpected protocol.");
        return;
    }

    if (!session.Holds())
        return;
    FSelectEvent = FType == SOCK_STREAM ? FD_ACCEPT | FD_CLOSE
                                        : FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
    if (winsock::WSAAsyncSelect(FHSocket, Handle(), FMsg_WM_ASYNCSELECT, FSelectEvent) ==
        SOCKET_ERROR)
        SocketError("WSAASyncSelect");
}

// A fresh handle of the resolved family, type and protocol, with nothing left
// buffered from an earlier session.
bool TCustomXSocket::OpenSocketHandle(const char* failure)
{
    DeleteBufferedData();
    const SOCKET handle = winsock::socket(FAddrFormat, FType, FProto);
    if (handle == INVALID_SOCKET) {
        SocketError(failure);
        return false;
    }
    TakeHandle(handle);
    return true;
}

void TCustomXSocket::TakeHandle(SOCKET handle)
{
    FHSocket = handle;
    ++FSession;
    FCloseInvoked = false;  // a session of its own, whose close is still to come
}

void TCustomXSocket::LoseHandle()
{
    FHSocket = INVALID_SOCKET;
    ++FSession;
    PurgeQueuedNotices();
}

// A socket still in wsClosed has no close of its own (Close ignores it), and
// the error report may raise: the handle goes first, keeping the error code.
void TCustomXSocket::CloseHandle()
{
    const int error = XSocket_WSAGetLastError();
    XSocket_closesocket(FHSocket);
    LoseHandle();
    XSocket_WSASetLastError(error);
}

SOCKET TCustomXSocket::Accept()
{
    if (FState != wsListening) {
        XSocket_WSASetLastError(WSAEINVAL);
        SocketError("not a listening socket");
        return INVALID_SOCKET;
    }
    int len = sizeof FSin;
    const SOCKET accepted = winsock::accept(FHSocket, reinterpret_cast<sockaddr*>(&FSin), &len);
    FASocket = accepted;
    // A failed accept is the pending peer's (one that reset before it was
    // taken gives 10054): the listener stays open and keeps serving.
    if (accepted == INVALID_SOCKET)
        ReportSocketError(XSocket_WSAGetLastError(), "Accept");
    return accepted;
}

void TCustomXSocket::Dup(SOCKET newHSocket)
{
    if (newHSocket == 0 || newHSocket == INVALID_SOCKET) {
        XSocket_WSASetLastError(WSAEINVAL);
        SocketError("Dup");
        return;
    }
    if (FState != wsClosed) {
        const SOCKET old = FHSocket;
        LoseHandle();
        if (old != INVALID_SOCKET && XSocket_closesocket(old) != 0) {
            TakeHandle(newHSocket);  // handed over: it goes too
            CloseHandle();
            SocketError("Dup (closesocket)");
            return;
        }
        const TSessionGuard closed(this);
        ChangeState(wsClosed);
        if (!closed.Holds()) {
            // The handler opened a session of its own: the new handle has no
            // place here.
            XSocket_closesocket(newHSocket);
            return;
        }
    }
    TakeHandle(newHSocket);
    const char* failed = ReadSocketBufSizes();
    if (!failed)
        failed = SetStreamOptions();
    FSelectEvent = FD_READ | FD_WRITE | FD_CLOSE;
    if (!failed && winsock::WSAAsyncSelect(FHSocket, Handle(), FMsg_WM_ASYNCSELECT, FSelectEvent) ==
                       SOCKET_ERROR)
        failed = "WSAAsyncSelect";
    if (failed) {
        // Not adopted, so no close would let it go; the report may raise.
        CloseHandle();
        SocketError(failed);
        return;
    }
    DupConnected();
}

int TCustomXSocket::Pause()
{
    FPaused = true;
    return winsock::WSAAsyncSelect(FHSocket, Handle(), 0, 0);
}

int TCustomXSocket::Resume()
{
    FPaused = false;
    return winsock::WSAAsyncSelect(FHSocket, Handle(), FMsg_WM_ASYNCSELECT, FSelectEvent);
}

void TCustomXSocket::Shutdown(int how)
{
    if (CheckLogOptions(loWsockInfo))
        DebugLog(loWsockInfo, lib::IntToHex(uint32_t(reinterpret_cast<uintptr_t>(this)), 8) +
                                  " TCustomXSocket.Shutdown " + lib::IntToStr(how) + " " +
                                  lib::IntToStr(int(FHSocket)));
    if (FHSocket != INVALID_SOCKET)
        winsock::shutdown(FHSocket, how);
}

}  // namespace calyx
