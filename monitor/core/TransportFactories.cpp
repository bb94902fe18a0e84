#include "TransportFactories.h"
#include "CompletionMessage.h"

// Until the transports exist, both families answer "not implemented" with no
// provider and the caller's record, as an unknown family would.
NtStatus WinsockProviderFactory(const AddressRecord* record, const Closure* closure)
{
    return NotifyStatusObjectAddress(closure, kStatusNotImplemented, nullptr, record);
}

NtStatus PipeProviderFactory(const AddressRecord* record, const Closure* closure)
{
    return NotifyStatusObjectAddress(closure, kStatusNotImplemented, nullptr, record);
}
