#pragma once
#include "exec/Closure.h"
#include "net/AddressRecord.h"

// The factory of an address family's transport: creates a TransportProvider
// for the record's local side and completes the closure with a
// status-object-record message (the provider, the endpoint's local address).
typedef NtStatus (*FamilyFactory)(const AddressRecord* record, const Closure* closure);

// Starts WinSock 2.2 and registers the IPv4 and pipe factories, once per
// framework run. A caller that arrives while the first is still at work waits
// for it; every caller after the first gets true, whatever the first's outcome.
// Outside FrameworkStartup..FrameworkShutdown the registry is not opened and
// the answer is false.
bool NetInit();

// Inserts at the front, so a later registration of a family hides an earlier
// one. 0, kStatusNoMemory when the entry cannot be had, or kStatusInvalidState outside
// start-up and shut-down.
[[nodiscard]] NtStatus RegisterFamilyProvider(uint32_t family, FamilyFactory factory);
// Runs NetInit first (ignoring its result); the latest factory of the family,
// or none (also outside start-up and shut-down).
FamilyFactory FindFamilyProvider(uint32_t family);
