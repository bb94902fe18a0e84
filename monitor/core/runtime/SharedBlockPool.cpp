#include "runtime/SharedBlockPool.h"

BlockPool* SharedBlockPoolGet(SharedBlockPool& shared, uint32_t payloadSize, ExitRoutine teardown)
{
    if (OnceBegin(shared.once)) {
        auto* pool = static_cast<BlockPool*>(HeapAlloc(GetProcessHeap(), 0, sizeof(BlockPool)));
        const bool made = pool && BlockPoolInit(pool, payloadSize) == kStatusSuccess;
        if (made && AtExitRegister(teardown) == kStatusSuccess) {
            shared.pool = pool;
            OnceEnd(shared.once);
        } else {
            if (made)
                BlockPoolDestroy(pool);  // nothing handed out yet: deletes its lock
            if (pool)
                HeapFree(GetProcessHeap(), 0, pool);
            OnceReset(shared.once);
        }
    }
    return shared.pool;
}

void SharedBlockPoolDestroy(SharedBlockPool& shared)
{
    BlockPool* pool = shared.pool;
    shared.pool = nullptr;
    // With blocks still out somewhere the record stays (BlockPoolDestroy keeps it usable).
    if (pool && BlockPoolDestroy(pool))
        HeapFree(GetProcessHeap(), 0, pool);
    OnceReset(shared.once);
}
