#pragma once
// WinSock bound by name at run time: "wsock32.dll" (WinSock 1.1) is loaded and
// started on the first call of any bound function and unloaded with its last
// user; WSAIoctl alone comes from "ws2_32.dll". Nothing links WinSock.
//
// The winsock2.h declarations serve only for the types; every call goes
// through calyx::winsock, whose entries tests may replace one by one.
#include <winsock2.h>
#include <windows.h>

#include <string>

#include "rtl/Exception.h"

namespace calyx {

class ESocketException : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// name, result, parameters, arguments
#define CX_WINSOCK_FUNCTIONS(X)                                                                    \
    X(WSAStartup, int, (WORD version, LPWSADATA data), (version, data))                            \
    X(WSACleanup, int, (), ())                                                                     \
    X(WSASetLastError, void, (int error), (error))                                                 \
    X(WSAGetLastError, int, (), ())                                                                \
    X(WSACancelAsyncRequest, int, (HANDLE request), (request))                                     \
    X(WSAAsyncGetHostByName, HANDLE, (HWND wnd, u_int msg, const char* name, char* buf, int len),  \
      (wnd, msg, name, buf, len))                                                                  \
    X(WSAAsyncGetHostByAddr, HANDLE,                                                               \
      (HWND wnd, u_int msg, const char* addr, int len, int type, char* buf, int buflen),           \
      (wnd, msg, addr, len, type, buf, buflen))                                                    \
    X(WSAAsyncSelect, int, (SOCKET s, HWND wnd, u_int msg, long events), (s, wnd, msg, events))    \
    X(getservbyname, struct servent*, (const char* name, const char* proto), (name, proto))        \
    X(getprotobyname, struct protoent*, (const char* name), (name))                                \
    X(gethostbyname, struct hostent*, (const char* name), (name))                                  \
    X(gethostbyaddr, struct hostent*, (const char* addr, int len, int type), (addr, len, type))    \
    X(socket, SOCKET, (int af, int type, int protocol), (af, type, protocol))                      \
    X(shutdown, int, (SOCKET s, int how), (s, how))                                                \
    X(setsockopt, int, (SOCKET s, int level, int name, const char* value, int len),                \
      (s, level, name, value, len))                                                                \
    X(getsockopt, int, (SOCKET s, int level, int name, char* value, int* len),                     \
      (s, level, name, value, len))                                                                \
    X(sendto, int, (SOCKET s, const char* buf, int len, int flags, const struct sockaddr* to,      \
                    int tolen),                                                                    \
      (s, buf, len, flags, to, tolen))                                                             \
    X(send, int, (SOCKET s, const char* buf, int len, int flags), (s, buf, len, flags))            \
    X(recv, int, (SOCKET s, char* buf, int len, int flags), (s, buf, len, flags))                  \
    X(recvfrom, int, (SOCKET s, char* buf, int len, int flags, struct sockaddr* from,              \
                      int* fromlen),                                                               \
      (s, buf, len, flags, from, fromlen))                                                         \
    X(ntohs, u_short, (u_short value), (value))                                                    \
    X(listen, int, (SOCKET s, int backlog), (s, backlog))                                          \
    X(ioctlsocket, int, (SOCKET s, long cmd, u_long* arg), (s, cmd, arg))                          \
    X(WSAIoctl, int, (SOCKET s, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,      \
                      LPDWORD returned, LPWSAOVERLAPPED overlapped,                                \
                      LPWSAOVERLAPPED_COMPLETION_ROUTINE completion),                              \
      (s, code, in, inLen, out, outLen, returned, overlapped, completion))                         \
    X(inet_ntoa, char*, (struct in_addr in), (in))                                                 \
    X(inet_addr, unsigned long, (const char* text), (text))                                        \
    X(htons, u_short, (u_short value), (value))                                                    \
    X(getsockname, int, (SOCKET s, struct sockaddr* name, int* len), (s, name, len))               \
    X(getpeername, int, (SOCKET s, struct sockaddr* name, int* len), (s, name, len))               \
    X(connect, int, (SOCKET s, const struct sockaddr* name, int len), (s, name, len))              \
    X(closesocket, int, (SOCKET s), (s))                                                           \
    X(bind, int, (SOCKET s, const struct sockaddr* name, int len), (s, name, len))                 \
    X(accept, SOCKET, (SOCKET s, struct sockaddr* addr, int* len), (s, addr, len))

// The binding operations: each resolves its entry once (loading and starting
// WinSock on the first call) and calls through it. Load and resolution
// failures raise ESocketException; the entry stays empty so the next call
// tries again.
namespace winsock {
#define CX_DECLARE_BINDING(name, result, params, args) result name params;
CX_WINSOCK_FUNCTIONS(CX_DECLARE_BINDING)
#undef CX_DECLARE_BINDING
}  // namespace winsock

// Loads (and starts) "wsock32.dll" if needed and resolves name there; an
// empty name only loads.
FARPROC LoadWinsock(const std::string& name);
// The same for "ws2_32.dll", after "wsock32.dll" has been started.
FARPROC LoadWinsock2(const std::string& name);
// Cleans up and frees both libraries, only when loaded and unused.
void UnloadWinsock();

void WinsockUsageInc();
void WinsockUsageDec();
// What a socket component does when it goes: one user less, and the
// libraries unload when none is left.
void WinsockUsageRelease();
int WinsockUsageCount();

bool WinsockLoaded();
const WSADATA& WinsockData();
// The version asked of WSAStartup: low byte major, high byte minor (1.1).
BYTE WinsockReqVerLow();
BYTE WinsockReqVerHigh();
// Refused (false) while the library is loaded; the same value is accepted.
bool SetWinsockReqVerLow(BYTE value);
bool SetWinsockReqVerHigh(BYTE value);

// Counted calls: the library cannot be unloaded while they run.
void XSocket_WSASetLastError(int error);
int XSocket_WSAGetLastError();
int XSocket_setsockopt(SOCKET s, int level, int name, const char* value, int len);
int XSocket_getsockopt(SOCKET s, int level, int name, char* value, int* len);
int XSocket_WSAIoctl(SOCKET s, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,
                     LPDWORD returned, LPWSAOVERLAPPED overlapped,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE completion);
int XSocket_closesocket(SOCKET s);
int XSocket_recv(SOCKET s, char* buf, int len, int flags);
std::string XSocket_inet_ntoa(struct in_addr in);

// Four decimal parts of at most 255 separated by dots, blanks allowed around.
bool IsDottedIP(const std::string& text);
bool IsDigit(char c);

std::string XSocketErrorDesc(int code);
// The system's text for code + " (#code)".
std::string FormatOsError(DWORD code);
// The WinSock text for code + " (#code)".
std::string FormatWinsockError(int code);

// Converts between entry-point types; void(*)() is the neutral type.
template <class To, class From>
To ProcCast(From entry)
{
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(entry));
}

// Replaces one bound function by its WinSock name (nullptr restores the real
// one); the replacement is called without loading anything. For tests.
void SetWinsockEntry(const char* name, FARPROC entry);
template <class F>
void ReplaceWinsockEntry(const char* name, F entry)
{
    SetWinsockEntry(name, ProcCast<FARPROC>(entry));
}

// The eight locks that the SSL layer shares between its threads.
constexpr int CX_SSL_LOCKS = 8;
CRITICAL_SECTION* CxSslLock(int index);

void InitUnitCalyxWinSock();
void FinUnitCalyxWinSock();

}  // namespace calyx
