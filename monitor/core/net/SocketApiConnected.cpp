#include "net/DataSocket.h"
#include "net/SocketApi.h"

void SockClose(void* socket, uint32_t option, const Closure* closure)
{
    DataSocketFromRef(socket)->Close(option, closure);
}

void SockSend(void* socket, const BufferHandle* buffer, const Closure* closure)
{
    const Closure none = {};
    DataSocketFromRef(socket)->Write(buffer, closure ? closure : &none);
}

void SockReceive(void* socket, const BufferHandle* buffer, const Closure* closure)
{
    DataSocketFromRef(socket)->Read(buffer, closure);
}

const AddressRecord* SockLocalRecord(void* socket) { return DataSocketFromRef(socket)->local; }
const AddressRecord* SockRemoteRecord(void* socket) { return DataSocketFromRef(socket)->remote; }
