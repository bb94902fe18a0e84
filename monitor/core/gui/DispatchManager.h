#pragma once
#include "containers/OrderedMap.h"
#include "exec/Closure.h"
#include "exec/OneShotTimer.h"
#include "runtime/IntrusiveList.h"
#include <windows.h>

struct ThreadDispatcher;

// The process's registry of thread dispatchers and the attach thread that
// hooks each new target thread. Made by the first post to a thread binding,
// torn down by framework shut-down.
struct DispatchManager {
    volatile uint8_t alive;     // 0: posts are refused
    volatile uint8_t stopping;  // tells the attach thread to return
    CRITICAL_SECTION lock;      // lists, map and flags; never held with a dispatcher's
    ListHead attached;
    ListHead waiting;
    OrderedMap threads;  // thread id -> dispatcher
    HANDLE wake;         // auto reset: a dispatcher is waiting to be attached
    OneShotTimer timer;  // made and destroyed with the manager, never armed
    HANDLE attachThread;
};

static_assert(sizeof(void*) == 4, "the dispatch manager is laid out in 32-bit words");

// 0 once the manager exists (later callers wait for the first), kStatusNoMemory,
// or kStatusInvalidState outside FrameworkStartup..FrameworkShutdown.
[[nodiscard]] NtStatus DispatchManagerEnsure();
// Runs the routine here when the calling thread is the target, else queues
// it on the target's dispatcher (made on first use). 0, kStatusNoMemory, or
// kStatusInvalidState when the manager is gone or no longer alive.
[[nodiscard]] NtStatus DispatchPostToThread(DWORD threadId, ClosureRoutine routine, BufferHandle* bound,
                                            BufferHandle* message);
ThreadDispatcher* DispatchLookup(DWORD threadId);  // or none

// For the manager's owner; nothing in the core calls them.
void DispatchManagerPurgeAll();    // drops calls older than the purge age, waiting dispatchers first
void DispatchManagerDiscardAll();  // refuses later posts, then drops every queued call

// Used by the hook, which runs on target threads while another thread may be
// destroying the dispatchers: returns the dispatcher with its lock held, or
// none once it is detached or dying.
ThreadDispatcher* DispatchLockForThread(DWORD threadId);
