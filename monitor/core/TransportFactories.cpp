#include "TransportFactories.h"
#include "CompletionMessage.h"

// Until the IPv4 transport exists, its family answers "not implemented" with
// no provider and the caller's record, as an unknown family would. The pipe
// factory lives with the pipe transport.
NtStatus WinsockProviderFactory(const AddressRecord* record, const Closure* closure)
{
    return NotifyStatusObjectAddress(closure, kStatusNotImplemented, nullptr, record);
}
