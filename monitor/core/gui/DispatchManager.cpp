#include "gui/DispatchManager.h"
#include "containers/Comparators.h"
#include "gui/DispatchGuard.h"
#include "gui/ServiceWindow.h"
#include "gui/ThreadDispatcher.h"
#include "runtime/BlockOwner.h"
#include "runtime/ExitCallbacks.h"
#include "runtime/OnceFlag.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"
#include <cstring>
#include <initializer_list>

namespace {

OnceFlag g_once;
DispatchManager* g_manager;

ThreadDispatcher* Find(DispatchManager* m, DWORD threadId)
{
    MapNode* node = OrderedMapFind(&m->threads, threadId);
    return node ? reinterpret_cast<ThreadDispatcher*>(node->value) : nullptr;
}

// The target's dispatcher, made and queued for attaching on first use; none when out of memory.
ThreadDispatcher* FindOrMake(DispatchManager* m, DWORD threadId)
{
    ThreadDispatcher* d;
    {
        ScopedLock hold(m->lock);
        d = Find(m, threadId);
        if (d)
            return d;
        d = ThreadDispatcherMake(threadId);
        MapNode* node = d ? OrderedMapFindOrInsert(&m->threads, threadId) : nullptr;
        if (!node) {
            if (d)
                ThreadDispatcherDestroy(d);
            return nullptr;
        }
        node->value = reinterpret_cast<uintptr_t>(d);
        ListPushBack(&m->waiting, &d->links);
        ++m->waiting.count;
    }
    SetEvent(m->wake);
    return d;
}

// Hooks a target thread's message retrieval once: makes the thread's service
// window inside it and runs what is queued.
LRESULT CALLBACK ServiceWindowHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    DWORD self = GetCurrentThreadId();
    HHOOK hook = nullptr;
    // The attach thread stores the handle under the same lock, so it is there
    // even when this runs before SetWindowsHookExA has returned to it.
    if (ThreadDispatcher* d = DispatchLockForThread(self)) {
        hook = d->hook;
        if (code >= 0)
            d->hook = nullptr;
        LeaveCriticalSection(&d->lock);
    }
    LRESULT result = CallNextHookEx(hook, code, wParam, lParam);
    if (code < 0)
        return result;
    if (hook)
        UnhookWindowsHookEx(hook);
    if (ThreadDispatcher* d = DispatchLockForThread(self)) {
        if (!d->window)
            d->window = CreateServiceWindow(ServiceWindowProc, d);
        if (d->window)
            ThreadDispatcherDrain(d, d->window);
        else
            LeaveCriticalSection(&d->lock);  // no window: the calls stay queued
    }
    return result;
}

DWORD WINAPI DispatchAttachThreadProc(void* parameter)
{
    auto* m = static_cast<DispatchManager*>(parameter);
    for (;;) {
        WaitForSingleObject(m->wake, INFINITE);
        if (m->stopping)
            return 0;
        for (;;) {
            ThreadDispatcher* d;
            {
                ScopedLock hold(m->lock);
                if (ListIsEmpty(&m->waiting))
                    break;
                d = reinterpret_cast<ThreadDispatcher*>(ListPopFront(&m->waiting));
                ListPushBack(&m->attached, &d->links);
                ++m->attached.count;
            }
            ThreadDispatcherAttach(d, ServiceWindowHookProc);  // a failed attach leaves the calls queued
        }
    }
}

void DestroyAll(ListHead* dispatchers)
{
    while (!ListIsEmpty(dispatchers))
        ThreadDispatcherDestroy(reinterpret_cast<ThreadDispatcher*>(ListPopFront(dispatchers)));
}

// Tears down a manager that is complete up to its attach thread (which may be missing).
void Destroy(DispatchManager* m)
{
    BlockOwner<DispatchManager> owned(m);  // its block goes last
    {
        ScopedLock hold(m->lock);
        m->alive = 0;
        m->stopping = 1;
    }
    if (m->attachThread) {
        SetEvent(m->wake);
        WaitForSingleObject(m->attachThread, INFINITE);
        CloseHandle(m->attachThread);
    }
    {
        DispatchGuardHold hold;
        if (g_manager == m)
            g_manager = nullptr;
    }
    DestroyAll(&m->waiting);
    DestroyAll(&m->attached);
    TimerDestroy(&m->timer);
    CloseHandle(m->wake);
    OrderedMapClear(&m->threads);
    DeleteCriticalSection(&m->lock);
}

void DispatchManagerExit()
{
    Destroy(g_manager);
    OnceReset(g_once);
}

[[nodiscard]] NtStatus Make(DispatchManager** out)
{
    BlockOwner<DispatchManager> m(static_cast<DispatchManager*>(BlockAlloc(sizeof(DispatchManager))));
    if (!m)
        return kStatusNoMemory;
    std::memset(m.get(), 0, sizeof(*m));
    m->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    NtStatus status = m->wake ? TimerCreate(&m->timer) : kStatusNoMemory;
    if (status != kStatusSuccess) {
        if (m->wake)
            CloseHandle(m->wake);
        return status;
    }
    InitializeCriticalSection(&m->lock);
    ListInit(&m->attached);
    ListInit(&m->waiting);
    OrderedMapInit(&m->threads, CompareUInt32);
    m->alive = 1;
    m->attachThread = CreateThread(nullptr, 0, DispatchAttachThreadProc, m.get(), 0, nullptr);
    if (!m->attachThread) {
        Destroy(m.release());
        return kStatusNoMemory;
    }
    *out = m.release();
    return kStatusSuccess;
}

// Every dispatcher, waiting ones first, as a tracked array of `count`; none when empty or out of memory.
BlockOwner<ThreadDispatcher*> Snapshot(bool refuseLaterPosts, uint32_t* count)
{
    *count = 0;
    DispatchGuardHold guard;
    DispatchManager* m = g_manager;
    if (!m)
        return nullptr;
    ScopedLock hold(m->lock);
    if (refuseLaterPosts)
        m->alive = 0;
    uint32_t n = m->waiting.count + m->attached.count;
    BlockOwner<ThreadDispatcher*> all(n ? static_cast<ThreadDispatcher**>(BlockAlloc(n * sizeof(ThreadDispatcher*)))
                                        : nullptr);
    if (!all)
        return nullptr;
    for (ListHead* list : {&m->waiting, &m->attached})
        for (ListNode* node = list->first; node != ListSentinel(list); node = node->next)
            all.get()[(*count)++] = reinterpret_cast<ThreadDispatcher*>(node);
    return all;
}

// Dispatchers are never freed while the manager lives, and the owner does
// not call this during shut-down: the snapshot stays valid without the locks.
void ForEach(bool refuseLaterPosts, void (*action)(ThreadDispatcher*))
{
    uint32_t count;
    BlockOwner<ThreadDispatcher*> all = Snapshot(refuseLaterPosts, &count);
    for (uint32_t i = 0; i < count; ++i)
        action(all.get()[i]);
}

}  // namespace

NtStatus DispatchManagerEnsure()
{
    if (!OnceBegin(g_once))
        return g_manager ? kStatusSuccess : kStatusInvalidState;
    DispatchManager* m;
    NtStatus status = Make(&m);
    if (status == kStatusSuccess) {
        // Registered after the manager's timer: the manager goes before the timer thread.
        status = AtExitRegister(DispatchManagerExit);
        if (status != kStatusSuccess)
            Destroy(m);
    }
    if (status != kStatusSuccess) {
        OnceReset(g_once);
        return status;
    }
    {
        DispatchGuardHold hold;
        g_manager = m;
    }
    OnceEnd(g_once);
    return kStatusSuccess;
}

NtStatus DispatchPostToThread(DWORD threadId, ClosureRoutine routine, BufferHandle* bound,
                              BufferHandle* message)
{
    {
        DispatchGuardHold guard;
        DispatchManager* m = g_manager;
        if (!m || !m->alive)
            return kStatusInvalidState;
        if (threadId != GetCurrentThreadId()) {
            ThreadDispatcher* d = FindOrMake(m, threadId);
            return d ? ThreadDispatcherEnqueue(d, routine, bound, message) : kStatusNoMemory;
        }
    }
    // On the target thread itself the call runs at once, before any queued one.
    routine(bound, message);
    return kStatusSuccess;
}

ThreadDispatcher* DispatchLookup(DWORD threadId)
{
    DispatchGuardHold guard;
    DispatchManager* m = g_manager;
    if (!m)
        return nullptr;
    ScopedLock hold(m->lock);
    return Find(m, threadId);
}

void DispatchManagerPurgeAll() { ForEach(false, ThreadDispatcherPurgeExpired); }
void DispatchManagerDiscardAll() { ForEach(true, ThreadDispatcherDiscardAll); }

ThreadDispatcher* DispatchLockForThread(DWORD threadId)
{
    DispatchGuardHold guard;
    DispatchManager* m = g_manager;
    if (!m)
        return nullptr;
    ThreadDispatcher* d;
    {
        ScopedLock hold(m->lock);
        d = Find(m, threadId);
    }
    return ThreadDispatcherLockIfServing(d);
}
