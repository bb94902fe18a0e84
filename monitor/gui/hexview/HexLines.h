// The dump lines of a hex-dump model, as painting and saving walk them: at
// most 16 bytes of one run per line, a run's lines following each other and
// the next run's after them.
#pragma once

#include "HexDumpModel.h"

#include <cstdint>

struct HexLine {
    HexDirection direction;
    bool firstOfRun;  // the run's first line, which carries its label
    uint32_t count;   // bytes on the line, 0 to 16
    uint8_t bytes[HexDumpModel::kBytesPerLine];
};

class HexLineReader {
public:
    // From line `lineOffset` of `run` on; an offset past the run's end gives
    // one empty line for it.
    HexLineReader(const HexDumpModel& model, HexDumpModel::RunRef run, int lineOffset);

    // Every line from the oldest on.
    static HexLineReader All(const HexDumpModel& model);
    // The lines of the view: from the top run and line, or from the oldest
    // line when there is no top run.
    static HexLineReader Visible(const HexDumpModel& model);

    // The next line; false after the last.
    bool Next(HexLine* line);

private:
    const HexDumpModel& model_;
    HexDumpModel::RunRef run_;
    uint32_t index_;  // bytes of the run before the next line
};

// The character a dump shows for `byte`: itself from 0x20 to 0x7E, else '.'.
inline char HexDumpChar(uint8_t byte) { return byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.'; }

// Lower-case hex digit of `nibble` (0 to 15).
inline char HexDigit(uint8_t nibble) { return "0123456789abcdef"[nibble & 15]; }

// "RX" or "TX".
inline const char* HexLabel(HexDirection direction) { return direction == HexDirection::Rx ? "RX" : "TX"; }
