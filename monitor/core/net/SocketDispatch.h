#pragma once
#include "net/FamilyRegistry.h"

// The factory for a record's family and the record's kind (bits 8-15 of the
// type word). 0, kStatusNotImplemented for a family without a factory, kStatusInvalidParameter for a
// missing record or a kind other than stream or datagram.
[[nodiscard]] NtStatus SocketDispatch(const AddressRecord* record, FamilyFactory* factory, uint32_t* kind);
