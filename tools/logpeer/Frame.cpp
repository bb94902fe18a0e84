#include "Frame.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace logpeer {

namespace {
const uint8_t kMagic[4] = {'M', 'S', 'G', '.'};
}

uint16_t InternetChecksum(const uint8_t* data, size_t size)
{
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 1 < size; i += 2)
        sum += GetU16(data + i);
    if (i < size)
        sum += data[i];
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum = (sum >> 16) + (sum & 0xFFFF);
    return static_cast<uint16_t>(~sum);
}

Bytes FrameHeader(uint16_t length)
{
    Bytes header(kMagic, kMagic + 4);
    PutU16(header, length);
    PutU16(header, 0);
    uint16_t sum = InternetChecksum(header.data(), header.size());
    header[6] = static_cast<uint8_t>(sum);
    header[7] = static_cast<uint8_t>(sum >> 8);
    return header;
}

Bytes BuildFrame(const Bytes& payload)
{
    if (payload.size() > kMaxFramePayload)
        throw std::length_error("frame payload over 65535 bytes");
    Bytes frame = FrameHeader(static_cast<uint16_t>(payload.size()));
    PutBytes(frame, payload);
    return frame;
}

void FrameDecoder::Feed(const uint8_t* data, size_t size, std::vector<Bytes>& frames)
{
    pending_.insert(pending_.end(), data, data + size);
    size_t pos = 0;
    for (;;) {
        auto m = std::find(pending_.begin() + pos, pending_.end(), kMagic[0]);
        skippedBytes_ += static_cast<size_t>(m - (pending_.begin() + pos));
        pos = static_cast<size_t>(m - pending_.begin());
        size_t avail = pending_.size() - pos;
        if (avail == 0)
            break;
        const uint8_t* p = pending_.data() + pos;
        size_t cmp = std::min<size_t>(avail, 4);
        if (std::memcmp(p, kMagic, cmp) != 0) {  // false start: rescan after the 'M'
            ++skippedBytes_;
            ++pos;
            continue;
        }
        if (avail < kFrameHeaderSize)
            break;
        uint8_t header[kFrameHeaderSize];
        std::memcpy(header, p, kFrameHeaderSize);
        uint16_t stored = GetU16(header + 6);
        header[6] = header[7] = 0;
        if (InternetChecksum(header, kFrameHeaderSize) != stored) {
            ++badHeaders_;
            pos += kFrameHeaderSize;
            continue;
        }
        size_t length = GetU16(header + 4);
        if (avail < kFrameHeaderSize + length)
            break;
        frames.emplace_back(p + kFrameHeaderSize, p + kFrameHeaderSize + length);
        pos += kFrameHeaderSize + length;
    }
    pending_.erase(pending_.begin(), pending_.begin() + pos);
}

}  // namespace logpeer
