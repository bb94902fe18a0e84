#pragma once
#include <windows.h>
#include <cstdint>

// A process-wide count of things in use with a manual-reset event that is
// signalled while the count is 0. Transitions on different threads can
// interleave (one thread's 0->1 reset landing after another's 1->0 set), so the
// event is only a wake-up hint: LiveCounterWait trusts the count alone and
// looks at it again in short slices.
struct LiveCounter {
    volatile LONG count;
    HANDLE allFreed;
};

void LiveCounterOpen(LiveCounter& c);  // creates the event, signalled when the count is 0
void LiveCounterClose(LiveCounter& c);
void LiveCounterEnter(LiveCounter& c);
void LiveCounterLeave(LiveCounter& c);
// 1 when the count is 0 within the time, else 0.
int LiveCounterWait(LiveCounter& c, uint32_t milliseconds);
