#include "HexBatch.h"

void HexBatch::Add(HexDirection direction, const uint8_t* bytes, uint32_t length)
{
    if (length == 0)
        return;
    bytes_.insert(bytes_.end(), bytes, bytes + length);
    records_.push_back({direction, length});
}

uint32_t HexBatch::AppendTo(HexDumpModel& model) const
{
    uint32_t taken = 0;
    const uint8_t* next = bytes_.data();
    for (const Record& record : records_) {
        taken += model.Append(record.direction, next, record.length);
        next += record.length;
    }
    return taken;
}

void HexBatch::swap(HexBatch& other) noexcept
{
    bytes_.swap(other.bytes_);
    records_.swap(other.records_);
}
