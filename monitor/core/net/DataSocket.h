#pragma once
#include "exec/Closure.h"
#include "net/AddressRecord.h"
#include "runtime/ManagedObject.h"
#include "runtime/ObjRef.h"

// A connected socket: its dispatch pointer, then the control-block word that
// its object reference names, then the fields every kind shares.
class DataSocket {
public:
    ControlBlock* cb = nullptr;
    AddressRecord* local = nullptr;   // own copy
    AddressRecord* remote = nullptr;  // own copy
    ObjRef provider = {};             // strong
    uint32_t option = 0;
    Closure result = {};              // the pending connect

    virtual void Close(uint32_t option, const Closure* closure) = 0;
    virtual void Write(const BufferHandle* buffer, const Closure* closure) = 0;
    virtual void Read(const BufferHandle* buffer, const Closure* closure) = 0;

protected:
    DataSocket() = default;
    // Releasing the provider closes its endpoint, without an orderly disconnect.
    ~DataSocket();
};

static_assert(sizeof(void*) == 4, "sockets are laid out in 32-bit words");

inline DataSocket* DataSocketFromRef(void* ref) { return ObjectFromRef<DataSocket>(ref); }

// A stream connection: close, write and read go to the provider's disconnect, write and read.
class StreamSocket final : public DataSocket {
public:
    void Close(uint32_t option, const Closure* closure) override;
    void Write(const BufferHandle* buffer, const Closure* closure) override;
    void Read(const BufferHandle* buffer, const Closure* closure) override;
};
