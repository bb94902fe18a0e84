#include "IoCommandQueue.h"
#include "CallQueue.h"
#include "ScopedLock.h"

namespace {
void ConstructQueue(void* payload, ControlBlock* cb) { IoCommandQueueInit(static_cast<IoCommandQueue*>(payload), cb); }
void DestroyQueue(void* payload) { IoCommandQueueDestroy(static_cast<IoCommandQueue*>(payload)); }
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
    if (q->forceQueue == 0 && GetCurrentThreadId() == q->owner) {
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
    ListHead local;
    {
        ScopedLock hold(q->lock);
        ResetEvent(q->event);
        ListMove(&local, &q->queue);
    }
    return CallQueueRunAll(&local);
}
