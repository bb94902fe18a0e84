#pragma once
#include "exec/Closure.h"
#include <windows.h>

// Executor bound to one thread with a message loop: posts from other threads
// run on that thread through its service window; a post from the thread
// itself runs at once. An owner may overwrite the id with another thread's.
struct ThreadBinding {
    ExecutorRecord exec;  // control block, PostToBoundThread
    DWORD threadId;
};

static_assert(sizeof(void*) == 4 && sizeof(ThreadBinding) == 12, "thread binding layout");

void BindToCurrentThread(void* binding, ControlBlock* cb);  // construct routine
extern const TypeDescriptor kThreadBindingType;

// Post routine: kStatusPending when queued or run at once; kStatusInvalidState once the dispatch
// manager has stopped taking calls (or outside start-up), kStatusNoMemory.
[[nodiscard]] NtStatus PostToBoundThread(void* binding, ClosureRoutine routine, BufferHandle* bound,
                                         BufferHandle* message);

// A binding embedded in a front-end object, followed by its constructed flag.
struct BindingMember {
    ThreadBinding binding;
    uint8_t constructed;
};

// Own control block over the member, parent = the owner (whose control block
// is its first word), bound to the calling thread. 0 or the creation's status.
[[nodiscard]] NtStatus BindingMemberCreate(void* owner, BindingMember* member);
void BindingMemberRelease(BindingMember* member);  // only when constructed
