#pragma once
#include "net/FamilyRegistry.h"

// The factories that NetInit registers: family 2 (IPv4) and family 65 (named pipe).
[[nodiscard]] NtStatus WinsockProviderFactory(const AddressRecord* record, const Closure* closure);
[[nodiscard]] NtStatus PipeProviderFactory(const AddressRecord* record, const Closure* closure);
