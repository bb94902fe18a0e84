#pragma once
#include "net/FamilyRegistry.h"

// The factories that NetInit registers: family 2 (IPv4) and family 65 (named pipe).
NtStatus WinsockProviderFactory(const AddressRecord* record, const Closure* closure);
NtStatus PipeProviderFactory(const AddressRecord* record, const Closure* closure);
