// The byte ring of the hex-dump view: the most recent bytes of a port's
// traffic, oldest first from the read position. Positions are offsets into the
// ring, and every step wraps at its end.
#pragma once

#include <cstdint>
#include <memory>

class HexRing {
public:
    // Zero-filled; a ring whose allocation failed has capacity 0.
    explicit HexRing(uint32_t capacity);

    uint32_t capacity() const { return capacity_; }
    uint32_t used() const { return used_; }
    uint32_t read() const { return read_; }
    uint32_t write() const { return write_; }
    uint8_t At(uint32_t position) const { return bytes_[position]; }

    // `position` advanced by `count` (at most the capacity), wrapping at the end.
    uint32_t Advance(uint32_t position, uint32_t count) const;

    // Writes `count` bytes (at most the capacity) at the write position, making
    // room by dropping the oldest bytes; returns how many were dropped.
    uint32_t Push(const uint8_t* bytes, uint32_t count);

    // Empty, both positions at the start, every byte zero.
    void Clear();

private:
    std::unique_ptr<uint8_t[]> bytes_;
    uint32_t capacity_;
    uint32_t used_ = 0;
    uint32_t read_ = 0;
    uint32_t write_ = 0;
};
