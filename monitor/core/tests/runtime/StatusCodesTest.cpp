#include "runtime/ErrorMap.h"
#include "support/CoreTestFixture.h"

namespace {

class StatusCodes : public CoreTest {};

TEST_F(StatusCodes, ErrorMapHoldsExactlyTheListedEntries)
{
    struct Case {
        int32_t error;
        NtStatus status;
    };
    const Case listed[] = {
        {2, 0xC0000034},     {8, 0xC000009A},     {31, 0xC0000001},    {995, 0xC0000240},
        {997, 259},          {10014, 0xC0000023}, {10022, 0xC0000010}, {10038, 0xC000020B},
        {10040, 0xC0000206}, {10048, 0xC000020A}, {10049, 0xC0000141}, {10051, 0xC000023C},
        {10053, 0xC0000241}, {10054, 0xC000020D}, {10055, 0x80000005}, {10056, 0xC000023B},
        {10057, 0xC000023A}, {10060, 0xC00000B5}, {10061, 0xC0000236}, {10065, 0xC000023F},
        {10101, 0xC0000237}, {10111, 0xC0000120},
    };
    for (const Case& c : listed)
        EXPECT_EQ(MapErrorToStatus(c.error), c.status) << "error " << c.error;
    EXPECT_EQ(MapErrorToStatus(0), kStatusSuccess);
    // Gaps between listed entries, the ends of the range, and negative values.
    for (int32_t unknown : {1, 3, 996, 998, 10023, 10050, 10052, 10058, 10112, 12345, -1, -10054,
                            INT32_MIN, INT32_MAX})
        EXPECT_EQ(MapErrorToStatus(unknown), kStatusUnsuccessful) << "error " << unknown;
}

}  // namespace
