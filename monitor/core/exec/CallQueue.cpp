#include "exec/CallQueue.h"
#include "runtime/SharedBlockPool.h"
#include "runtime/TrackedBlock.h"
#include <cassert>

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
    BlockRelease(entry);  // the pending call's one teardown: its handles have moved out
    return kStatusSuccess;
}

TakenCall TakenCall::From(ListHead* queue)
{
    ClosureRoutine routine;
    BufferHandle bound, message;
    if (CallQueuePop(queue, &routine, &bound, &message) != kStatusSuccess)
        return {};
    return Adopt(routine, bound, message);
}

TakenCall TakenCall::Adopt(ClosureRoutine routine, const BufferHandle& bound, const BufferHandle& message)
{
    assert(routine && "a queued call has a routine");
    TakenCall call;
    call.routine_ = routine;
    call.bound_ = HandleOwner::Adopt(bound);
    call.message_ = HandleOwner::Adopt(message);
    return call;
}

uint32_t CallQueueRunAll(ListHead* queue)
{
    uint32_t run = 0;
    for (; TakenCall call = TakenCall::From(queue); ++run)
        call.Run();
    return run;
}

void CallQueueClear(ListHead* queue)
{
    while (TakenCall::From(queue)) {
    }
}
