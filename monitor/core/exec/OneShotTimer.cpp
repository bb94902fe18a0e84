#include "exec/OneShotTimer.h"
#include "exec/ClosureOwner.h"
#include "exec/TimerThread.h"
#include "runtime/BlockOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/ScopedLock.h"

namespace {

// A replacement of the timer's closure and argument; what they held before
// is kept here and released as the swap goes, once every lock is left, since
// a release may run any destroy routine. The old closure goes first.
struct Swap {
    OneShotTimer* timer;
    const Closure* closure;  // none: empty the timer
    const BufferHandle* argument;
    HandleOwner oldArgument;
    ClosureOwner old;
};

void SwapUnderTimerLock(void* context)
{
    auto* s = static_cast<Swap*>(context);
    ScopedLock hold(s->timer->lock);
    s->old.reset(s->timer->closure);
    s->oldArgument.reset(s->timer->argument);
    ClosureCopy(&s->timer->closure, s->closure);
    BufHandleCopy(&s->timer->argument, s->argument);
}

void Empty(OneShotTimer* timer)
{
    Swap swap = {timer, nullptr, nullptr, {}, {}};
    SwapUnderTimerLock(&swap);
}

// Swaps and queues the request in one step under the timer thread's lock, in
// the expiries' lock order (the thread's, then the timer's): an expiry of the
// previous arming either took the old closure before, or finds the request
// and fires nothing. Without a timer thread the timer is emptied (nothing can
// expire any more) and the request stays the caller's.
[[nodiscard]] NtStatus Replace(OneShotTimer* timer, BlockOwner<TimerRequest>& request, const Closure* closure,
                               const BufferHandle* argument)
{
    NtStatus status;
    {
        Swap swap = {timer, closure, argument, {}, {}};
        status = TimerRequestPost(request.get(), SwapUnderTimerLock, &swap);
    }
    if (status == kStatusSuccess)
        request.release();  // the timer thread frees it once applied
    else
        Empty(timer);
    return status;
}

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
    BlockOwner<TimerRequest> request(TimerRequestMake(kTimerRequestSet, timer, milliseconds));
    if (!request)
        return kStatusNoMemory;
    return Replace(timer, request, closure, argument);
}

void TimerCancel(OneShotTimer* timer)
{
    // Without a request the waitable timer may still expire, but its expiry
    // finds the timer empty.
    BlockOwner<TimerRequest> request(TimerRequestMake(kTimerRequestCancel, timer, 0));
    if (!request)
        Empty(timer);
    else
        (void)Replace(timer, request, nullptr, nullptr);  // refused: nothing can expire any more
}

void TimerDestroy(OneShotTimer* timer)
{
    BlockOwner<TimerRequest> retire(timer->retire);
    timer->retire = nullptr;
    if (Replace(timer, retire, nullptr, nullptr) != kStatusSuccess) {
        // No timer thread left: no expiry can run, close here.
        CancelWaitableTimer(retire->waitable);
        CloseHandle(retire->waitable);
    }
    // Only now: an expiry already past its check holds this lock until it has
    // moved the closure out, and the post above waited for it.
    DeleteCriticalSection(&timer->lock);
}
