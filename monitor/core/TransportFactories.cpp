#include "TransportFactories.h"
#include "CompletionMessage.h"

// Until the pipe transport exists, its family answers "not implemented" with
// no provider and the caller's record, as an unknown family would. The IPv4
// factory lives with its transport (WinsockProvider.cpp).
NtStatus PipeProviderFactory(const AddressRecord* record, const Closure* closure)
{
    return NotifyStatusObjectAddress(closure, kStatusNotImplemented, nullptr, record);
}
