#include "channel/InternetChecksum.h"

uint16_t InternetChecksum(const void* bytes, uint32_t size)
{
    auto* p = static_cast<const uint8_t*>(bytes);
    uint64_t sum = 0;  // no carry is lost however long the range
    for (uint32_t i = 0; i + 1 < size; i += 2)
        sum += static_cast<uint32_t>(p[i] | (p[i + 1] << 8));
    if (size & 1)
        sum += p[size - 1];
    while (sum >> 16)
        sum = (sum >> 16) + (sum & 0xFFFF);
    return static_cast<uint16_t>(~sum);
}
