#include "net/ipv4/WinsockProvider.h"
#include "net/CompletionMessage.h"
#include "net/ipv4/Ipv4Record.h"
#include "net/ipv4/WsWorker.h"
#include "net/TransportFactories.h"
#include "runtime/ErrorMap.h"
#include "runtime/ManagedObject.h"

WinsockProvider* WinsockProvider::Create(SOCKET socket, uint32_t type, NtStatus* status)
{
    WinsockProvider* provider = ManagedNew<WinsockProvider>();
    if (!provider) {
        closesocket(socket);
        *status = kStatusNoMemory;
        return nullptr;
    }
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(provider->cb);
    provider->worker_.reset(WsWorker::Create(socket, type, status));
    if (!provider->worker_)
        return nullptr;
    held.release();  // the caller's
    return provider;
}

WinsockProvider::~WinsockProvider()
{
    if (!worker_)
        return;
    WsPostClose(worker_.get(), nullptr);
}

void WinsockProvider::Close(const Closure* closure) { WsPostClose(worker_.get(), closure); }

// Runs here rather than on the I/O thread: the accept closure is in place
// before FD_ACCEPT is selected, so the thread never sees an accept without it.
void WinsockProvider::Listen(const Closure* accept, uint32_t backlog, const Closure* result)
{
    (void)CompleteWithStatus(result, WsListen(worker_.get(), accept, backlog), nullptr, 0);
}

// The option word is not used by this transport.
void WinsockProvider::Connect(const AddressRecord* remote, uint32_t, const Closure* closure)
{
    WsPostConnect(worker_.get(), remote, closure);
}

void WinsockProvider::Disconnect(uint32_t, const Closure* closure) { WsPostDisconnect(worker_.get(), closure); }

void WinsockProvider::Write(const BufferHandle* buffer, const Closure* closure)
{
    WsPostWrite(worker_.get(), buffer, closure);
}

void WinsockProvider::Read(const BufferHandle* buffer, const Closure* closure)
{
    WsPostRead(worker_.get(), buffer, closure);
}

void WinsockProvider::SendTo(const BufferHandle* buffer, const AddressRecord* destination,
                             const Closure* closure)
{
    WsPostSendTo(worker_.get(), buffer, destination, closure);
}

void WinsockProvider::ReceiveFrom(const BufferHandle* buffer, const Closure* closure)
{
    WsPostReceiveFrom(worker_.get(), buffer, closure);
}

NtStatus WsCreateSocket(const AddressRecord* record, SOCKET* out)
{
    *out = INVALID_SOCKET;
    uint32_t type = record->type;
    SOCKET s = WSASocketA(type & 0xFF, (type >> 8) & 0xFF, static_cast<int>(type >> 16), nullptr, 0,
                          WSA_FLAG_OVERLAPPED);
    if (s == INVALID_SOCKET)
        return MapErrorToStatus(WSAGetLastError());
    sockaddr_in local = RecordToSockaddr(record);
    BOOL broadcast = TRUE;
    bool ready = bind(s, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != SOCKET_ERROR &&
                 (type != kAddressTypeUdp ||
                  setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast),
                             sizeof(broadcast)) != SOCKET_ERROR);
    if (!ready) {
        NtStatus status = MapErrorToStatus(WSAGetLastError());
        closesocket(s);
        return status;
    }
    *out = s;
    return kStatusSuccess;
}

// Completes with the endpoint's local record: the address actually bound,
// with the port the system chose for port 0.
NtStatus WinsockProviderFactory(const AddressRecord* record, const Closure* closure)
{
    SOCKET s;
    NtStatus status = WsCreateSocket(record, &s);
    if (status != kStatusSuccess)
        return NotifyStatusObjectAddress(closure, status, nullptr, record);
    sockaddr_in name;
    int length = sizeof(name);
    if (getsockname(s, reinterpret_cast<sockaddr*>(&name), &length) == SOCKET_ERROR) {
        status = MapErrorToStatus(WSAGetLastError());
        closesocket(s);
        return NotifyStatusObjectAddress(closure, status, nullptr, record);
    }
    Ipv4Record local = SockaddrToRecord(name, record->type);
    WinsockProvider* provider = WinsockProvider::Create(s, record->type, &status);
    if (!provider)
        return NotifyStatusObjectAddress(closure, status, nullptr, record);
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(provider->cb);
    return NotifyStatusObjectAddress(closure, kStatusSuccess, ObjectRefOf(static_cast<TransportProvider*>(provider)),
                                     &local.header);
}
