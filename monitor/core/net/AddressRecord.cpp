#include "net/AddressRecord.h"
#include "runtime/BlockOwner.h"
#include "runtime/TrackedBlock.h"
#include <cwchar>

namespace {

constexpr char kPipePrefix[] = "\\\\.\\pipe\\";
constexpr uint32_t kPipePrefixUnits = 9;
static_assert(sizeof(kPipePrefix) == kPipePrefixUnits + 1, "the prefix is nine characters");
constexpr uint32_t kMaxExtraOffset = 0xFFFF;  // bits 1-16 of the flags word

// One writer for both widths; Unit is char or wchar_t (16 bits here).
template <typename Unit>
AddressRecord* PipeAddressFromName(const Unit* name, uint32_t length, const void* extra,
                                   uint32_t extraLength, uint32_t wideFlag)
{
    const bool prefixed = name[0] != Unit('\\');
    const uint64_t nameUnits = uint64_t(prefixed ? kPipePrefixUnits : 0) + length + 1;
    const uint64_t withName = kPipeNameOffset + nameUnits * sizeof(Unit);
    const uint64_t total = withName + (extra ? extraLength : 0);
    if (total > UINT32_MAX || (extra && withName > kMaxExtraOffset))
        return nullptr;
    auto* record = static_cast<AddressRecord*>(BlockAlloc(uint32_t(total)));
    if (!record)
        return nullptr;
    record->size = uint32_t(total);
    record->type = kAddressTypePipe;
    const uint32_t flags = wideFlag | (extra ? uint32_t(withName) << 1 : 0);
    auto* bytes = reinterpret_cast<char*>(record);
    std::memcpy(bytes + 8, &flags, 4);
    Unit* out = reinterpret_cast<Unit*>(bytes + kPipeNameOffset);
    if (prefixed)
        for (uint32_t i = 0; i < kPipePrefixUnits; ++i)
            *out++ = Unit(kPipePrefix[i]);
    std::memcpy(out, name, (length + 1) * sizeof(Unit));
    if (extra && extraLength)
        std::memcpy(bytes + withName, extra, extraLength);
    return record;
}

}  // namespace

static_assert(sizeof(wchar_t) == 2, "wide pipe names are UTF-16");

AddressRecord* PipeAddressFromNameA(const char* name, const void* extra, uint32_t extraLength)
{
    if (!name)
        return nullptr;
    return PipeAddressFromName(name, uint32_t(std::strlen(name)), extra, extraLength, 0);
}

AddressRecord* PipeAddressFromNameW(const wchar_t* name, const void* extra, uint32_t extraLength)
{
    if (!name)
        return nullptr;
    return PipeAddressFromName(name, uint32_t(std::wcslen(name)), extra, extraLength,
                               kPipeFlagWide);
}

int RecordCompare(const AddressRecord* a, const AddressRecord* b)
{
    if (a == b)
        return 0;
    if (!a)
        return -1;
    if (!b)
        return 1;
    if (a->size != b->size)
        return a->size < b->size ? -1 : 1;
    int order = std::memcmp(a, b, a->size);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

AddressRecord* RecordDuplicate(const AddressRecord* record)
{
    if (!record)
        return nullptr;
    void* copy = BlockAlloc(record->size);
    if (copy)
        std::memcpy(copy, record, record->size);
    return static_cast<AddressRecord*>(copy);
}

void RecordReplace(AddressRecord** field, AddressRecord* record)
{
    BlockOwner<AddressRecord> old(*field);
    *field = record;
}
