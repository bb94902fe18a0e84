#pragma once
#include "exec/Closure.h"
#include "exec/Strand.h"
#include "runtime/IntrusiveList.h"

// One link of a byte-stream pipeline. Bytes written into a stage are offered
// to its consumer, which says how many it took; the rest waits, in order, in
// the output queue until the stage is resumed. A consumer that takes nothing
// therefore holds back whoever keeps the written buffer alive: that is the
// pipeline's back-pressure.
//
// All queue and next-stage work of a stage runs on one executor: its
// consumer's target, or the stage's own strand when the consumer names none.
// Holding the consumer's and the flow input's targets weakly lets an object
// own a stage whose consumer runs on the object's own strand without keeping
// itself alive; work posted after that executor is gone is refused.
struct StreamStage {
    ControlBlock* cb;
    Strand strand;
    StreamStage* next;  // strong, or none
    Closure consumer;   // target held weakly
    Closure flowInput;  // target held weakly
    ListHead queue;     // of pending pieces, each holding a reference on its written buffer
    uint32_t flags;
    BufferHandle flushWaiter;  // data holds the event to signal once the queue is empty
};

static_assert(sizeof(void*) == 4, "stages are laid out in 32-bit words");

// The consumer's message data: it writes into `accepted` how many bytes of the
// offered buffer it took (preset to all of them). Claims above the offered
// size count as all.
struct StageOffer {
    BufferHandle* offered;
    uint32_t accepted;
};

constexpr uint32_t kStageLastFlowNonEmpty = 1;  // flags bit 0

// Keeps a strong reference on `stage` (or none) in a field of a fixed layout;
// the one the field held before goes once the new one is taken.
void StageHold(StreamStage*& field, StreamStage* stage);

void StageInit(void* stage, ControlBlock* cb);
void StageDestroy(void* stage);
extern const TypeDescriptor kStreamStageType;

// A standalone stage with a copy of the consumer (none: every byte is taken). 0 or kStatusNoMemory.
[[nodiscard]] NtStatus StageCreate(StreamStage** out, const Closure* consumer);
// A new stage placed after `stage` (held by it once the posted link has run), or null.
StreamStage* StageCreateNext(StreamStage* stage, const Closure* consumer);
// Set while no bytes flow yet, normally at construction.
void StageSetConsumer(StreamStage* stage, const Closure* consumer);
void StageSetFlowInput(StreamStage* stage, const Closure* input);

// Posted onto the stage's executor; the posting status (0, kStatusPending, or a failure
// after which the work does not run: kStatusInvalidState when the executor is gone).
[[nodiscard]] NtStatus StageSetNext(StreamStage* stage, StreamStage* next);
[[nodiscard]] NtStatus StageClearNext(StreamStage* stage);
[[nodiscard]] NtStatus StageWrite(StreamStage* stage, const BufferHandle* buffer);
[[nodiscard]] NtStatus StageResume(StreamStage* stage);
[[nodiscard]] NtStatus StageForward(StreamStage* stage, const BufferHandle* buffer);  // to the next stage, if any
[[nodiscard]] NtStatus StageDrop(StreamStage* stage);  // empties the queue of this stage and of every one after it
// Runs routine(bound = {stage, strong}, message) on the stage's executor.
[[nodiscard]] NtStatus StageRun(StreamStage* stage, ClosureRoutine routine, BufferHandle* message);

// The executor that runs the stage's queue work: the consumer's target, else its own strand.
const ExecutorRecord* StageExecutor(const StreamStage* stage);
// The same work for a caller already running on the stage's executor.
void StageWriteNow(StreamStage* stage, const BufferHandle* buffer);
void StageResumeNow(StreamStage* stage);
void StageDropNow(StreamStage* stage);

// Records whether the flow message is non-empty, then hands it to the flow input.
void StageOnFlow(StreamStage* stage, BufferHandle* message);

// 1 when the queue became empty within the time, 0 otherwise.
int StageFlushWait(StreamStage* stage, uint32_t milliseconds);
// Write the caller's bytes without copying them (into the stage, or on to its
// next stage) and wait until every piece has been consumed or dropped. Not to
// be called on the stage's own executor. The posting status, or kStatusNoMemory.
[[nodiscard]] NtStatus StageWriteSync(StreamStage* stage, const void* data, uint32_t size);
[[nodiscard]] NtStatus StageForwardSync(StreamStage* stage, const void* data, uint32_t size);
