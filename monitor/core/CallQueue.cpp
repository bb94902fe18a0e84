#include "CallQueue.h"
#include "BlockPool.h"
#include "ExitCallbacks.h"
#include "OnceFlag.h"
#include "TrackedBlock.h"

namespace {

struct PendingCall {
    ListNode links;
    ClosureRoutine routine;
    BufferHandle bound;
    BufferHandle message;
};

OnceFlag g_poolOnce;
BlockPool* g_pool;

void DestroyPendingCallPool()
{
    BlockPool* pool = g_pool;
    g_pool = nullptr;
    // With entries still queued somewhere the record stays (BlockPoolDestroy keeps it usable).
    if (pool && BlockPoolDestroy(pool))
        HeapFree(GetProcessHeap(), 0, pool);
    OnceReset(g_poolOnce);
}

BlockPool* PendingCallPool()
{
    if (OnceBegin(g_poolOnce)) {
        auto* pool = static_cast<BlockPool*>(HeapAlloc(GetProcessHeap(), 0, sizeof(BlockPool)));
        if (pool && BlockPoolInit(pool, sizeof(PendingCall)) == kStatusSuccess &&
            AtExitRegister(DestroyPendingCallPool) == kStatusSuccess) {
            g_pool = pool;
            OnceEnd(g_poolOnce);
        } else {
            // Outside start-up or out of memory: try again on the next push.
            if (pool)
                HeapFree(GetProcessHeap(), 0, pool);
            OnceReset(g_poolOnce);
        }
    }
    return g_pool;
}

}  // namespace

void CallQueueInit(ListHead* queue) { ListInit(queue); }

NtStatus CallQueuePush(ListHead* queue, ClosureRoutine routine, const BufferHandle* bound,
                       const BufferHandle* message)
{
    BlockPool* pool = PendingCallPool();
    auto* entry = pool ? static_cast<PendingCall*>(BlockPoolAlloc(pool)) : nullptr;
    if (!entry)
        return kStatusNoMemory;
    entry->routine = routine;
    BufHandleCopy(&entry->bound, bound);
    BufHandleCopy(&entry->message, message);
    ListPushBack(queue, &entry->links);
    ++queue->count;
    return kStatusSuccess;
}

NtStatus CallQueuePop(ListHead* queue, ClosureRoutine* routine, BufferHandle* bound,
                      BufferHandle* message)
{
    if (ListIsEmpty(queue))
        return kStatusInvalidState;
    auto* entry = reinterpret_cast<PendingCall*>(ListPopFront(queue));
    *routine = entry->routine;
    *bound = entry->bound;
    *message = entry->message;
    BlockRelease(entry);
    return kStatusSuccess;
}

uint32_t CallQueueRunAll(ListHead* queue)
{
    uint32_t run = 0;
    ClosureRoutine routine;
    BufferHandle bound, message;
    while (CallQueuePop(queue, &routine, &bound, &message) == kStatusSuccess) {
        routine(&bound, &message);
        BufHandleRelease(&bound);
        BufHandleRelease(&message);
        ++run;
    }
    return run;
}

void CallQueueClear(ListHead* queue)
{
    ClosureRoutine routine;
    BufferHandle bound, message;
    while (CallQueuePop(queue, &routine, &bound, &message) == kStatusSuccess) {
        BufHandleRelease(&bound);
        BufHandleRelease(&message);
    }
}
