#include "channel/FrameDecoder.h"
#include "channel/InternetChecksum.h"
#include <cstring>

const uint8_t kFrameMagicBytes[4] = {'M', 'S', 'G', '.'};

namespace {

constexpr uint32_t kChecksumOffset = 6;

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void WriteU16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

bool HeaderChecksumHolds(const uint8_t* header)
{
    uint8_t copy[kFrameHeaderSize];
    std::memcpy(copy, header, sizeof(copy));
    WriteU16(copy + kChecksumOffset, 0);
    return InternetChecksum(copy, sizeof(copy)) == ReadU16(header + kChecksumOffset);
}

void Rescan(FrameDecoder* d)
{
    d->state = kFrameScan;
    d->headerCount = 0;
    d->payload = nullptr;
}

void Deliver(FrameDecoder* d, const FrameSink& sink)
{
    d->state = kFramePaused;
    d->headerCount = 0;
    d->payload = nullptr;
    sink.deliver(sink.context);
}

}  // namespace

void FrameHeaderWrite(uint8_t* header, uint16_t payloadLength)
{
    std::memcpy(header, kFrameMagicBytes, sizeof(kFrameMagicBytes));
    WriteU16(header + 4, payloadLength);
    WriteU16(header + kChecksumOffset, 0);
    WriteU16(header + kChecksumOffset, InternetChecksum(header, kFrameHeaderSize));
}

void FrameDecoderInit(FrameDecoder* d)
{
    std::memset(d, 0, sizeof(*d));
    std::memcpy(d->header, kFrameMagicBytes, sizeof(kFrameMagicBytes));
}

uint32_t FrameDecoderFeed(FrameDecoder* d, const uint8_t* bytes, uint32_t size, const FrameSink& sink)
{
    const uint8_t* p = bytes;
    const uint8_t* end = bytes + size;
    while (p < end) {
        switch (d->state) {
        case kFrameScan: {
            auto* m = static_cast<const uint8_t*>(std::memchr(p, kFrameMagicBytes[0], end - p));
            if (!m)
                return size;
            p = m + 1;
            d->headerCount = 1;
            d->state = kFrameMagic;
            break;
        }
        case kFrameMagic:
            if (*p != kFrameMagicBytes[d->headerCount]) {
                Rescan(d);  // the mismatching byte is scanned again: it may start a frame
                break;
            }
            ++p;
            if (++d->headerCount == sizeof(kFrameMagicBytes))
                d->state = kFrameHeader;
            break;
        case kFrameHeader: {
            uint32_t n = kFrameHeaderSize - d->headerCount;
            if (n > static_cast<uint32_t>(end - p))
                n = static_cast<uint32_t>(end - p);
            std::memcpy(d->header + d->headerCount, p, n);
            p += n;
            d->headerCount = static_cast<uint8_t>(d->headerCount + n);
            if (d->headerCount < kFrameHeaderSize)
                break;
            // A bad header is dropped whole; scanning goes on after it.
            if (!HeaderChecksumHolds(d->header)) {
                Rescan(d);
                break;
            }
            d->length = ReadU16(d->header + 4);
            d->received = 0;
            d->payload = sink.beginPayload(sink.context, d->length);
            if (!d->payload) {
                Rescan(d);
                break;
            }
            d->state = kFramePayload;
            if (d->length == 0) {
                Deliver(d, sink);
                return static_cast<uint32_t>(p - bytes);
            }
            break;
        }
        case kFramePayload: {
            uint32_t n = d->length - d->received;
            if (n > static_cast<uint32_t>(end - p))
                n = static_cast<uint32_t>(end - p);
            std::memcpy(d->payload + d->received, p, n);
            p += n;
            d->received += n;
            if (d->received == d->length) {
                Deliver(d, sink);
                return static_cast<uint32_t>(p - bytes);
            }
            break;
        }
        case kFramePaused:
            return static_cast<uint32_t>(p - bytes);
        default:
            return size;
        }
    }
    return size;
}

void FrameDecoderResume(FrameDecoder* d)
{
    if (d->state == kFramePaused)
        Rescan(d);
}

void FrameDecoderReset(FrameDecoder* d)
{
    if (d->state != kFramePaused)
        Rescan(d);
}
