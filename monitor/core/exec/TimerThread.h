#pragma once
#include "runtime/IntrusiveList.h"
#include "runtime/StatusCodes.h"
#include <windows.h>

struct OneShotTimer;

// The one thread of the process that owns every waitable-timer operation and
// runs the expiries as APCs during its alertable wait.
enum TimerRequestKind : uint32_t { kTimerRequestSet = 0, kTimerRequestCancel = 1, kTimerRequestDelete = 2, kTimerRequestStop = 3 };

struct TimerRequest {
    ListNode links;
    uint32_t kind;
    HANDLE waitable;      // copied from the timer when posted; none for stop
    OneShotTimer* timer;  // none for stop
    int32_t delayMs;      // set only
};

// Starts the thread once per framework start-up (later callers wait for the
// first). 0, kStatusNoMemory or kStatusInvalidState.
[[nodiscard]] NtStatus TimerThreadEnsure();
// Zeroed request, or none.
TimerRequest* TimerRequestMake(uint32_t kind, OneShotTimer* timer, int32_t delayMs);
// Queues the request for the timer thread, which frees it once applied.
// `underLock`, when given, runs with the thread's lock held, just before the
// request is queued: the lock of every expiry, so that a timer's closure is
// replaced and its request queued in one step for any expiry that looks.
// 0, or kStatusInvalidState when the thread is gone (the request is then the
// caller's, and `underLock` has not run).
[[nodiscard]] NtStatus TimerRequestPost(TimerRequest* request, void (*underLock)(void* context) = nullptr,
                                        void* context = nullptr);
