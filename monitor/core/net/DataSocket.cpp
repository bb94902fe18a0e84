#include "net/DataSocket.h"
#include "net/TransportProvider.h"
#include "runtime/TrackedBlock.h"

// The fields stay plain words (the layout of the class), so they are released by hand.
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
