#include "exec/IoCommandQueue.h"
#include "exec/CallQueue.h"
#include "runtime/FixedWaits.h"
#include "runtime/ScopedLock.h"

namespace {
void ConstructQueue(void* payload, ControlBlock* cb) { IoCommandQueueInit(static_cast<IoCommandQueue*>(payload), cb); }
void DestroyQueue(void* payload) { IoCommandQueueDestroy(static_cast<IoCommandQueue*>(payload)); }
// On the owner thread a call runs at once only when no call posted earlier is
// still queued: overtaking them would run a close ahead of a write (the write
// is lost) or swap two writes on the wire.
bool QueueIsEmpty(IoCommandQueue* q)
{
    ScopedLock hold(q->lock);
    return ListIsEmpty(&q->queue);
}

}  // namespace

const TypeDescriptor kIoCommandQueueType = {sizeof(IoCommandQueue), ConstructQueue, DestroyQueue};

void IoCommandQueueInit(IoCommandQueue* q, ControlBlock* cb)
{
    q->exec = {cb, IoCommandQueuePost};
    InitializeCriticalSection(&q->lock);
    CallQueueInit(&q->queue);
    q->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    q->owner = kNoOwnerThread;
    q->forceQueue = 0;
}

void IoCommandQueueDestroy(IoCommandQueue* q)
{
    DeleteCriticalSection(&q->lock);
    CallQueueClear(&q->queue);
    if (q->event)
        CloseHandle(q->event);
}

NtStatus IoCommandQueuePost(void* queue, ClosureRoutine routine, BufferHandle* bound,
                            BufferHandle* message)
{
    auto* q = static_cast<IoCommandQueue*>(queue);
    if (q->forceQueue == 0 && GetCurrentThreadId() == q->owner && QueueIsEmpty(q)) {
        routine(bound, message);
        return kStatusSuccess;
    }
    ScopedLock hold(q->lock);
    NtStatus status = CallQueuePush(&q->queue, routine, bound, message);
    if (status != kStatusSuccess)
        return status;  // the command would be lost: the caller must hear of it
    SetEvent(q->event);
    return kStatusPending;
}

uint32_t IoCommandQueueDrain(IoCommandQueue* q)
{
    // One call at a time, so that what is not yet run stays in the queue and
    // a post made by a running call lines up behind it. The calls queued at
    // the start are the drain's share; later ones keep the event set.
    uint32_t run = 0, share;
    {
        ScopedLock hold(q->lock);
        ResetEvent(q->event);
        share = q->queue.count;
    }
    for (; run < share; ++run) {
        TakenCall call;
        {
            ScopedLock hold(q->lock);
            call = TakenCall::From(&q->queue);
        }
        if (!call)
            break;
        call.Run();
    }
    return run;
}

bool IoCommandQueueSettle(IoCommandQueue* q, const ListHead* outstanding)
{
    constexpr DWORD kSliceMs = 100;
    const DWORD start = GetTickCount();
    const DWORD limit = CoreFixedWaits().ioSettleMs;
    while (!ListIsEmpty(outstanding)) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= limit)
            return false;
        const DWORD slice = limit - elapsed < kSliceMs ? limit - elapsed : kSliceMs;
        if (WaitForSingleObjectEx(q->event, slice, TRUE) == WAIT_OBJECT_0)
            IoCommandQueueDrain(q);
    }
    return true;
}
