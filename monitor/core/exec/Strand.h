#pragma once
#include "exec/Closure.h"
#include "runtime/IntrusiveList.h"
#include <windows.h>

// Serial executor: routines posted to it never run on two threads at once and
// run in the order they were queued. Busy 0 idle, 1 running, each hold + 1.
// Objects that own a strand embed it directly after their control-block word.
struct Strand {
    ExecutorRecord exec;  // control block, StrandRun
    ListHead queue;
    CRITICAL_SECTION lock;
    volatile LONG busy;
};

static_assert(sizeof(void*) == 4, "strands are laid out in 32-bit words");
static_assert(offsetof(Strand, queue) == 8, "the post routine is the second word");

void StrandInit(Strand* s, ControlBlock* cb);
void StrandDestroy(Strand* s);  // deletes the lock; the queue is expected empty
extern const TypeDescriptor kStrandType;

// Post routine: runs here when idle (0 if the strand is idle afterwards, else
// kStatusPending), else queues (kStatusPending, or the queue's failure).
[[nodiscard]] NtStatus StrandRun(void* strand, ClosureRoutine routine, BufferHandle* bound, BufferHandle* message);
// Releases one hold and runs what is queued; 1 when idle afterwards, 0 when still held.
// The owner is held while queued calls run, so one of them may drop its last reference.
int StrandDrain(Strand* s);
void StrandHold(Strand* s);
int StrandTryAcquire(Strand* s);  // idle: take it and return 1; else 0
void StrandAcquire(Strand* s);    // wait until idle, then take it; end with StrandDrain
// Runs the routine while A and then B are both held. B none or B = A: StrandRun on A.
// When B refuses the call, A's hold is undone and the routine does not run; the
// refusal is returned when it came before StrandHop returned, else (a hop that
// waited in A's queue) it is counted in StrandRefusedHopCount and told to the
// debugger.
[[nodiscard]] NtStatus StrandHop(Strand* a, ExecutorRecord* b, ClosureRoutine routine, BufferHandle* bound,
                                 BufferHandle* message);
// Queued hops refused by their second executor since the process started.
uint32_t StrandRefusedHopCount();
// StrandHop with A = the strand embedded after the object's control-block word
// and bound = {object, its control block, strong, 0} made on the spot.
[[nodiscard]] NtStatus StrandPost(void* object, ExecutorRecord* b, ClosureRoutine routine, BufferHandle* message);
inline Strand* StrandOf(void* object) { return reinterpret_cast<Strand*>(static_cast<ControlBlock**>(object) + 1); }
