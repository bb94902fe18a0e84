#pragma once
#include "exec/Closure.h"
#include <windows.h>

// Joins a known number of completions into one: each operation gets a closure
// bound to the counter; once all of them have completed, the counter's closure
// receives a status message with the first failure (0 when all succeeded).
struct CompletionCounter {
    Closure closure;
    volatile LONG remaining;
    volatile LONG firstError;
};

void CompletionCounterInit(CompletionCounter* counter, uint32_t count, const Closure* done);
void CompletionCounterRelease(CompletionCounter* counter);
// The completion function: bound->data is the counter; the message begins
// with a status (a message without one counts as success).
void CompletionCounterComplete(BufferHandle* bound, BufferHandle* message);
// A closure for one operation; `owner`, when given, is the control block that
// keeps the counter's memory alive and is referenced by the closure.
void CompletionCounterBind(CompletionCounter* counter, ControlBlock* owner, Closure* out);
