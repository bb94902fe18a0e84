#pragma once
#include "exec/Closure.h"
#include "runtime/IntrusiveList.h"
#include <windows.h>

// The queue of calls waiting to run on one target thread, served by a hidden
// service window that a message hook creates inside that thread.
struct ThreadDispatcher {
    ListNode links;  // in the manager's waiting or attached list
    DWORD threadId;
    CRITICAL_SECTION lock;  // queue, hook, window, dying
    ListHead queue;
    HHOOK hook;
    HWND window;
    uint32_t dying;  // set by destroy: a thread that still reaches the dispatcher lets go
};

static_assert(sizeof(void*) == 4, "dispatchers are laid out in 32-bit words");

constexpr UINT kServiceWindowMessage = 1025;
constexpr uint32_t kCallsPerServiceMessage = 8;

ThreadDispatcher* ThreadDispatcherMake(DWORD threadId);  // or none
// Queues copies of both handles; tells the window when the queue was empty. 0 or kStatusNoMemory.
[[nodiscard]] NtStatus ThreadDispatcherEnqueue(ThreadDispatcher* d, ClosureRoutine routine, const BufferHandle* bound,
                                               const BufferHandle* message);
// Hooks the target thread's message retrieval with `hook` and wakes it; false when no hook can be set.
bool ThreadDispatcherAttach(ThreadDispatcher* d, HOOKPROC hook);
// Entered with the lock held, on the target thread; returns with it released.
// Runs at most 8 calls, then posts the window another service message.
void ThreadDispatcherDrain(ThreadDispatcher* d, HWND window);
void ThreadDispatcherPurgeExpired(ThreadDispatcher* d);  // drops calls at least the purge age old
void ThreadDispatcherDiscardAll(ThreadDispatcher* d);    // drops every call
// Unhooks, detaches and closes the window, drops every call, frees. Threads
// other than the caller may still be inside the dispatcher's hook or window.
void ThreadDispatcherDestroy(ThreadDispatcher* d);

// The dispatcher with its lock held, or none when it is none or dying.
ThreadDispatcher* ThreadDispatcherLockIfServing(ThreadDispatcher* d);
// Used by the service window, which runs on the target thread while another
// thread may be destroying the dispatcher: the window's dispatcher with its
// lock held, or none once it is detached or dying.
ThreadDispatcher* DispatchLockForWindow(HWND window);
// Clears the window's pointer to its dispatcher; later lookups find none.
void DispatchDetachWindow(HWND window);
