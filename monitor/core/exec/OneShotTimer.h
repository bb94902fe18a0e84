#pragma once
#include "exec/Closure.h"
#include <windows.h>

struct TimerRequest;

// A timer that invokes its closure once, a number of milliseconds after
// TimerSet. Every waitable-timer call is made on the process's timer thread;
// callers only swap the closure under the timer's lock and post a request.
// Owners embed the timer and may free its memory as soon as TimerDestroy returns.
struct OneShotTimer {
    CRITICAL_SECTION lock;
    Closure closure;        // empty while idle
    BufferHandle argument;  // handed to the closure as its message
    HANDLE waitable;        // synchronization timer; closed by the timer thread
    TimerRequest* retire;   // the delete request, made up front so that TimerDestroy cannot fail
};

static_assert(sizeof(void*) == 4, "timers are laid out in 32-bit words");

// Starts the timer thread with the first timer of the process. 0, kStatusNoMemory,
// or kStatusInvalidState outside FrameworkStartup..FrameworkShutdown.
[[nodiscard]] NtStatus TimerCreate(OneShotTimer* timer);
// Replaces closure and argument with copies of the given ones, then arms the
// timer (relative, once). 0, kStatusNoMemory or kStatusInvalidState (the timer thread is
// gone); on failure the timer is left idle.
[[nodiscard]] NtStatus TimerSet(OneShotTimer* timer, int32_t milliseconds, const Closure* closure,
                                const BufferHandle* argument);
// Empties the timer: an expiry not yet run invokes nothing.
void TimerCancel(OneShotTimer* timer);
// Empties the timer and gives its waitable timer to the timer thread to close.
void TimerDestroy(OneShotTimer* timer);
