#include "HexLines.h"

#include <algorithm>

HexLineReader::HexLineReader(const HexDumpModel& model, HexDumpModel::RunRef run, int lineOffset)
    : model_(model), run_(run), index_(0) {
    if (run_ != model_.runs().end())
        index_ = static_cast<uint32_t>(
            std::min<int64_t>(int64_t{std::max(lineOffset, 0)} * HexDumpModel::kBytesPerLine, run_->length));
}

HexLineReader HexLineReader::All(const HexDumpModel& model) {
    return HexLineReader(model, model.runs().begin(), 0);
}

HexLineReader HexLineReader::Visible(const HexDumpModel& model) {
    if (model.topRun() == model.runs().end())
        return All(model);
    return HexLineReader(model, model.topRun(), model.topOffset());
}

bool HexLineReader::Next(HexLine* line) {
    if (run_ == model_.runs().end())
        return false;
    const HexRing& ring = model_.ring();
    line->direction = run_->direction;
    line->firstOfRun = index_ == 0;
    line->count = std::min(HexDumpModel::kBytesPerLine, run_->length - index_);
    uint32_t position = ring.Advance(run_->data, index_);
    for (uint32_t i = 0; i < line->count; ++i, position = ring.Advance(position, 1))
        line->bytes[i] = ring.At(position);
    index_ += line->count;
    if (index_ == run_->length) {
        ++run_;
        index_ = 0;
    }
    return true;
}
