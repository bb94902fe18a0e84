#pragma once
#include "net/TransportProvider.h"
#include "runtime/RefOwner.h"
#include <winsock2.h>

class WsWorker;

// The transport of address family 2: one WinSock 2 socket (TCP or UDP) bound
// to a local address, driven by overlapped calls with completion routines and
// by network-event objects on its own I/O thread (WsWorker).
class WinsockProvider final : public TransportProvider {
public:
    // Takes ownership of the socket (closed on failure). One strong reference
    // for the caller; none on failure, with the status.
    static WinsockProvider* Create(SOCKET socket, uint32_t type, NtStatus* status);
    // The last reference closes the endpoint.
    ~WinsockProvider();

    void Close(const Closure* closure) override;
    void Listen(const Closure* accept, uint32_t backlog, const Closure* result) override;
    void Connect(const AddressRecord* remote, uint32_t option, const Closure* closure) override;
    void Disconnect(uint32_t option, const Closure* closure) override;
    void Write(const BufferHandle* buffer, const Closure* closure) override;
    void Read(const BufferHandle* buffer, const Closure* closure) override;
    void SendTo(const BufferHandle* buffer, const AddressRecord* destination,
                const Closure* closure) override;
    void ReceiveFrom(const BufferHandle* buffer, const Closure* closure) override;

private:
    RefOwner<WsWorker> worker_;
};

// Creates, binds and (for UDP) enables broadcast on a socket for the record's
// type word: 0, or the mapped WinSock error with nothing left open.
[[nodiscard]] NtStatus WsCreateSocket(const AddressRecord* record, SOCKET* out);
