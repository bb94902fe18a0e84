#include "gui/ThreadDispatcher.h"
#include "gui/DispatchGuard.h"
#include "runtime/FixedWaits.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"
#include <cassert>
#include <cstring>

namespace {

struct DispatchEntry {
    ListNode links;
    DWORD stamp;  // tick count with bit 0 set
    ClosureRoutine routine;
    BufferHandle bound;
    BufferHandle message;
};

DWORD Stamp() { return GetTickCount() | 1; }

// The entry's one teardown.
void FreeEntry(DispatchEntry* e)
{
    BufHandleRelease(&e->bound);
    BufHandleRelease(&e->message);
    BlockRelease(e);
}

void FreeAll(ListHead* entries)
{
    while (!ListIsEmpty(entries))
        FreeEntry(reinterpret_cast<DispatchEntry*>(ListPopFront(entries)));
}

DispatchEntry* FirstExpired(ThreadDispatcher* d, DWORD now, DWORD age)
{
    for (ListNode* n = d->queue.first; n != ListSentinel(&d->queue); n = n->next) {
        auto* e = reinterpret_cast<DispatchEntry*>(n);
        if (now - e->stamp >= age)
            return e;
    }
    return nullptr;
}

}  // namespace

ThreadDispatcher* ThreadDispatcherMake(DWORD threadId)
{
    auto* d = static_cast<ThreadDispatcher*>(BlockAlloc(sizeof(ThreadDispatcher)));
    if (!d)
        return nullptr;
    std::memset(d, 0, sizeof(*d));
    d->threadId = threadId;
    InitializeCriticalSection(&d->lock);
    ListInit(&d->queue);
    return d;
}

NtStatus ThreadDispatcherEnqueue(ThreadDispatcher* d, ClosureRoutine routine, const BufferHandle* bound,
                                 const BufferHandle* message)
{
    auto* e = static_cast<DispatchEntry*>(BlockAlloc(sizeof(DispatchEntry)));
    if (!e)
        return kStatusNoMemory;
    e->routine = routine;
    BufHandleCopy(&e->bound, bound);
    BufHandleCopy(&e->message, message);
    e->stamp = Stamp();
    ScopedLock hold(d->lock);
    bool wake = d->window && ListIsEmpty(&d->queue);
    ListPushBack(&d->queue, &e->links);
    ++d->queue.count;
    // A non-empty queue already has its message on the way; without a window
    // the hook drains once it has made one.
    if (wake)
        PostMessageA(d->window, kServiceWindowMessage, 0, 0);
    return kStatusSuccess;
}

bool ThreadDispatcherAttach(ThreadDispatcher* d, HOOKPROC hook)
{
    {
        ScopedLock hold(d->lock);
        d->hook = SetWindowsHookExA(WH_GETMESSAGE, hook, nullptr, d->threadId);
        if (!d->hook)
            return false;
    }
    PostThreadMessageA(d->threadId, WM_NULL, 0, 0);
    return true;
}

void ThreadDispatcherDrain(ThreadDispatcher* d, HWND window)
{
    assert(GetCurrentThreadId() == d->threadId && "a dispatcher's queue is run on its own thread only");
    for (uint32_t i = 0;; ++i) {
        assert(ListIsEmpty(&d->queue) == (d->queue.count == 0));
        if (ListIsEmpty(&d->queue)) {
            LeaveCriticalSection(&d->lock);
            return;
        }
        if (i == kCallsPerServiceMessage) {
            LeaveCriticalSection(&d->lock);
            PostMessageA(window, kServiceWindowMessage, 0, 0);  // the rest after the thread's other messages
            return;
        }
        auto* e = reinterpret_cast<DispatchEntry*>(ListPopFront(&d->queue));
        LeaveCriticalSection(&d->lock);
        ClosureRoutine routine = e->routine;
        BufferHandle bound = e->bound, message = e->message;
        BlockRelease(e);
        try {
            routine(&bound, &message);
        } catch (...) {
            // Nothing may unwind into the hook or the window procedure's caller.
        }
        BufHandleRelease(&bound);
        BufHandleRelease(&message);
        // The routine may have outlived the dispatcher: find it again.
        d = DispatchLockForWindow(window);
        if (!d)
            return;
    }
}

void ThreadDispatcherPurgeExpired(ThreadDispatcher* d)
{
    DWORD now = Stamp(), age = CoreFixedWaits().purgeAgeMs;
    for (;;) {
        DispatchEntry* e;
        {
            ScopedLock hold(d->lock);
            e = FirstExpired(d, now, age);
            if (!e)
                return;
            ListRemove(&d->queue, &e->links);
        }
        FreeEntry(e);
    }
}

void ThreadDispatcherDiscardAll(ThreadDispatcher* d)
{
    ListHead dropped;
    {
        ScopedLock hold(d->lock);
        ListMove(&dropped, &d->queue);
    }
    FreeAll(&dropped);
}

void ThreadDispatcherDestroy(ThreadDispatcher* d)
{
    HHOOK hook;
    HWND window;
    ListHead dropped;
    {
        ScopedLock hold(d->lock);
        hook = d->hook;
        window = d->window;
        d->hook = nullptr;
        d->window = nullptr;
        d->dying = 1;
        ListMove(&dropped, &d->queue);
    }
    if (window)
        DispatchDetachWindow(window);
    // Every thread that found the dispatcher before it was detached holds its
    // lock by now; once they let go nobody can reach it.
    EnterCriticalSection(&d->lock);
    LeaveCriticalSection(&d->lock);
    if (hook)
        UnhookWindowsHookEx(hook);
    if (window) {
        // Only the owning thread may destroy a window: another thread's closes
        // itself when it next pumps.
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
            DestroyWindow(window);
        else
            PostMessageA(window, WM_CLOSE, 0, 0);
    }
    FreeAll(&dropped);
    DeleteCriticalSection(&d->lock);
    BlockRelease(d);  // the dispatcher's one teardown
}

ThreadDispatcher* ThreadDispatcherLockIfServing(ThreadDispatcher* d)
{
    if (!d)
        return nullptr;
    EnterCriticalSection(&d->lock);
    if (!d->dying)
        return d;
    LeaveCriticalSection(&d->lock);
    return nullptr;
}

ThreadDispatcher* DispatchLockForWindow(HWND window)
{
    DispatchGuardHold guard;
    return ThreadDispatcherLockIfServing(reinterpret_cast<ThreadDispatcher*>(GetWindowLongA(window, GWL_USERDATA)));
}

void DispatchDetachWindow(HWND window)
{
    DispatchGuardHold guard;
    SetWindowLongA(window, GWL_USERDATA, 0);
}
