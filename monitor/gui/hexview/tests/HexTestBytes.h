// The directions' short names, byte patterns and readers for the hex-dump model's tests.
#pragma once

#include "HexDumpModel.h"
#include "HexLines.h"

#include <cstdint>
#include <vector>

namespace hexview_test {

constexpr HexDirection Tx = HexDirection::Tx;
constexpr HexDirection Rx = HexDirection::Rx;

// `count` bytes counting up from `first`, wrapping after 0xFF.
inline std::vector<uint8_t> Counting(size_t count, uint8_t first = 0) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

inline uint32_t Append(HexDumpModel& model, HexDirection direction, const std::vector<uint8_t>& bytes) {
    return model.Append(direction, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Every byte the model holds, oldest first, read line by line.
inline std::vector<uint8_t> HeldBytes(const HexDumpModel& model) {
    std::vector<uint8_t> bytes;
    HexLineReader reader = HexLineReader::All(model);
    HexLine line;
    while (reader.Next(&line))
        bytes.insert(bytes.end(), line.bytes, line.bytes + line.count);
    return bytes;
}

}  // namespace hexview_test
