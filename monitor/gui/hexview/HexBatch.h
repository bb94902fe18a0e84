// Port data waiting to be shown: records of one direction each, in the order
// they came, kept so that the view can take them all in one go. Appending a
// batch leaves the model exactly as appending its records one by one would.
#pragma once

#include "HexDumpModel.h"

#include <cstdint>
#include <vector>

class HexBatch {
public:
    // Keeps a copy of the record's bytes; a record without bytes is no record.
    void Add(HexDirection direction, const uint8_t* bytes, uint32_t length);
    // Every record to the model, oldest first; the bytes the model took.
    uint32_t AppendTo(HexDumpModel& model) const;

    // Bytes held by all records.
    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    bool empty() const { return records_.empty(); }
    void swap(HexBatch& other) noexcept;

private:
    struct Record {
        HexDirection direction;
        uint32_t length;
    };

    // Records are not merged: the model takes at most a ring's worth of one
    // record from its start, so two records differ from one of both.
    std::vector<uint8_t> bytes_;
    std::vector<Record> records_;
};
