#include "net/CalyxWinSock.h"

#include <atomic>
#include <cstring>

#include "net/CalyxLibrary.h"
#include "rtl/SyncObjs.h"

namespace calyx {

namespace {

const char kWinsockDll[] = "wsock32.dll";
const char kWinsock2Dll[] = "ws2_32.dll";

enum TEntry {
#define CX_ENTRY_ID(name, result, params, args) e_##name,
    CX_WINSOCK_FUNCTIONS(CX_ENTRY_ID)
#undef CX_ENTRY_ID
    kEntryCount
};

const char* const kEntryNames[kEntryCount] = {
#define CX_ENTRY_NAME(name, result, params, args) #name,
    CX_WINSOCK_FUNCTIONS(CX_ENTRY_NAME)
#undef CX_ENTRY_NAME
};

struct TWinsockBinding {
    LONG UsageCount = 0;
    BYTE ReqVerLow = 1;
    BYTE ReqVerHigh = 1;
    HMODULE Library = nullptr;
    HMODULE Library2 = nullptr;
    WSADATA Data = {};
    std::atomic<FARPROC> Entries[kEntryCount] = {};
    std::atomic<FARPROC> Replacements[kEntryCount] = {};
    CRITICAL_SECTION Lock;
    bool LockReady = false;
    CRITICAL_SECTION SslLocks[CX_SSL_LOCKS];
    int StartCount = 0;
};

TWinsockBinding gBinding;

class TBindingLock {
public:
    TBindingLock() { EnterCriticalSection(&gBinding.Lock); }
    ~TBindingLock() { LeaveCriticalSection(&gBinding.Lock); }
    TBindingLock(const TBindingLock&) = delete;
    TBindingLock& operator=(const TBindingLock&) = delete;
};

void ClearEntries()
{
    for (auto& e : gBinding.Entries)
        e.store(nullptr, std::memory_order_relaxed);
}

HMODULE LoadDll(const char* dll)
{
    HMODULE library = lib::LoadLibraryA(dll);
    if (!library)
        throw ESocketException(std::string("Unable to load ") + dll + " - " +
                               FormatOsError(GetLastError()));
    return library;
}

// An empty name only loads the library.
FARPROC EntryOf(HMODULE library, const char* dll, const std::string& name)
{
    if (name.empty())
        return nullptr;
    FARPROC entry = lib::GetProcAddress(library, name.c_str());
    if (!entry)
        throw ESocketException("Procedure " + name + " not found in " + dll + " - " +
                               FormatOsError(GetLastError()));
    return entry;
}

template <class F>
F Resolve(TEntry entry)
{
    FARPROC p = gBinding.Replacements[entry].load(std::memory_order_relaxed);
    if (!p)
        p = gBinding.Entries[entry].load(std::memory_order_relaxed);
    if (!p) {
        p = entry == e_WSAIoctl ? LoadWinsock2(kEntryNames[entry]) : LoadWinsock(kEntryNames[entry]);
        gBinding.Entries[entry].store(p, std::memory_order_relaxed);
    }
    return ProcCast<F>(p);
}

// Holds one use of the library for the length of a call.
class TCountedCall {
public:
    TCountedCall() { WinsockUsageInc(); }
    ~TCountedCall() { WinsockUsageDec(); }
    TCountedCall(const TCountedCall&) = delete;
    TCountedCall& operator=(const TCountedCall&) = delete;
};

}  // namespace

namespace winsock {
#define CX_DEFINE_BINDING(name, result, params, args)                                              \
    result name params                                                                             \
    {                                                                                              \
        using TFn = result(WSAAPI*) params;                                                        \
        return Resolve<TFn>(e_##name) args;                                                        \
    }
CX_WINSOCK_FUNCTIONS(CX_DEFINE_BINDING)
#undef CX_DEFINE_BINDING
}  // namespace winsock

FARPROC LoadWinsock(const std::string& name)
{
    TBindingLock lock;
    if (!gBinding.Library) {
        HMODULE library = LoadDll(kWinsockDll);
        gBinding.Library = library;
        int status;
        try {
            status = winsock::WSAStartup(lib::MakeWord(gBinding.ReqVerLow, gBinding.ReqVerHigh),
                                         &gBinding.Data);
        } catch (...) {
            gBinding.Library = nullptr;
            ClearEntries();
            lib::FreeLibrary(library);
            throw;
        }
        if (status != 0) {
            // An unstarted library is of no use: forget it, so that the next
            // call tries (and reports) again.
            gBinding.Library = nullptr;
            ClearEntries();
            lib::FreeLibrary(library);
            throw ESocketException(std::string("Winsock startup error ") + kWinsockDll + " - " +
                                   FormatOsError(DWORD(status)));
        }
    }
    return EntryOf(gBinding.Library, kWinsockDll, name);
}

FARPROC LoadWinsock2(const std::string& name)
{
    TBindingLock lock;
    if (!gBinding.Library)
        LoadWinsock(std::string());
    if (!gBinding.Library2)
        gBinding.Library2 = LoadDll(kWinsock2Dll);
    return EntryOf(gBinding.Library2, kWinsock2Dll, name);
}

void UnloadWinsock()
{
    TBindingLock lock;
    if (!gBinding.Library || gBinding.UsageCount != 0)
        return;
    try {
        winsock::WSACleanup();
    } catch (...) {
        // The libraries go whatever the clean-up reports.
    }
    if (gBinding.Library2) {
        lib::FreeLibrary(gBinding.Library2);
        gBinding.Library2 = nullptr;
        gBinding.Entries[e_WSAIoctl].store(nullptr, std::memory_order_relaxed);
    }
    lib::FreeLibrary(gBinding.Library);
    gBinding.Library = nullptr;
    ClearEntries();
}

void WinsockUsageInc()
{
    TBindingLock lock;
    ++gBinding.UsageCount;
}

void WinsockUsageDec()
{
    TBindingLock lock;
    --gBinding.UsageCount;
}

void WinsockUsageRelease()
{
    TBindingLock lock;
    if (--gBinding.UsageCount < 1)
        UnloadWinsock();
}

int WinsockUsageCount()
{
    TBindingLock lock;
    return gBinding.UsageCount;
}

bool WinsockLoaded()
{
    TBindingLock lock;
    return gBinding.Library != nullptr;
}

const WSADATA& WinsockData()
{
    return gBinding.Data;
}

BYTE WinsockReqVerLow()
{
    return gBinding.ReqVerLow;
}

BYTE WinsockReqVerHigh()
{
    return gBinding.ReqVerHigh;
}

namespace {
bool SetReqVer(BYTE& field, BYTE value)
{
    TBindingLock lock;
    if (field == value)
        return true;
    if (gBinding.Library)
        return false;
    field = value;
    return true;
}
}  // namespace

bool SetWinsockReqVerLow(BYTE value)
{
    return SetReqVer(gBinding.ReqVerLow, value);
}

bool SetWinsockReqVerHigh(BYTE value)
{
    return SetReqVer(gBinding.ReqVerHigh, value);
}

void XSocket_WSASetLastError(int error)
{
    TCountedCall call;
    winsock::WSASetLastError(error);
}

int XSocket_WSAGetLastError()
{
    TCountedCall call;
    return winsock::WSAGetLastError();
}

int XSocket_setsockopt(SOCKET s, int level, int name, const char* value, int len)
{
    TCountedCall call;
    return winsock::setsockopt(s, level, name, value, len);
}

int XSocket_getsockopt(SOCKET s, int level, int name, char* value, int* len)
{
    TCountedCall call;
    return winsock::getsockopt(s, level, name, value, len);
}

int XSocket_WSAIoctl(SOCKET s, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,
                     LPDWORD returned, LPWSAOVERLAPPED overlapped,
                     LPWSAOVERLAPPED_COMPLETION_ROUTINE completion)
{
    TCountedCall call;
    return winsock::WSAIoctl(s, code, in, inLen, out, outLen, returned, overlapped, completion);
}

int XSocket_closesocket(SOCKET s)
{
    TCountedCall call;
    return winsock::closesocket(s);
}

int XSocket_recv(SOCKET s, char* buf, int len, int flags)
{
    TCountedCall call;
    return winsock::recv(s, buf, len, flags);
}

std::string XSocket_inet_ntoa(struct in_addr in)
{
    TCountedCall call;
    const char* text = winsock::inet_ntoa(in);
    return text ? std::string(text) : std::string();
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsDottedIP(const std::string& text)
{
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && text[i] == ' ')
        ++i;
    if (i < n && text[i] == '.')
        return false;
    int dots = 0;
    unsigned part = 0;
    while (i < n) {
        const char c = text[i];
        if (IsDigit(c)) {
            // Capped, so that long digit runs cannot wrap back into range.
            part = part * 10 + unsigned(c - '0');
            if (part > 255)
                return false;
            ++i;
        } else if (c == '.') {
            if (++dots > 3 || i + 1 >= n || !IsDigit(text[i + 1]))
                return false;
            part = 0;
            ++i;
        } else {
            while (i < n && text[i] == ' ')
                ++i;
            if (i < n)
                return false;
        }
    }
    return dots == 3 && part <= 255;
}

std::string XSocketErrorDesc(int code)
{
    struct TErrorText {
        int Code;
        const char* Text;
    };
    static const TErrorText kTexts[] = {
        {0, "No Error"},
        {10004, "Interrupted system call"},
        {10009, "Bad file number"},
        {10013, "Permission denied"},
        {10014, "Bad address"},
        {10022, "Invalid argument"},
        {10024, "Too many open files"},
        {10035, "Operation would block"},
        {10036, "Operation now in progress"},
        {10037, "Operation already in progress"},
        {10038, "Socket operation on non-socket"},
        {10039, "Destination address required"},
        {10040, "Message too long"},
        {10041, "Protocol wrong type for socket"},
        {10042, "Protocol not available"},
        {10043, "Protocol not supported"},
        {10044, "Socket type not supported"},
        {10045, "Operation not supported on socket"},
        {10046, "Protocol family not supported"},
        {10047, "Address family not supported by protocol family"},
        {10048, "Address already in use"},
        {10049, "Address not available"},
        {10050, "Network is down"},
        {10051, "Network is unreachable"},
        {10052, "Network dropped connection on reset"},
        {10053, "Connection aborted"},
        {10054, "Connection reset by peer"},
        {10055, "No buffer space available"},
        {10056, "Socket is already connected"},
        {10057, "Socket is not connected"},
        {10058, "Can't send after socket shutdown"},
        {10059, "Too many references: can't splice"},
        {10060, "Connection timed out"},
        {10061, "Connection refused"},
        {10062, "Too many levels of symbolic links"},
        {10063, "File name too long"},
        {10064, "Host is down"},
        {10065, "No route to host"},
        {10066, "Directory not empty"},
        {10067, "Too many processes"},
        {10068, "Too many users"},
        {10069, "Disc quota exceeded"},
        {10070, "Stale NFS file handle"},
        {10071, "Too many levels of remote in path"},
        {10091, "Network sub-system is unusable"},
        {10092, "WinSock DLL cannot support this application"},
        {10093, "WinSock not initialized"},
        {11001, "Host not found"},
        {11002, "Non-authoritative host not found"},
        {11003, "Non-recoverable error"},
        {11004, "No Data"},
    };
    for (const TErrorText& t : kTexts)
        if (t.Code == code)
            return t.Text;
    return "Not a WinSock error";
}

std::string FormatOsError(DWORD code)
{
    return lib::SysErrorMessage(code) + " (#" + lib::UIntToStr(code) + ")";
}

std::string FormatWinsockError(int code)
{
    return XSocketErrorDesc(code) + " (#" + lib::IntToStr(code) + ")";
}

void SetWinsockEntry(const char* name, FARPROC entry)
{
    for (int i = 0; i < kEntryCount; ++i) {
        if (std::strcmp(kEntryNames[i], name) == 0) {
            gBinding.Replacements[i].store(entry, std::memory_order_relaxed);
            return;
        }
    }
    throw ESocketException(std::string("Not a bound WinSock function: ") + name);
}

CRITICAL_SECTION* CxSslLock(int index)
{
    return &gBinding.SslLocks[index];
}

void InitUnitCalyxWinSock()
{
    if (gBinding.StartCount++ > 0)
        return;
    if (!gBinding.LockReady) {
        InitializeCriticalSection(&gBinding.Lock);
        gBinding.LockReady = true;
    }
    for (int i = CX_SSL_LOCKS; i-- > 0;)
        InitializeCriticalSection(&gBinding.SslLocks[i]);
}

void FinUnitCalyxWinSock()
{
    if (gBinding.StartCount == 0 || --gBinding.StartCount > 0)
        return;
    if (gBinding.UsageCount < 1) {
        UnloadWinsock();
        DeleteCriticalSection(&gBinding.Lock);
        gBinding.LockReady = false;
    }
    for (auto& section : gBinding.SslLocks)
        DeleteCriticalSection(&section);
}

}  // namespace calyx
