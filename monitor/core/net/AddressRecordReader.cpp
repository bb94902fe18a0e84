#include "net/AddressRecordReader.h"
#include <cstring>

namespace {

uint32_t U32At(const void* bytes, uint32_t offset)
{
    uint32_t value;
    std::memcpy(&value, static_cast<const char*>(bytes) + offset, sizeof(value));
    return value;
}

// Units before the first terminator of the field, or the field's length when it has none.
uint32_t UnitsBeforeTerminator(const char* field, uint32_t bytes, bool wide)
{
    const uint32_t unit = wide ? 2 : 1;
    for (uint32_t i = 0; i + unit <= bytes; i += unit) {
        if (field[i] == 0 && (!wide || field[i + 1] == 0))
            return i / unit;
    }
    return bytes / unit;
}

}  // namespace

NtStatus AddressRecordCheck(const void* bytes, uint32_t available)
{
    if (!bytes || available < sizeof(AddressRecord))
        return kStatusInvalidAddress;
    uint32_t size = U32At(bytes, 0);
    return size >= sizeof(AddressRecord) && size <= available ? kStatusSuccess : kStatusInvalidAddress;
}

NtStatus PipeRecordRead(const void* bytes, uint32_t available, PipeRecordView* view)
{
    static const char kNoName[2] = {};
    *view = {kNoName, 0, false, nullptr, 0};
    if (AddressRecordCheck(bytes, available) != kStatusSuccess || U32At(bytes, 4) != kAddressTypePipe)
        return kStatusInvalidAddress;
    const uint32_t size = U32At(bytes, 0);
    if (size == sizeof(AddressRecord))
        return kStatusSuccess;
    if (size < kPipeNameOffset)
        return kStatusInvalidAddress;
    const uint32_t flags = U32At(bytes, 8);
    const uint32_t extraOffset = (flags >> 1) & 0xFFFF;
    if (extraOffset != 0 && (extraOffset < kPipeNameOffset || extraOffset > size))
        return kStatusInvalidAddress;
    const bool wide = (flags & kPipeFlagWide) != 0;
    const uint32_t nameBytes = (extraOffset ? extraOffset : size) - kPipeNameOffset;
    if (wide && nameBytes % 2 != 0)
        return kStatusInvalidAddress;
    const char* name = static_cast<const char*>(bytes) + kPipeNameOffset;
    const uint32_t units = UnitsBeforeTerminator(name, nameBytes, wide);
    if (units == nameBytes / (wide ? 2 : 1))
        return kStatusInvalidAddress;  // no terminator inside the field
    view->name = name;
    view->nameUnits = units;
    view->wide = wide;
    if (extraOffset && extraOffset < size) {
        view->extra = static_cast<const char*>(bytes) + extraOffset;
        view->extraBytes = size - extraOffset;
    }
    return kStatusSuccess;
}
