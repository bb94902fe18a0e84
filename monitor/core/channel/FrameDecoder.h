#pragma once
#include <cstdint>

// The log-service frame: "MSG.", u16 payload length, u16 Internet checksum of
// the 8-byte header taken with the checksum field 0, then the payload; all
// little-endian. The payload is not covered by the checksum.
constexpr uint32_t kFrameHeaderSize = 8;
constexpr uint32_t kFrameMaxPayload = 0xFFFF;
extern const uint8_t kFrameMagicBytes[4];

void FrameHeaderWrite(uint8_t* header, uint16_t payloadLength);

enum FrameState : uint8_t {
    kFrameScan = 0,     // looking for 'M'
    kFrameMagic = 1,    // matching "SG."
    kFrameHeader = 2,   // collecting length and checksum
    kFramePayload = 3,  // collecting the payload
    kFramePaused = 4,   // a message was delivered and is not yet released
};

// Where a decoded frame goes. The decoder never allocates or waits itself.
struct FrameSink {
    // An area of `length` bytes for the payload of a frame whose header checked
    // out, or null to skip that frame (it then resynchronises after the header).
    uint8_t* (*beginPayload)(void* context, uint32_t length);
    // The payload is complete; the decoder stays paused until FrameDecoderResume.
    void (*deliver)(void* context);
    void* context;
};

// Byte-level receive state machine of the message stream. Header count and
// state survive between chunks, so a frame may be split at any byte.
struct FrameDecoder {
    uint8_t header[kFrameHeaderSize];  // the first four always hold the magic
    uint8_t headerCount;               // header bytes matched or collected (0-8)
    uint8_t state;                     // FrameState
    uint8_t* payload;                  // the sink's area while collecting
    uint32_t length;
    uint32_t received;
};

void FrameDecoderInit(FrameDecoder* d);
// Consumes bytes up to and including the last payload byte of a frame it
// delivers, or the whole chunk when none completes; nothing while paused.
uint32_t FrameDecoderFeed(FrameDecoder* d, const uint8_t* bytes, uint32_t size, const FrameSink& sink);
void FrameDecoderResume(FrameDecoder* d);  // the delivered message was released: scan again
// Back to scanning, forgetting a partly received frame (the caller drops its
// payload area); a delivered message still held keeps the decoder paused.
void FrameDecoderReset(FrameDecoder* d);
