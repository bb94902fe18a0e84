#include "runtime/ControlBlock.h"
#include "runtime/BlockPool.h"
#include "runtime/LiveCounter.h"
#include "runtime/TrackedBlock.h"
#include <cstring>

namespace {

LiveCounter g_liveObjects;
// The pool record outlives a shut-down that leaves control blocks in use, so
// it lives on the heap and is abandoned (not reused) in that case.
BlockPool* g_controlBlocks;

void FinalRelease(ControlBlock* cb)
{
    ObjWeakRelease(cb->parent);
    if (cb->free)
        cb->free(cb->payload);
    BlockRelease(cb);
    LiveCounterLeave(g_liveObjects);
}

}  // namespace

NtStatus ObjCreate(ControlBlock** out, void* payload, PayloadRoutine destroy, PayloadRoutine free,
                   ControlBlock* parent)
{
    *out = nullptr;
    auto* cb = g_controlBlocks ? static_cast<ControlBlock*>(BlockPoolAlloc(g_controlBlocks)) : nullptr;
    if (!cb)
        return kStatusNoMemory;
    if (parent)
        ObjWeakAddRef(parent);
    cb->payload = payload;
    cb->destroy = destroy;
    cb->free = free;
    cb->lastReference = FinalRelease;
    cb->parent = parent;
    cb->state = kObjAlive;
    cb->strong = 1;
    cb->weak = 1;
    LiveCounterEnter(g_liveObjects);
    *out = cb;
    return kStatusSuccess;
}

void ObjAddRef(ControlBlock* cb) { InterlockedIncrement(&cb->strong); }
void ObjWeakAddRef(ControlBlock* cb) { InterlockedIncrement(&cb->weak); }

void ObjRelease(ControlBlock* cb)
{
    if (!cb || InterlockedDecrement(&cb->strong) != 0)
        return;
    InterlockedExchange(&cb->state, kObjDestroyed);
    if (cb->destroy)
        cb->destroy(cb->payload);
    ObjWeakRelease(cb);
}

void ObjWeakRelease(ControlBlock* cb)
{
    if (cb && InterlockedDecrement(&cb->weak) == 0)
        cb->lastReference(cb);
}

int ObjTryLock(ControlBlock* cb)
{
    if (!cb)
        return 0;
    // A reference is only ever taken while another one keeps the count above
    // 0, so an object whose count has reached 0 can never come back.
    LONG seen = cb->strong;
    while (seen != 0) {
        LONG previous = InterlockedCompareExchange(&cb->strong, seen + 1, seen);
        if (previous == seen)
            return 1;
        seen = previous;
    }
    return 0;
}

NtStatus ObjCreateWithPayload(void** out, PayloadConstruct construct, PayloadRoutine destroy,
                              uint32_t size)
{
    *out = nullptr;
    void* payload = BlockAlloc(size);
    if (!payload)
        return kStatusNoMemory;
    std::memset(payload, 0, size);
    ControlBlock* cb;
    if (ObjCreate(&cb, payload, destroy, BlockRelease, nullptr) != kStatusSuccess) {
        BlockRelease(payload);
        return kStatusNoMemory;
    }
    construct(payload, cb);
    *out = payload;
    return kStatusSuccess;
}

NtStatus ObjCreateFromDescriptor(void** out, const TypeDescriptor& type)
{
    return ObjCreateWithPayload(out, type.construct, type.destroy, type.payloadSize);
}

NtStatus ObjAttachPayload(void* payload, PayloadConstruct attach, PayloadRoutine destroy,
                          ControlBlock* parent)
{
    ControlBlock* cb;
    NtStatus status = ObjCreate(&cb, payload, destroy, nullptr, parent);
    if (status == kStatusSuccess)
        attach(payload, cb);
    return status;
}

void ObjPoolInit()
{
    LiveCounterOpen(g_liveObjects);
    if (g_controlBlocks)
        return;
    auto* pool = static_cast<BlockPool*>(HeapAlloc(GetProcessHeap(), 0, sizeof(BlockPool)));
    if (pool && BlockPoolInit(pool, sizeof(ControlBlock)) == kStatusSuccess)
        g_controlBlocks = pool;
}

void ObjPoolShutdown()
{
    LiveCounterClose(g_liveObjects);
    BlockPool* pool = g_controlBlocks;
    g_controlBlocks = nullptr;
    if (pool && BlockPoolDestroy(pool))
        HeapFree(GetProcessHeap(), 0, pool);
}

int ObjWaitAllFreed(uint32_t milliseconds) { return LiveCounterWait(g_liveObjects, milliseconds); }
int ObjAllFreedNow() { return ObjWaitAllFreed(0); }
uint32_t LiveObjectCount() { return static_cast<uint32_t>(g_liveObjects.count); }
