#include "exec/OneShotTimer.h"
#include "exec/TimerThread.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"

namespace {

// Swaps closure and argument under the timer's lock; what they held is
// released after the lock is left, since a release may run any destroy routine.
void Swap(OneShotTimer* timer, const Closure* closure, const BufferHandle* argument)
{
    Closure old;
    BufferHandle oldArgument;
    {
        ScopedLock hold(timer->lock);
        old = timer->closure;
        oldArgument = timer->argument;
        ClosureCopy(&timer->closure, closure);
        BufHandleCopy(&timer->argument, argument);
    }
    ClosureRelease(&old);
    BufHandleRelease(&oldArgument);
}

void Empty(OneShotTimer* timer) { Swap(timer, nullptr, nullptr); }

}  // namespace

NtStatus TimerCreate(OneShotTimer* timer)
{
    *timer = {};
    NtStatus status = TimerThreadEnsure();
    if (status != kStatusSuccess)
        return status;
    timer->waitable = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    if (!timer->waitable)
        return kStatusNoMemory;
    timer->retire = TimerRequestMake(kTimerRequestDelete, timer, 0);
    if (!timer->retire) {
        CloseHandle(timer->waitable);
        timer->waitable = nullptr;
        return kStatusNoMemory;
    }
    InitializeCriticalSection(&timer->lock);
    return kStatusSuccess;
}

NtStatus TimerSet(OneShotTimer* timer, int32_t milliseconds, const Closure* closure,
                  const BufferHandle* argument)
{
    TimerRequest* request = TimerRequestMake(kTimerRequestSet, timer, milliseconds);
    if (!request)
        return kStatusNoMemory;
    Swap(timer, closure, argument);
    NtStatus status = TimerRequestPost(request);
    if (status != kStatusSuccess) {
        BlockRelease(request);
        Empty(timer);
    }
    return status;
}

void TimerCancel(OneShotTimer* timer)
{
    Empty(timer);
    // Without a request the waitable timer may still expire, but its expiry
    // finds the timer empty.
    if (TimerRequest* request = TimerRequestMake(kTimerRequestCancel, timer, 0)) {
        if (TimerRequestPost(request) != kStatusSuccess)
            BlockRelease(request);
    }
}

void TimerDestroy(OneShotTimer* timer)
{
    Empty(timer);
    TimerRequest* retire = timer->retire;
    timer->retire = nullptr;
    if (TimerRequestPost(retire) != kStatusSuccess) {
        // No timer thread left: no expiry can run, close here.
        CancelWaitableTimer(retire->waitable);
        CloseHandle(retire->waitable);
        BlockRelease(retire);
    }
    // Only now: an expiry already past its check holds this lock until it has
    // moved the closure out, and the post above waited for it.
    DeleteCriticalSection(&timer->lock);
}
