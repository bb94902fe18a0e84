// Controller frames: "$" requests and "#" replies, one per line, each ending
// with a CRC-8 over every character before it as two upper-case hex digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gatecfg {

// One step of the CRC-8 (polynomial 0x31, MSB first, no reflection, no final
// XOR) over one character, taken as an unsigned byte.
void Crc8Update(char ch, std::uint8_t& crc);

// The CRC-8 of the whole text (register starts at 0xFF) as two hex digits.
std::string Crc8Text(const std::string& text);

// The frame followed by its CRC.
std::string AppendCrc(const std::string& frame);

// `length` characters from the 1-based `position`; whatever lies past the end
// of the text reads as empty, so a short line never fails.
std::string FieldAt(const std::string& text, std::size_t position, std::size_t length = 1);

// A reply line without its start character and its two CRC characters; empty
// for a line too short to hold both.
std::string ReplyBody(const std::string& line);

// The answer to a controller's "$...PING" keep-alive: "$", its device number
// and side, "ECHO" and the CRC.
std::string EchoFrame(const std::string& pingLine);
bool IsKeepAlive(const std::string& line);

// The part of a device record that frames are built from, learned from the
// first line a controller sends.
struct DeviceIdentity {
    std::string DevNum;  // characters 2-4
    std::string Side;    // character 5
};
DeviceIdentity DeviceIdentityFromLine(const std::string& line);

}  // namespace gatecfg
