#pragma once
#include <cstdint>

// The fixed waits of the runtime. Production keeps the defaults; tests shorten
// them so that the time-out paths can be shown without costing 15 s each.
struct FixedWaits {
    uint32_t shutdownMs = 15000;  // live objects and live blocks at shut-down
    uint32_t purgeAgeMs = 5000;   // age after which queued GUI-thread calls are purged
    uint32_t ioSettleMs = 10000;  // cancelled I/O of a closed endpoint, before its thread gives up
};

FixedWaits& CoreFixedWaits();
