// Little-endian byte buffers as they travel between the log service and a monitor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace logpeer {

using Bytes = std::vector<uint8_t>;

inline void PutU8(Bytes& out, uint8_t v) { out.push_back(v); }
inline void PutU16(Bytes& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutU32(Bytes& out, uint32_t v)
{
    PutU16(out, static_cast<uint16_t>(v));
    PutU16(out, static_cast<uint16_t>(v >> 16));
}
inline void PutBytes(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
inline void PutString(Bytes& out, const std::string& s, bool withNul)
{
    out.insert(out.end(), s.begin(), s.end());
    if (withNul)
        out.push_back(0);
}

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) { return GetU16(p) | (static_cast<uint32_t>(GetU16(p + 2)) << 16); }

// "4d 53 47" style text, for event lines and test failure messages.
std::string HexText(const uint8_t* data, size_t size);
inline std::string HexText(const Bytes& b) { return HexText(b.data(), b.size()); }
// Parses hex digits, ignoring blanks, ':' and '-'; false on any other character or an odd count.
bool ParseHex(const std::string& text, Bytes& out);

}  // namespace logpeer
