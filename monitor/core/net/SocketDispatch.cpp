#include "net/SocketDispatch.h"

NtStatus SocketDispatch(const AddressRecord* record, FamilyFactory* factory, uint32_t* kind)
{
    *factory = nullptr;
    *kind = 0;
    if (!record || record->size < sizeof(AddressRecord))
        return kStatusInvalidParameter;
    *factory = FindFamilyProvider(AddressFamily(record));
    if (!*factory)
        return kStatusNotImplemented;
    *kind = AddressKind(record);
    if (*kind != kKindStream && *kind != kKindDatagram)
        return kStatusInvalidParameter;
    return kStatusSuccess;
}
