#include "RxTxQueue.h"

#include <cassert>

bool RxTxQueue::Push(HexDirection direction, const uint8_t* bytes, uint32_t length, const BufferHandle* message)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_queued.Add(direction, bytes, length);
    if (m_queued.size() > m_bound) {
        // The stream delivers its next message only after this one is released.
        assert(!m_held && "one message of the stream in flight at a time");
        m_held = HandleOwner::Copy(message);
    }
    const bool ask = !m_takeAsked;
    m_takeAsked = true;
    return ask;
}

RxTxQueue::Taken RxTxQueue::Take()
{
    Taken taken;
    std::lock_guard<std::mutex> hold(m_lock);
    taken.batch.swap(m_queued);
    taken.held = std::move(m_held);
    m_takeAsked = false;
    return taken;
}
