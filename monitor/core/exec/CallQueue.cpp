#include "exec/CallQueue.h"
#include "runtime/SharedBlockPool.h"
#include "runtime/TrackedBlock.h"

namespace {

struct PendingCall {
    ListNode links;
    ClosureRoutine routine;
    BufferHandle bound;
    BufferHandle message;
};

SharedBlockPool g_pool;

void DestroyPendingCallPool() { SharedBlockPoolDestroy(g_pool); }

BlockPool* PendingCallPool() { return SharedBlockPoolGet(g_pool, sizeof(PendingCall), DestroyPendingCallPool); }

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
