#include "net/DataSocket.h"
#include "net/TransportProvider.h"
#include "runtime/TrackedBlock.h"

DataSocket::~DataSocket()
{
    BlockRelease(local);
    BlockRelease(remote);
    ClosureRelease(&result);
    ObjRefRelease(&provider);
}

void StreamSocket::Close(uint32_t closeOption, const Closure* closure)
{
    ProviderFromRef(provider.object)->Disconnect(closeOption, closure);
}

void StreamSocket::Write(const BufferHandle* buffer, const Closure* closure)
{
    ProviderFromRef(provider.object)->Write(buffer, closure);
}

void StreamSocket::Read(const BufferHandle* buffer, const Closure* closure)
{
    ProviderFromRef(provider.object)->Read(buffer, closure);
}
