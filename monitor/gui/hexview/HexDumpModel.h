// What the RX/TX window's hex-dump view shows, without the window: the 64 KiB
// ring of a port's recent traffic, grouped into runs of one direction, the
// line count of the dump and the run and line at the top of the view. The
// view paints, scrolls and repaints; it owns no data of its own but its
// scroll bar and its page height.
#pragma once

#include "HexRing.h"

#include <cstdint>
#include <list>

enum class HexDirection : uint32_t { Tx = 0, Rx = 1 };

// Consecutive bytes of one direction. The runs' bytes lie back to back in the
// ring in list order, each run's continuing where the one before ends.
struct HexRun {
    HexDirection direction;
    uint32_t data;    // ring position of the run's first byte
    uint32_t length;  // bytes, at least 1
    uint32_t lines;   // dump lines: length / 16 rounded up
};

class HexDumpModel {
public:
    static constexpr uint32_t kCapacity = 0x10000;
    static constexpr uint32_t kBytesPerLine = 16;

    using Runs = std::list<HexRun>;
    using RunRef = Runs::const_iterator;

    // `capacity` is for tests; a failed allocation leaves a model that takes nothing.
    explicit HexDumpModel(uint32_t capacity = kCapacity);
    HexDumpModel(const HexDumpModel&) = delete;
    HexDumpModel& operator=(const HexDumpModel&) = delete;

    // Appends at most a ring's worth of `bytes` and returns how many it took:
    // the oldest bytes give way (the head run is shortened or removed), and
    // bytes of the tail run's direction join that run.
    uint32_t Append(HexDirection direction, const uint8_t* bytes, uint32_t length);

    // Empty again, the ring zeroed and no top run.
    void Clear();

    // Puts line `position` (a negative one counts as 0) at the top of the
    // view; true when the top run or the line within it changed. A position
    // beyond the last line changes nothing.
    bool GoTo(int position);

    uint32_t capacity() const { return ring_.capacity(); }
    uint32_t used() const { return ring_.used(); }
    int totalLines() const { return totalLines_; }
    const Runs& runs() const { return runs_; }
    const HexRing& ring() const { return ring_; }

    // The run holding the top line, runs().end() when none was set since the
    // last clear or since that run was dropped; the line within it.
    RunRef topRun() const { return topRun_; }
    int topOffset() const { return topOffset_; }

private:
    void Drop(uint32_t count);
    void SetLength(Runs::iterator run, uint32_t length);

    HexRing ring_;
    Runs runs_;
    int totalLines_ = 0;
    RunRef topRun_;
    int topOffset_ = 0;
};
