#include "HexDumpModel.h"

#include <algorithm>
#include <cassert>

HexDumpModel::HexDumpModel(uint32_t capacity) : ring_(capacity), topRun_(runs_.end()) {}

void HexDumpModel::SetLength(Runs::iterator run, uint32_t length) {
    const uint32_t lines = (length + kBytesPerLine - 1) / kBytesPerLine;
    totalLines_ += static_cast<int>(lines) - static_cast<int>(run->lines);
    run->length = length;
    run->lines = lines;
}

void HexDumpModel::Drop(uint32_t count) {
    while (count != 0 && !runs_.empty()) {
        const Runs::iterator head = runs_.begin();
        if (head->length > count) {
            head->data = ring_.Advance(head->data, count);
            SetLength(head, head->length - count);
            return;
        }
        count -= head->length;
        totalLines_ -= static_cast<int>(head->lines);
        if (topRun_ == head)
            topRun_ = runs_.end();
        runs_.erase(head);
    }
}

uint32_t HexDumpModel::Append(HexDirection direction, const uint8_t* bytes, uint32_t length) {
    const uint32_t count = std::min(length, ring_.capacity());
    if (count == 0)
        return 0;
    const uint32_t start = ring_.write();
    Drop(ring_.Push(bytes, count));
    if (runs_.empty() || runs_.back().direction != direction)
        runs_.push_back(HexRun{direction, start, 0, 0});
    SetLength(std::prev(runs_.end()), runs_.back().length + count);
    return count;
}

void HexDumpModel::Clear() {
    runs_.clear();
    topRun_ = runs_.end();
    totalLines_ = 0;
    topOffset_ = 0;
    ring_.Clear();
}

bool HexDumpModel::GoTo(int position) {
    position = std::max(position, 0);
    if (position >= totalLines_)
        return false;
    // The walk starts from the nearer end; the view mostly shows the newest lines.
    RunRef run;
    int before;
    if (position < totalLines_ / 2) {
        run = runs_.begin();
        before = 0;
        while (before + static_cast<int>(run->lines) <= position)
            before += static_cast<int>((run++)->lines);
    } else {
        run = runs_.end();
        before = totalLines_;
        do {
            --run;
            assert(run->lines >= 1);
            before -= static_cast<int>(run->lines);
        } while (before > position);
    }
    const bool changed = run != topRun_ || position - before != topOffset_;
    topRun_ = run;
    topOffset_ = position - before;
    return changed;
}
