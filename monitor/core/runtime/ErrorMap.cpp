#include "runtime/ErrorMap.h"
#include <algorithm>
#include <iterator>

namespace {

struct ErrorEntry {
    int32_t error;
    NtStatus status;
};

// Sorted by error code. 10022 (invalid argument) deliberately maps to
// 0xC0000010, and 10055 (no buffer space) to the warning 0x80000005.
constexpr ErrorEntry kErrorMap[] = {
    {2, 0xC0000034},     {8, 0xC000009A},     {31, 0xC0000001},    {995, 0xC0000240},
    {997, 259},          {10014, 0xC0000023}, {10022, 0xC0000010}, {10038, 0xC000020B},
    {10040, 0xC0000206}, {10048, 0xC000020A}, {10049, 0xC0000141}, {10051, 0xC000023C},
    {10053, 0xC0000241}, {10054, 0xC000020D}, {10055, 0x80000005}, {10056, 0xC000023B},
    {10057, 0xC000023A}, {10060, 0xC00000B5}, {10061, 0xC0000236}, {10065, 0xC000023F},
    {10101, 0xC0000237}, {10111, 0xC0000120},
};

static_assert(std::size(kErrorMap) == 22, "the error map has twenty-two entries");

}  // namespace

// The table is constant, so it needs no building and stays readable even
// before start-up and after shut-down; the two calls keep their place in the
// framework's sequence.
void ErrorMapInit() {}
void ErrorMapDestroy() {}

NtStatus MapErrorToStatus(int32_t error)
{
    if (error == 0)
        return kStatusSuccess;
    const ErrorEntry* end = std::end(kErrorMap);
    const ErrorEntry* found = std::lower_bound(
        std::begin(kErrorMap), end, error,
        [](const ErrorEntry& entry, int32_t key) { return entry.error < key; });
    return found != end && found->error == error ? found->status : kStatusUnsuccessful;
}
