// Bounded little-endian reads of a payload that came from another process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quelstd {

// A view of bytes that never reads past its end: a field that lies partly or
// wholly beyond the end reads as if the payload were padded with zero bytes.
class PayloadView {
public:
    PayloadView() = default;
    PayloadView(const void* data, long size)
        : data_(static_cast<const unsigned char*>(data)),
          size_(data != nullptr && size > 0 ? static_cast<size_t>(size) : 0)
    {
    }

    const unsigned char* data() const { return data_; }
    size_t size() const { return size_; }

    uint8_t U8(size_t offset) const { return static_cast<uint8_t>(Read(offset, 1)); }
    uint16_t U16(size_t offset) const { return static_cast<uint16_t>(Read(offset, 2)); }
    uint32_t U32(size_t offset) const { return Read(offset, 4); }

    // The bytes from offset to the end; empty when offset lies beyond it.
    PayloadView Tail(size_t offset) const
    {
        return offset < size_ ? PayloadView(data_ + offset, size_ - offset) : PayloadView();
    }
    // At most the first count bytes.
    PayloadView Prefix(size_t count) const { return PayloadView(data_, count < size_ ? count : size_); }

private:
    PayloadView(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    uint32_t Read(size_t offset, size_t width) const
    {
        uint32_t value = 0;
        for (size_t i = 0; i < width && offset < size_ && i < size_ - offset; ++i)
            value |= static_cast<uint32_t>(data_[offset + i]) << (8 * i);
        return value;
    }

    const unsigned char* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace quelstd
