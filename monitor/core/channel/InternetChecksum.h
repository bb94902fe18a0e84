#pragma once
#include <cstdint>

// The Internet checksum (RFC 1071) of a byte range: little-endian 16-bit words
// summed, an odd trailing byte added as its value, carries folded, complemented.
uint16_t InternetChecksum(const void* bytes, uint32_t size);
