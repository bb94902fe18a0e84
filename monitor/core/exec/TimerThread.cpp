#include "exec/TimerThread.h"
#include "exec/ClosureOwner.h"
#include "exec/OneShotTimer.h"
#include "runtime/BlockOwner.h"
#include "runtime/ExitCallbacks.h"
#include "runtime/HandleOwner.h"
#include "runtime/OnceFlag.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"
#include <cstring>

namespace {

struct TimerThreadRecord {
    CRITICAL_SECTION lock;
    HANDLE wake;  // auto reset
    HANDLE thread;
    ListHead requests;
    TimerRequest* stop;  // made with the record: shut-down must be able to stop the thread
};

OnceFlag g_once;
TimerThreadRecord* volatile g_record;

// True when a request still waiting to be applied names the timer: the expiry
// belongs to an arming that a later set, a cancel or a delete has overtaken
// (the timer may even be freed already), so it must not run.
bool Overtaken(TimerThreadRecord* t, OneShotTimer* timer)
{
    for (ListNode* n = t->requests.first; n != ListSentinel(&t->requests); n = n->next) {
        auto* r = reinterpret_cast<TimerRequest*>(n);
        if (r->timer == timer && r->kind != kTimerRequestStop)
            return true;
    }
    return false;
}

void CALLBACK TimerApcProc(void* argument, DWORD, DWORD)
{
    auto* timer = static_cast<OneShotTimer*>(argument);
    TimerThreadRecord* t = g_record;
    // Message first, so that the closure goes first.
    HandleOwner message;
    ClosureOwner closure;
    {
        // The record's lock is held across the timer's: a caller posts its
        // delete only under the record's lock, so the timer cannot be freed
        // between the check and the move.
        ScopedLock holdRecord(t->lock);
        if (Overtaken(t, timer))
            return;
        ScopedLock holdTimer(timer->lock);
        closure.reset(timer->closure);
        message.reset(timer->argument);
        timer->closure = {};
        timer->argument = {};
    }
    try {
        // A timer whose executor is gone has no one left to tell.
        (void)ClosureCall(closure.get(), message.get());
    } catch (...) {
        // Nothing may unwind into the system's APC dispatcher.
    }
}

void Apply(const TimerRequest* r)
{
    switch (r->kind) {
    case kTimerRequestSet: {
        LARGE_INTEGER due;
        due.QuadPart = static_cast<LONGLONG>(r->delayMs) * -10000;
        // Cancelling also withdraws an expiry of the previous arming that is
        // queued and not yet run.
        CancelWaitableTimer(r->waitable);
        SetWaitableTimer(r->waitable, &due, 0, TimerApcProc, r->timer, FALSE);
        break;
    }
    case kTimerRequestCancel:
        CancelWaitableTimer(r->waitable);
        break;
    case kTimerRequestDelete:
        CancelWaitableTimer(r->waitable);
        CloseHandle(r->waitable);
        break;
    default:
        break;
    }
}

// Applies every queued request in order; true when one of them was stop.
bool ApplyRequests(TimerThreadRecord* t)
{
    bool stop = false;
    for (;;) {
        BlockOwner<TimerRequest> r;
        {
            ScopedLock hold(t->lock);
            if (ListIsEmpty(&t->requests))
                return stop;
            r.reset(reinterpret_cast<TimerRequest*>(ListPopFront(&t->requests)));
        }
        if (r->kind == kTimerRequestStop)
            stop = true;
        else
            Apply(r.get());
    }
}

DWORD WINAPI TimerThreadProc(void* parameter)
{
    auto* t = static_cast<TimerThreadRecord*>(parameter);
    for (;;) {
        if (WaitForSingleObjectEx(t->wake, INFINITE, TRUE) == WAIT_OBJECT_0 && ApplyRequests(t))
            return 0;
    }
}

void FreeRecord(TimerThreadRecord* t)
{
    BlockOwner<TimerThreadRecord> record(t);
    BlockOwner<TimerRequest> stop(t->stop);
    if (t->wake)
        CloseHandle(t->wake);
    DeleteCriticalSection(&t->lock);
}

void StopAndFree(TimerThreadRecord* t)
{
    {
        ScopedLock hold(t->lock);
        ListPushBack(&t->requests, &t->stop->links);
        ++t->requests.count;
        t->stop = nullptr;
    }
    SetEvent(t->wake);
    WaitForSingleObject(t->thread, INFINITE);
    CloseHandle(t->thread);
    g_record = nullptr;
    // Requests posted after the stop: nothing will serve them, but a timer
    // deleted that late still gives its waitable timer back.
    while (!ListIsEmpty(&t->requests)) {
        BlockOwner<TimerRequest> r(reinterpret_cast<TimerRequest*>(ListPopFront(&t->requests)));
        if (r->kind == kTimerRequestDelete)
            Apply(r.get());
    }
    FreeRecord(t);
}

void TimerThreadStop()
{
    StopAndFree(g_record);
    OnceReset(g_once);
}

[[nodiscard]] NtStatus StartThread()
{
    auto* t = static_cast<TimerThreadRecord*>(BlockAlloc(sizeof(TimerThreadRecord)));
    if (!t)
        return kStatusNoMemory;
    std::memset(t, 0, sizeof(*t));
    InitializeCriticalSection(&t->lock);
    ListInit(&t->requests);
    t->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    t->stop = TimerRequestMake(kTimerRequestStop, nullptr, 0);
    if (t->wake && t->stop)
        t->thread = CreateThread(nullptr, 0, TimerThreadProc, t, 0, nullptr);
    if (!t->thread) {
        FreeRecord(t);
        return kStatusNoMemory;
    }
    g_record = t;
    NtStatus status = AtExitRegister(TimerThreadStop);
    if (status != kStatusSuccess)
        StopAndFree(t);  // outside start-up: nobody would ever stop it
    return status;
}

}  // namespace

NtStatus TimerThreadEnsure()
{
    if (!OnceBegin(g_once))
        return g_record ? kStatusSuccess : kStatusInvalidState;
    NtStatus status = StartThread();
    if (status == kStatusSuccess)
        OnceEnd(g_once);
    else
        OnceReset(g_once);
    return status;
}

TimerRequest* TimerRequestMake(uint32_t kind, OneShotTimer* timer, int32_t delayMs)
{
    auto* r = static_cast<TimerRequest*>(BlockAlloc(sizeof(TimerRequest)));
    if (!r)
        return nullptr;
    std::memset(r, 0, sizeof(*r));
    r->kind = kind;
    r->timer = timer;
    r->waitable = timer ? timer->waitable : nullptr;
    r->delayMs = delayMs;
    return r;
}

NtStatus TimerRequestPost(TimerRequest* request, void (*underLock)(void* context), void* context)
{
    TimerThreadRecord* t = g_record;
    if (!t)
        return kStatusInvalidState;
    {
        ScopedLock hold(t->lock);
        if (underLock)
            underLock(context);
        ListPushBack(&t->requests, &request->links);
        ++t->requests.count;
    }
    SetEvent(t->wake);
    return kStatusSuccess;
}
