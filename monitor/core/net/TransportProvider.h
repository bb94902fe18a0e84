#pragma once
#include "exec/Closure.h"
#include "net/AddressRecord.h"
#include "runtime/ManagedObject.h"

// One endpoint of one address family, made by the family's factory. Every
// operation returns at once and reports through its closure (an empty closure
// drops the completion); the closures and records passed in are copied.
class TransportProvider {
public:
    ControlBlock* cb = nullptr;

    // status
    virtual void Close(const Closure* closure) = 0;
    // `accept` receives one object-record message per accepted connection;
    // `result` one status message once the endpoint listens (or failed to).
    virtual void Listen(const Closure* accept, uint32_t backlog, const Closure* result) = 0;
    // status
    virtual void Connect(const AddressRecord* remote, uint32_t option, const Closure* closure) = 0;
    // status
    virtual void Disconnect(uint32_t option, const Closure* closure) = 0;
    // status; the whole buffer is sent
    virtual void Write(const BufferHandle* buffer, const Closure* closure) = 0;
    // status-count; at most the buffer's size is read
    virtual void Read(const BufferHandle* buffer, const Closure* closure) = 0;
    // status
    virtual void SendTo(const BufferHandle* buffer, const AddressRecord* destination,
                        const Closure* closure) = 0;
    // status-count-record
    virtual void ReceiveFrom(const BufferHandle* buffer, const Closure* closure) = 0;

protected:
    TransportProvider() = default;
    ~TransportProvider() = default;
};

static_assert(sizeof(void*) == 4, "a provider is its dispatch pointer, then its control-block word");

inline TransportProvider* ProviderFromRef(void* ref) { return ObjectFromRef<TransportProvider>(ref); }
