#pragma once
#include "exec/Strand.h"

// Executor that hops from strand A to executor B for every call.
struct StrandPair {
    ExecutorRecord exec;  // control block, StrandPairPost
    Strand* a;            // strong references on both, or none
    ExecutorRecord* b;
};

static_assert(sizeof(StrandPair) == 16, "strand pair layout");

void StrandPairInit(StrandPair* pair, ControlBlock* cb);
// Takes the new references before dropping the old; the same pointers again change nothing.
void StrandPairSet(StrandPair* pair, Strand* a, ExecutorRecord* b);
void StrandPairDestroy(StrandPair* pair);
// StrandHop with the pair's A and B; without A the call goes straight to B (or runs here).
[[nodiscard]] NtStatus StrandPairPost(void* pair, ClosureRoutine routine, BufferHandle* bound, BufferHandle* message);
