#pragma once
#include "runtime/BufferHandle.h"

// A routine, the executor that must run it, and a bound handle. Invoking a
// closure calls the routine at once or hands it to the executor's post routine.
typedef void (*ClosureRoutine)(BufferHandle* bound, BufferHandle* message);

// Post routine of an executor: 0 when the routine ran inside the call, kStatusPending
// when it was queued, or a failure status (the routine will not run).
typedef NtStatus (*ExecutorPost)(void* record, ClosureRoutine routine, BufferHandle* bound,
                                 BufferHandle* message);

// The first two words of every executor (Strand, StrandPair, IoCommandQueue,
// ThreadBinding): its control block, then its post routine.
struct ExecutorRecord {
    ControlBlock* cb;
    ExecutorPost post;
};

struct Closure {
    ClosureRoutine routine;  // none: an empty closure
    ExecutorRecord* target;  // none: run on the invoking thread
    BufferHandle bound;
};

static_assert(sizeof(void*) == 4, "executor records and closures are laid out in 32-bit words");
static_assert(sizeof(ExecutorRecord) == 8 && sizeof(Closure) == 24, "closure layouts");

// Strong reference on the target's control block; bound copied with a reference of its kind.
void ClosureInit(Closure* c, ClosureRoutine routine, ExecutorRecord* target, const BufferHandle* bound);
// bound = {object, its control block, weak flag, size word} with its own reference.
void ClosureInitForObject(Closure* c, ClosureRoutine routine, ExecutorRecord* target, void* object,
                          uint32_t sizeWord, uint32_t weak);
Closure* ClosureCopy(Closure* destination, const Closure* source);  // none gives an empty closure
void ClosureRelease(Closure* c);
void ClosureReset(Closure* c);  // release, then leave the closure empty
[[nodiscard]] NtStatus ClosureInvoke(ClosureRoutine routine, ExecutorRecord* target, BufferHandle* bound,
                                     BufferHandle* message);
// Bound made on the spot as {object, its control block, strong, 0}, no reference taken.
[[nodiscard]] NtStatus ClosureInvokeFor(void* object, ClosureRoutine routine, ExecutorRecord* target,
                                        BufferHandle* message);
[[nodiscard]] inline NtStatus ClosureCall(Closure* c, BufferHandle* message)
{
    return ClosureInvoke(c->routine, c->target, &c->bound, message);
}
