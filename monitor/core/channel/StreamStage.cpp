#include "channel/StreamStage.h"
#include "exec/CurrentExecutor.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "runtime/SharedBlockPool.h"
#include "runtime/TrackedBlock.h"
#include <cassert>
#include <cstring>
#include <utility>

namespace {

// A piece still to be offered: shares the written buffer's block, no bytes copied.
struct PendingPiece {
    ListNode links;
    BufferHandle piece;
};

static_assert(sizeof(PendingPiece) == 24, "queue entries are 24-byte pool blocks");

SharedBlockPool g_pieces;

void DestroyPiecePool() { SharedBlockPoolDestroy(g_pieces); }

StreamStage* StageOf(BufferHandle* bound) { return static_cast<StreamStage*>(bound->data); }

void Advance(BufferHandle* h, uint32_t bytes)
{
    h->data = static_cast<char*>(h->data) + bytes;
    h->size -= bytes;
}

void CopyWithWeakTarget(Closure* destination, const Closure* source)
{
    if (!source) {
        *destination = {};
        return;
    }
    destination->routine = source->routine;
    destination->target = source->target;
    if (destination->target && destination->target->cb)
        ObjWeakAddRef(destination->target->cb);
    BufHandleCopy(&destination->bound, &source->bound);
}

void ReleaseWithWeakTarget(Closure* c)
{
    Closure old = std::exchange(*c, Closure{});
    HandleOwner bound = HandleOwner::Adopt(old.bound);
    if (old.target && old.target->cb)
        ObjWeakRelease(old.target->cb);
}

// The closure's target is locked for the call: an executor that is gone takes no work.
[[nodiscard]] NtStatus InvokeWithWeakTarget(Closure* c, ClosureRoutine routine, BufferHandle* bound,
                                            BufferHandle* message)
{
    ControlBlock* target = c->target ? c->target->cb : nullptr;
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::TryLock(target);
    if (target && !held)
        return kStatusInvalidState;
    return ClosureInvoke(routine, c->target, bound, message);
}

// Calls the consumer here; the number of bytes it took, never more than offered.
uint32_t Offer(StreamStage* s, const BufferHandle* piece)
{
    if (!s->consumer.routine)
        return piece->size;
    BufferHandle view = *piece;  // the consumer sees the bytes, not the queue's own handle
    StageOffer offer = {&view, piece->size};
    BufferHandle message = {&offer, nullptr, 0, sizeof(offer)};
    s->consumer.routine(&s->consumer.bound, &message);
    return offer.accepted < piece->size ? offer.accepted : piece->size;
}

// Without an entry the bytes cannot wait and are let go.
void Enqueue(StreamStage* s, HandleOwner piece)
{
    BlockPool* pool = SharedBlockPoolGet(g_pieces, sizeof(PendingPiece), DestroyPiecePool);
    auto* entry = pool ? static_cast<PendingPiece*>(BlockPoolAlloc(pool)) : nullptr;
    if (!entry)
        return;
    entry->piece = piece.release();
    ListPushBack(&s->queue, &entry->links);
    ++s->queue.count;
}

void FreeFirstPiece(StreamStage* s)
{
    auto* entry = reinterpret_cast<PendingPiece*>(ListPopFront(&s->queue));
    HandleOwner piece = HandleOwner::Adopt(entry->piece);  // dropped last: it may wake the writer
    BlockRelease(entry);  // a pool entry, unlinked above
}

void FreeQueue(StreamStage* s)
{
    while (!ListIsEmpty(&s->queue))
        FreeFirstPiece(s);
}

HANDLE& EventIn(const BufferHandle& h) { return *static_cast<HANDLE*>(h.data); }

// The registered waiter's reference, leaving none registered.
HandleOwner TakeFlushWaiter(StreamStage* s) { return HandleOwner::Adopt(std::exchange(s->flushWaiter, BufferHandle{})); }

void SignalFlushWaiter(StreamStage* s)
{
    if (!s->flushWaiter.cb)
        return;
    HandleOwner waiter = TakeFlushWaiter(s);
    SetEvent(EventIn(*waiter.get()));
}


void CloseEventPayload(void* payload)
{
    if (HANDLE event = *static_cast<HANDLE*>(payload))
        CloseHandle(event);
}

void SignalEventPayload(void* payload) { SetEvent(*static_cast<HANDLE*>(payload)); }

// Executor-side steps: bound is the stage, message the step's argument.
void RunWrite(BufferHandle* bound, BufferHandle* message) { StageWriteNow(StageOf(bound), message); }
void RunResume(BufferHandle* bound, BufferHandle*) { StageResumeNow(StageOf(bound)); }
void RunDrop(BufferHandle* bound, BufferHandle*) { StageDropNow(StageOf(bound)); }
// Without a next stage (or its memory) the message is dropped, as a write past the end is.
void RunForward(BufferHandle* bound, BufferHandle* message) { (void)StageForward(StageOf(bound), message); }

void RunSetNext(BufferHandle* bound, BufferHandle* message)
{
    StreamStage* s = StageOf(bound);
    auto* next = message ? static_cast<StreamStage*>(message->data) : nullptr;
    if (s->next != next)
        StageHold(s->next, next);
}

// Message: the waiter buffer. An empty queue signals it (and any earlier one) at once.
void RunRegisterWaiter(BufferHandle* bound, BufferHandle* message)
{
    StreamStage* s = StageOf(bound);
    if (ListIsEmpty(&s->queue)) {
        SignalFlushWaiter(s);
        SetEvent(EventIn(*message));
        return;
    }
    BufHandleAssign(&s->flushWaiter, message);
}

// Clears the registration only while it is still this waiter's.
void RunWithdrawWaiter(BufferHandle* bound, BufferHandle* message)
{
    StreamStage* s = StageOf(bound);
    if (s->flushWaiter.cb && s->flushWaiter.cb == message->cb)
        TakeFlushWaiter(s).reset();
}

[[nodiscard]] NtStatus WriteAndWait(StreamStage* s, const void* data, uint32_t size, ClosureRoutine step)
{
    HANDLE released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!released)
        return kStatusUnsuccessful;
    BufferHandle holder;
    NtStatus status = BufAlloc(&holder, nullptr, SignalEventPayload, sizeof(HANDLE));
    if (status != kStatusSuccess) {
        CloseHandle(released);
        return status;
    }
    EventIn(holder) = released;
    {
        // The caller's bytes under the holder's control block, with the holder's
        // reference: its last release means done.
        HandleOwner bytes = HandleOwner::Adopt({const_cast<void*>(data), holder.cb, 0, size});
        status = StageRun(s, step, bytes.get());
    }
    WaitForSingleObject(released, INFINITE);
    CloseHandle(released);
    return status;
}

}  // namespace

const TypeDescriptor kStreamStageType = {sizeof(StreamStage), StageInit, StageDestroy};

void StageHold(StreamStage*& field, StreamStage* stage)
{
    RefOwner<StreamStage> old = RefOwner<StreamStage>::Adopt(field);
    field = RefOwner<StreamStage>::AddRef(stage).release();
}

void StageInit(void* stage, ControlBlock* cb)
{
    auto* s = static_cast<StreamStage*>(stage);
    std::memset(s, 0, sizeof(*s));
    s->cb = cb;
    StrandInit(&s->strand, cb);
    ListInit(&s->queue);
    s->flags = kStageLastFlowNonEmpty;
}

void StageDestroy(void* stage)
{
    auto* s = static_cast<StreamStage*>(stage);
    FreeQueue(s);
    StageHold(s->next, nullptr);
    ReleaseWithWeakTarget(&s->consumer);
    ReleaseWithWeakTarget(&s->flowInput);
    TakeFlushWaiter(s).reset();
    StrandDestroy(&s->strand);
}

NtStatus StageCreate(StreamStage** out, const Closure* consumer)
{
    void* object = nullptr;
    NtStatus status = ObjCreateFromDescriptor(&object, kStreamStageType);
    *out = static_cast<StreamStage*>(object);
    if (status == kStatusSuccess)
        StageSetConsumer(*out, consumer);
    return status;
}

StreamStage* StageCreateNext(StreamStage* stage, const Closure* consumer)
{
    StreamStage* next;
    if (StageCreate(&next, consumer) != kStatusSuccess)
        return nullptr;
    RefOwner<ControlBlock> created = RefOwner<ControlBlock>::Adopt(next->cb);  // the chain holds it from here
    return StatusAccepted(StageSetNext(stage, next)) ? next : nullptr;
}

void StageSetConsumer(StreamStage* stage, const Closure* consumer)
{
    Closure copy;
    CopyWithWeakTarget(&copy, consumer);
    ReleaseWithWeakTarget(&stage->consumer);
    stage->consumer = copy;
}

void StageSetFlowInput(StreamStage* stage, const Closure* input)
{
    Closure copy;
    CopyWithWeakTarget(&copy, input);
    ReleaseWithWeakTarget(&stage->flowInput);
    stage->flowInput = copy;
}

const ExecutorRecord* StageExecutor(const StreamStage* stage)
{
    return stage->consumer.target ? stage->consumer.target : &stage->strand.exec;
}

NtStatus StageRun(StreamStage* stage, ClosureRoutine routine, BufferHandle* message)
{
    if (!stage->consumer.target)
        return StrandPost(stage, nullptr, routine, message);
    BufferHandle bound = {stage, stage->cb, 0, 0};
    return InvokeWithWeakTarget(&stage->consumer, routine, &bound, message);
}

NtStatus StageSetNext(StreamStage* stage, StreamStage* next)
{
    BufferHandle message = {next, next ? next->cb : nullptr, 0, 0};
    return StageRun(stage, RunSetNext, &message);
}

NtStatus StageClearNext(StreamStage* stage) { return StageSetNext(stage, nullptr); }

NtStatus StageWrite(StreamStage* stage, const BufferHandle* buffer)
{
    BufferHandle message = buffer ? *buffer : BufferHandle{};  // queued with a reference of its own
    return StageRun(stage, RunWrite, &message);
}

NtStatus StageResume(StreamStage* stage) { return StageRun(stage, RunResume, nullptr); }

NtStatus StageForward(StreamStage* stage, const BufferHandle* buffer)
{
    return stage->next ? StageWrite(stage->next, buffer) : kStatusInvalidState;
}

NtStatus StageDrop(StreamStage* stage) { return StageRun(stage, RunDrop, nullptr); }

void StageWriteNow(StreamStage* stage, const BufferHandle* buffer)
{
    assert(RunsOnExecutor(StageExecutor(stage)) && "a stage's queue is used on its executor");
    if (!buffer || !buffer->data || buffer->size == 0)
        return;
    HandleOwner held = HandleLockCopy(buffer);
    if (!held)
        return;
    // Behind queued bytes nothing is offered, so the bytes leave in the order written.
    if (ListIsEmpty(&stage->queue)) {
        uint32_t taken = Offer(stage, held.get());
        if (taken == held->size)
            return;
        Advance(held.get(), taken);
    }
    Enqueue(stage, std::move(held));
}

void StageResumeNow(StreamStage* stage)
{
    assert(RunsOnExecutor(StageExecutor(stage)) && "a stage's queue is used on its executor");
    while (!ListIsEmpty(&stage->queue)) {
        auto* first = reinterpret_cast<PendingPiece*>(stage->queue.first);
        uint32_t taken = Offer(stage, &first->piece);
        if (taken < first->piece.size) {
            Advance(&first->piece, taken);
            return;
        }
        FreeFirstPiece(stage);
    }
    SignalFlushWaiter(stage);
}

void StageDropNow(StreamStage* stage)
{
    assert(RunsOnExecutor(StageExecutor(stage)) && "a stage's queue is used on its executor");
    FreeQueue(stage);
    SignalFlushWaiter(stage);
    if (stage->next)
        (void)StageDrop(stage->next);  // refused only for want of memory: the rest keeps its data
}

void StageOnFlow(StreamStage* stage, BufferHandle* message)
{
    uint32_t nonEmpty = message && message->size != 0 ? kStageLastFlowNonEmpty : 0;
    stage->flags = (stage->flags & ~kStageLastFlowNonEmpty) | nonEmpty;
    // A flow listener that is gone or cannot be reached misses this notice only.
    (void)InvokeWithWeakTarget(&stage->flowInput, stage->flowInput.routine, &stage->flowInput.bound, message);
}

int StageFlushWait(StreamStage* stage, uint32_t milliseconds)
{
    HandleOwner waiter;
    if (BufAlloc(waiter.put(), nullptr, CloseEventPayload, sizeof(HANDLE)) != kStatusSuccess)
        return 0;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EventIn(*waiter.get()) = event;
    if (!event || !StatusAccepted(StageRun(stage, RunRegisterWaiter, waiter.get())))
        return 0;
    int flushed = WaitForSingleObject(event, milliseconds) == WAIT_OBJECT_0 ? 1 : 0;
    // A waiter left registered holds its own reference and is only signalled later.
    (void)StageRun(stage, RunWithdrawWaiter, waiter.get());
    return flushed;
}

NtStatus StageWriteSync(StreamStage* stage, const void* data, uint32_t size)
{
    return WriteAndWait(stage, data, size, RunWrite);
}

NtStatus StageForwardSync(StreamStage* stage, const void* data, uint32_t size)
{
    return WriteAndWait(stage, data, size, RunForward);
}
