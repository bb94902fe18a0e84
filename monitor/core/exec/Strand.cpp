#include "exec/Strand.h"
#include "exec/CallQueue.h"
#include "exec/CurrentExecutor.h"
#include "runtime/HandleOwner.h"
#include "runtime/MessageView.h"
#include "runtime/RefOwner.h"
#include "runtime/ScopedLock.h"

#include <cassert>

namespace {

struct HopRecord {
    ClosureRoutine routine;
    BufferHandle bound;
    Strand* a;
    ExecutorRecord* b;
    // Who reports B's refusal: kPosterLooks while StrandHop has not looked
    // yet (a refusal is stored here for it), kPosterGone once it has.
    volatile LONG report;
};

constexpr LONG kPosterLooks = 0;
constexpr LONG kPosterGone = 1;  // refusals are failure statuses, never 0 or 1

void HoldExecutor(ExecutorRecord* e)
{
    if (e->cb)
        ObjAddRef(e->cb);
}

void DestroyHopRecord(void* payload)
{
    auto* hop = static_cast<HopRecord*>(payload);
    // Adopted last to first, so that they go as they were taken: bound, A, B.
    auto b = RefOwner<ExecutorRecord>::Adopt(hop->b);
    auto a = RefOwner<Strand>::Adopt(hop->a);
    auto bound = HandleOwner::Adopt(hop->bound);
}

void UndoHold(Strand* s)
{
    ScopedLock hold(s->lock);
    --s->busy;
}

// Runs on B while A is held: the routine, then A's queue.
void HopStepTwo(BufferHandle* record, BufferHandle* message)
{
    MessageView<HopRecord> hop(record);
    {
        CurrentStrandScope onA(hop->a);
        hop->routine(&hop->bound, message);
    }
    StrandDrain(hop->a);
}

volatile LONG g_refusedHops = 0;

// Runs exclusively on A: hold A, then hand step two to B. When B refuses, the
// refusal goes back to the poster if the hop ran inside StrandHop; a hop that
// waited in A's queue has no poster left to hear it, so it is counted and
// told to the debugger instead of vanishing.
void HopStepOne(BufferHandle* record, BufferHandle* message)
{
    MessageView<HopRecord> hop(record);
    StrandHold(hop->a);
    NtStatus status = ClosureInvoke(HopStepTwo, hop->b, record, message);
    if (StatusAccepted(status))
        return;
    UndoHold(hop->a);
    if (InterlockedCompareExchange(&hop->report, LONG(status), kPosterLooks) == kPosterLooks)
        return;
    InterlockedIncrement(&g_refusedHops);
    OutputDebugStringA("quelcore: a queued strand hop was refused by its second executor and dropped\n");
}

void ConstructStrand(void* payload, ControlBlock* cb) { StrandInit(static_cast<Strand*>(payload), cb); }
void DestroyStrand(void* payload) { StrandDestroy(static_cast<Strand*>(payload)); }

}  // namespace

const TypeDescriptor kStrandType = {sizeof(Strand), ConstructStrand, DestroyStrand};

void StrandInit(Strand* s, ControlBlock* cb)
{
    s->exec = {cb, StrandRun};
    CallQueueInit(&s->queue);
    InitializeCriticalSection(&s->lock);
    s->busy = 0;
}

void StrandDestroy(Strand* s)
{
    CallQueueClear(&s->queue);
    DeleteCriticalSection(&s->lock);
}

NtStatus StrandRun(void* strand, ClosureRoutine routine, BufferHandle* bound, BufferHandle* message)
{
    auto* s = static_cast<Strand*>(strand);
    {
        ScopedLock hold(s->lock);
        if (s->busy != 0) {
            NtStatus status = CallQueuePush(&s->queue, routine, bound, message);
            return status == kStatusSuccess ? kStatusPending : status;
        }
        s->busy = 1;
    }
    {
        CurrentStrandScope on(s);
        routine(bound, message);
    }
    return StrandDrain(s) ? kStatusSuccess : kStatusPending;
}

int StrandDrain(Strand* s)
{
    // A queued call may drop the last strong reference of the strand's owner,
    // whose destruction takes the strand with it: from the first call it runs,
    // the drain holds the owner until it is done with the strand.
    RefOwner<ControlBlock> owner;
    LONG remaining;
    for (;;) {
        TakenCall call;
        {
            ScopedLock hold(s->lock);
            remaining = s->busy - 1;
            if (remaining != 0 || ListIsEmpty(&s->queue)) {
                s->busy = remaining;
                break;
            }
            if (!owner)
                owner = RefOwner<ControlBlock>::TryLock(s->exec.cb);
            call = TakenCall::From(&s->queue);
            assert(call && "the queue was seen non-empty under the lock");
        }
        CurrentStrandScope on(s);
        call.Run();
    }
    return remaining == 0;
}

void StrandHold(Strand* s)
{
    ScopedLock hold(s->lock);
    ++s->busy;
}

int StrandTryAcquire(Strand* s)
{
    ScopedLock hold(s->lock);
    if (s->busy != 0)
        return 0;
    s->busy = 1;
    return 1;
}

void StrandAcquire(Strand* s)
{
    while (!StrandTryAcquire(s))
        SwitchToThread();
}

NtStatus StrandHop(Strand* a, ExecutorRecord* b, ClosureRoutine routine, BufferHandle* bound,
                   BufferHandle* message)
{
    if (!b || b == &a->exec)
        return StrandRun(a, routine, bound, message);
    HandleOwner record;
    NtStatus status = BufAlloc(record.put(), nullptr, DestroyHopRecord, sizeof(HopRecord));
    if (status != kStatusSuccess)
        return status;
    MessageView<HopRecord> hop(record.get());
    hop->routine = routine;
    BufHandleCopy(&hop->bound, bound);
    hop->a = a;
    hop->b = b;
    hop->report = kPosterLooks;
    HoldExecutor(&a->exec);
    HoldExecutor(b);
    status = StrandRun(a, HopStepOne, record.get(), message);
    // From here a hop still queued reports its own refusal.
    LONG refused = InterlockedExchange(&hop->report, kPosterGone);
    if (refused != kPosterLooks)
        status = NtStatus(refused);
    return status;
}

uint32_t StrandRefusedHopCount() { return static_cast<uint32_t>(g_refusedHops); }

NtStatus StrandPost(void* object, ExecutorRecord* b, ClosureRoutine routine, BufferHandle* message)
{
    BufferHandle bound = {object, ObjControlBlockOf(object), 0, 0};
    return StrandHop(StrandOf(object), b, routine, &bound, message);
}
