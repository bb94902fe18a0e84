#include "net/datagram/DatagramSocket.h"
#include "net/CompletionMessage.h"
#include "net/TransportProvider.h"

void DatagramSocket::Close(uint32_t, const Closure* closure)
{
    (void)CompleteWithStatus(closure, kStatusSuccess, nullptr, 0);
}

void DatagramSocket::Write(const BufferHandle* buffer, const Closure* closure)
{
    ProviderFromRef(provider.object)->SendTo(buffer, remote, closure);
}
