// "MSG." frames: 8-byte header (magic, u16 payload length, u16 header checksum), then the payload.
#pragma once

#include "Bytes.h"

namespace logpeer {

constexpr size_t kFrameHeaderSize = 8;
constexpr size_t kMaxFramePayload = 65535;

// RFC 1071 Internet checksum over any byte range; an odd trailing byte counts as 0-255.
uint16_t InternetChecksum(const uint8_t* data, size_t size);

// Header of a frame announcing `length` payload bytes, with its checksum.
Bytes FrameHeader(uint16_t length);
// Whole frame; throws std::length_error for a payload over 65535 bytes.
Bytes BuildFrame(const Bytes& payload);

// Cuts received bytes into frame payloads. Garbage before a magic is skipped; a header
// with a wrong checksum is dropped whole and scanning restarts after it.
class FrameDecoder {
public:
    void Feed(const uint8_t* data, size_t size, std::vector<Bytes>& frames);
    size_t badHeaders() const { return badHeaders_; }
    size_t skippedBytes() const { return skippedBytes_; }

private:
    Bytes pending_;
    size_t badHeaders_ = 0;
    size_t skippedBytes_ = 0;
};

}  // namespace logpeer
