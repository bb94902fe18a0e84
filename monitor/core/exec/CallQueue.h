#pragma once
#include "exec/Closure.h"
#include "runtime/IntrusiveList.h"

// Queue of pending calls {routine, bound, message}. Entries come from one
// process-wide block pool made on first use and torn down at shut-down; each
// entry owns both of its handles.
void CallQueueInit(ListHead* queue);
// Appends copies of both handles (a null message becomes an empty handle). 0 or kStatusNoMemory.
[[nodiscard]] NtStatus CallQueuePush(ListHead* queue, ClosureRoutine routine, const BufferHandle* bound,
                                     const BufferHandle* message);
// Moves the first entry's handles out to the caller; kStatusInvalidState when empty.
[[nodiscard]] NtStatus CallQueuePop(ListHead* queue, ClosureRoutine* routine, BufferHandle* bound,
                                    BufferHandle* message);
// Runs and releases every entry in order; the number run.
uint32_t CallQueueRunAll(ListHead* queue);
// Frees every entry, releasing its handles, without running it.
void CallQueueClear(ListHead* queue);
