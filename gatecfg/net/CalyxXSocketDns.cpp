// Socket component: asynchronous name and address lookups.
//
// WinSock writes each asynchronous lookup's host entry into the caller's area
// from a thread of its own until it posts the reply, and cancelling does not
// stop it on every system. Each request therefore has its own area; a request
// that is abandoned leaves its area to a process-wide list, freed when its
// reply turns up (or the reply is dropped with the component's ids).
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "net/CalyxLibrary.h"
#include "net/CalyxXSocket.h"

namespace calyx {

namespace {

constexpr int kLookupAreaSize = 1025;  // MAXGETHOSTSTRUCT

class TOrphanLookups {
public:
    ~TOrphanLookups()
    {
        for (auto& o : FItems)
            delete[] o.second;
    }
    void Add(HANDLE request, char* area)
    {
        std::lock_guard<std::mutex> lock(FLock);
        FItems.emplace_back(request, area);
    }
    // Frees the area of an abandoned request; false when it is none of them.
    bool Release(HANDLE request)
    {
        std::lock_guard<std::mutex> lock(FLock);
        for (auto it = FItems.begin(); it != FItems.end(); ++it) {
            if (it->first == request) {
                delete[] it->second;
                FItems.erase(it);
                return true;
            }
        }
        return false;
    }
    int Count()
    {
        std::lock_guard<std::mutex> lock(FLock);
        return int(FItems.size());
    }

private:
    std::mutex FLock;
    std::vector<std::pair<HANDLE, char*>> FItems;
};

TOrphanLookups& Orphans()
{
    static TOrphanLookups orphans;
    return orphans;
}

WORD ReplyError(const TMessage& msg)
{
    return HIWORD(msg.LParam);
}

}  // namespace

int CxOrphanLookupCount()
{
    return Orphans().Count();
}

void TCustomXSocket::ForgetDnsLookup(bool keepArea)
{
    if (FDnsArea) {
        if (keepArea && FDnsLookupHandle)
            Orphans().Add(FDnsLookupHandle, FDnsArea);
        else
            delete[] FDnsArea;
    }
    FDnsArea = nullptr;
    FDnsLookupHandle = nullptr;
}

// A new lookup replaces the one still pending (its area left to the orphans)
// and starts from empty results.
void TCustomXSocket::BeginDnsLookup()
{
    if (FDnsLookupHandle) {
        winsock::WSACancelAsyncRequest(FDnsLookupHandle);
        ForgetDnsLookup(true);
    }
    FDnsResult.clear();
    FDnsResultList.clear();
}

void TCustomXSocket::MessageDiscarded(const TMessage& msg)
{
    if (msg.Msg == FMsg_WM_ASYNCGETHOSTBYNAME || msg.Msg == FMsg_WM_ASYNCGETHOSTBYADDR)
        Orphans().Release(HANDLE(msg.WParam));
}

void TCustomXSocket::ReadHostEntry(const hostent* entry, bool names)
{
    if (names) {
        FDnsResult = entry->h_name ? entry->h_name : "";
        FDnsResultList.push_back(FDnsResult);
        for (char** alias = entry->h_aliases; alias && *alias; ++alias)
            FDnsResultList.push_back(*alias);
        return;
    }
    for (char** addr = entry->h_addr_list; addr && *addr; ++addr) {
        in_addr a;
        std::memcpy(&a, *addr, sizeof a);
        FDnsResultList.push_back(XSocket_inet_ntoa(a));
    }
    if (!FDnsResultList.empty())
        FDnsResult = FDnsResultList.front();
}

// With OnError assigned the refusal is followed by the lookup's end, unless
// the error's handler freed the component.
void TCustomXSocket::RefuseLookup(const std::string& text)
{
    const TCxLifeGuard life(this);
    RaiseException(text);
    if (life.InService())
        TriggerDnsLookupDone(WSAEINVAL);
}

void TCustomXSocket::DnsLookup(const std::string& hostName)
{
    if (hostName.empty()) {
        RefuseLookup("DNS lookup: invalid host name.");
        return;
    }
    BeginDnsLookup();
    if (IsDottedIP(hostName)) {
        const u_long addr = winsock::inet_addr(lib::Trim(hostName).c_str());
        if (addr != INADDR_NONE) {
            in_addr a;
            a.s_addr = addr;
            FDnsResult = XSocket_inet_ntoa(a);
            FDnsResultList.push_back(FDnsResult);
            TriggerDnsLookupDone(0);
            return;
        }
    }
    if (!HandleAllocated()) {
        RaiseException("DnsLookup: Window not assigned");
        return;
    }
    FDnsEarly = false;
    FDnsArea = new char[kLookupAreaSize];
    FDnsLookupHandle = winsock::WSAAsyncGetHostByName(Handle(), FMsg_WM_ASYNCGETHOSTBYNAME,
                                                      hostName.c_str(), FDnsArea, kLookupAreaSize);
    if (!FDnsLookupHandle) {
        const int error = XSocket_WSAGetLastError();
        ForgetDnsLookup(false);
        RaiseException(hostName + ": can't start DNS lookup - " + FormatWinsockError(error));
        return;
    }
    if (FDnsEarly) {
        FDnsEarly = false;
        TMessage early = FDnsEarlyMsg;
        WMAsyncGetHostByName(early);
    }
}

void TCustomXSocket::WMAsyncGetHostByName(TMessage& msg)
{
    const HANDLE request = HANDLE(msg.WParam);
    if (!FDnsLookupHandle) {
        if (Orphans().Release(request))
            return;
        if (FDnsArea) {
            // The reply overtook the return of WSAAsyncGetHostByName.
            FDnsEarlyMsg = msg;
            FDnsEarly = true;
        }
        return;
    }
    if (request != FDnsLookupHandle) {
        Orphans().Release(request);
        return;
    }
    const WORD error = ReplyError(msg);
    if (error == 0)
        ReadHostEntry(reinterpret_cast<const hostent*>(FDnsArea), false);
    ForgetDnsLookup(false);
    TriggerDnsLookupDone(error);
}

void TCustomXSocket::WMAsyncGetHostByAddr(TMessage& msg)
{
    const HANDLE request = HANDLE(msg.WParam);
    if (!FDnsLookupHandle || request != FDnsLookupHandle) {
        Orphans().Release(request);
        return;
    }
    const WORD error = ReplyError(msg);
    if (error == 0)
        ReadHostEntry(reinterpret_cast<const hostent*>(FDnsArea), true);
    ForgetDnsLookup(false);
    TriggerDnsLookupDone(error);
}

void TCustomXSocket::ReverseDnsLookup(const std::string& hostAddr)
{
    // Only an address can be looked up backwards: a name would turn into
    // INADDR_NONE and look up 255.255.255.255.
    if (hostAddr.empty() || !IsDottedIP(hostAddr)) {
        RefuseLookup("Reverse DNS Lookup: Invalid host name.");
        return;
    }
    BeginDnsLookup();
    const u_long addr = winsock::inet_addr(lib::Trim(hostAddr).c_str());
    if (!HandleAllocated()) {
        RaiseException("Reverse DNS Lookup: Window not assigned");
        return;
    }
    FDnsArea = new char[kLookupAreaSize];
    FDnsLookupHandle = winsock::WSAAsyncGetHostByAddr(
        Handle(), FMsg_WM_ASYNCGETHOSTBYADDR, reinterpret_cast<const char*>(&addr), sizeof addr,
        AF_INET, FDnsArea, kLookupAreaSize);
    if (!FDnsLookupHandle) {
        const int error = XSocket_WSAGetLastError();
        ForgetDnsLookup(false);
        RaiseException(hostAddr + ": can't start reverse DNS lookup - " + FormatWinsockError(error));
    }
}

void TCustomXSocket::ReverseDnsLookupSync(const std::string& hostAddr)
{
    if (hostAddr.empty() || hostAddr.size() > 256 || !IsDottedIP(hostAddr)) {
        RefuseLookup("Reverse DNS Lookup: Invalid host name.");
        return;
    }
    BeginDnsLookup();
    const u_long addr = winsock::inet_addr(lib::Trim(hostAddr).c_str());
    const hostent* entry =
        winsock::gethostbyaddr(reinterpret_cast<const char*>(&addr), sizeof addr, AF_INET);
    if (!entry) {
        TriggerDnsLookupDone(WORD(XSocket_WSAGetLastError()));
        return;
    }
    ReadHostEntry(entry, true);
    TriggerDnsLookupDone(0);
}

void TCustomXSocket::CancelDnsLookup()
{
    if (!FDnsLookupHandle)
        return;
    const int result = winsock::WSACancelAsyncRequest(FDnsLookupHandle);
    ForgetDnsLookup(true);
    if (result != 0) {
        SocketError("WSACancelAsyncRequest");
        return;
    }
    if (!IsDestroying())
        TriggerDnsLookupDone(WSAEINTR);
}

}  // namespace calyx
