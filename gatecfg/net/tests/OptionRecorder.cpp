#include "OptionRecorder.h"

#include <cstdio>
#include <cstring>

#include "net/CalyxWinSock.h"

namespace xstest {

using namespace calyx;

std::vector<std::string> TOptionRecorder::Calls;

namespace {

std::string Dotted(const char* bytes)
{
    in_addr a;
    std::memcpy(&a, bytes, sizeof a);
    return winsock::inet_ntoa(a);
}

int WSAAPI RecordSetsockopt(SOCKET s, int level, int name, const char* value, int len)
{
    std::string text = std::to_string(level) + "/" + std::to_string(name) + "=";
    if (level == SOL_SOCKET && name == SO_LINGER && len == sizeof(linger)) {
        linger l;
        std::memcpy(&l, value, sizeof l);
        text += "{" + std::to_string(l.l_onoff) + "," + std::to_string(l.l_linger) + "}";
    } else if (level == IPPROTO_IP && len == 8) {
        text += Dotted(value) + "/" + Dotted(value + 4);
    } else if (level == IPPROTO_IP && name == 2 && len == 4) {  // the multicast interface
        text += Dotted(value);
    } else if (len == sizeof(int)) {
        int v;
        std::memcpy(&v, value, sizeof v);
        text += std::to_string(v);
    } else {
        text += "?" + std::to_string(len);
    }
    TOptionRecorder::Calls.push_back(text);
    if (level == IPPROTO_IP)
        return 0;
    using TFn = int(WSAAPI*)(SOCKET, int, int, const char*, int);
    return ProcCast<TFn>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "setsockopt"))(s, level, name,
                                                                                        value, len);
}

int WSAAPI RecordIoctl(SOCKET, DWORD code, LPVOID in, DWORD inLen, LPVOID, DWORD, LPDWORD returned,
                       LPWSAOVERLAPPED, LPWSAOVERLAPPED_COMPLETION_ROUTINE)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
    std::string text = std::string("ioctl ") + hex + "=";
    const auto* words = static_cast<const u_long*>(in);
    for (DWORD i = 0; i < inLen / sizeof(u_long); ++i)
        text += (i ? "," : "") + std::to_string(words[i]);
    TOptionRecorder::Calls.push_back(text);
    if (returned)
        *returned = 0;
    return 0;
}

int WSAAPI RecordShutdown(SOCKET s, int how)
{
    TOptionRecorder::Calls.push_back("shutdown " + std::to_string(how));
    using TFn = int(WSAAPI*)(SOCKET, int);
    return ProcCast<TFn>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "shutdown"))(s, how);
}

}  // namespace

TOptionRecorder::TOptionRecorder()
{
    Calls.clear();
    ReplaceWinsockEntry("setsockopt", &RecordSetsockopt);
    ReplaceWinsockEntry("WSAIoctl", &RecordIoctl);
    ReplaceWinsockEntry("shutdown", &RecordShutdown);
}

TOptionRecorder::~TOptionRecorder()
{
    for (const char* entry : {"setsockopt", "WSAIoctl", "shutdown"})
        SetWinsockEntry(entry, nullptr);
}

}  // namespace xstest
