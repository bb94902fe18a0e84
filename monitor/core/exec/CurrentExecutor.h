#pragma once
#include "exec/Closure.h"
#include <windows.h>

// Answers "does the calling thread run on this executor now?", so that a
// routine that must run on a strand, an I/O thread or a window's thread can
// assert it, as sequence checkers do.
struct Strand;

// Marks the strand as the calling thread's for one routine call: the strand's
// own runs and drains, and a hop's step that runs while its first strand is held.
class CurrentStrandScope {
public:
    explicit CurrentStrandScope(const Strand* strand);
    ~CurrentStrandScope();
    CurrentStrandScope(const CurrentStrandScope&) = delete;
    CurrentStrandScope& operator=(const CurrentStrandScope&) = delete;

    const Strand* const strand;
    const CurrentStrandScope* const outer;
};

// True while the calling thread runs a routine for the strand (also nested in
// another strand's routine).
bool RunsOnStrand(const Strand* strand);
inline bool RunsOnThread(DWORD threadId) { return GetCurrentThreadId() == threadId; }
// A strand or an I/O command queue is asked as above; none is the invoking
// thread itself, and an executor of a later layer (a window thread's binding)
// is taken on trust: its owner asserts with RunsOnThread.
bool RunsOnExecutor(const ExecutorRecord* executor);
