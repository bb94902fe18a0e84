#pragma once
#include "runtime/BlockPool.h"
#include "runtime/ExitCallbacks.h"
#include "runtime/OnceFlag.h"

// A process-wide block pool made on first use and torn down by an exit
// callback, so that a restarted core builds it afresh. Each user keeps one
// record and a parameterless exit routine that calls SharedBlockPoolDestroy.
struct SharedBlockPool {
    OnceFlag once;
    BlockPool* pool;
};

// The pool, or null when it cannot be made (out of memory, or outside start-up
// and shut-down); a later call tries again.
BlockPool* SharedBlockPoolGet(SharedBlockPool& shared, uint32_t payloadSize, ExitRoutine teardown);
void SharedBlockPoolDestroy(SharedBlockPool& shared);
