#include "HexRing.h"

#include <cassert>
#include <cstring>
#include <new>

HexRing::HexRing(uint32_t capacity)
    : bytes_(new (std::nothrow) uint8_t[capacity]()), capacity_(bytes_ ? capacity : 0) {}

uint32_t HexRing::Advance(uint32_t position, uint32_t count) const {
    assert(position < capacity_ && count <= capacity_);
    const uint32_t toEnd = capacity_ - position;
    return count < toEnd ? position + count : count - toEnd;
}

uint32_t HexRing::Push(const uint8_t* bytes, uint32_t count) {
    assert(count <= capacity_);
    if (count == 0)
        return 0;
    const uint32_t dropped = used_ + count > capacity_ ? used_ + count - capacity_ : 0;
    used_ -= dropped;
    read_ = Advance(read_, dropped);
    const uint32_t first = count < capacity_ - write_ ? count : capacity_ - write_;
    std::memcpy(&bytes_[write_], bytes, first);
    std::memcpy(&bytes_[0], bytes + first, count - first);
    write_ = Advance(write_, count);
    used_ += count;
    assert(used_ <= capacity_ && write_ == Advance(read_, used_) && "the unread bytes run from read to write");
    return dropped;
}

void HexRing::Clear() {
    used_ = read_ = write_ = 0;
    if (capacity_ != 0)
        std::memset(&bytes_[0], 0, capacity_);
}
