#pragma once
// The port data between an RX/TX link, which copies each data record in as it
// comes, and its view's thread, which takes everything queued in one pass.
// Past the bound the record's message is kept back with the data: the log
// service's stream reads nothing further until the message is released, so
// a view that falls behind slows the reading instead of losing data, and the
// queue holds at most the bound and one record. Any thread.
#include <cstdint>
#include <mutex>

#include "HexBatch.h"
#include "runtime/HandleOwner.h"

class RxTxQueue {
public:
    static constexpr uint32_t kBound = 256 * 1024;

    explicit RxTxQueue(uint32_t bound = kBound) : m_bound(bound) {}

    // Copies the record's bytes in; past the bound `message` is kept too,
    // strongly, until the next take. True when no take was asked for since
    // the last one: the caller asks for one.
    bool Push(HexDirection direction, const uint8_t* bytes, uint32_t length, const BufferHandle* message);

    struct Taken {
        HexBatch batch;
        HandleOwner held;  // released by the taker once the batch is shown
    };
    // Everything queued; the next push asks for a take again.
    Taken Take();

private:
    const uint32_t m_bound;
    std::mutex m_lock;
    HexBatch m_queued;
    HandleOwner m_held;
    bool m_takeAsked = false;
};
