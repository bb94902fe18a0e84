#pragma once
#include "exec/Closure.h"
#include "runtime/IntrusiveList.h"
#include <windows.h>

// Executor of an I/O thread: posts from the owner thread run at once, posts
// from any other thread are queued and signal the event the I/O thread waits on.
struct IoCommandQueue {
    ExecutorRecord exec;  // control block, IoCommandQueuePost
    CRITICAL_SECTION lock;
    ListHead queue;
    HANDLE event;          // manual reset, set while calls are queued
    volatile DWORD owner;  // I/O thread id, 0xFFFFFFFF before the thread exists
    volatile LONG forceQueue;  // non-zero: every post is queued, also on the owner thread
};

static_assert(sizeof(void*) == 4, "command queues are laid out in 32-bit words");
constexpr DWORD kNoOwnerThread = 0xFFFFFFFF;

void IoCommandQueueInit(IoCommandQueue* q, ControlBlock* cb);
void IoCommandQueueDestroy(IoCommandQueue* q);  // drops queued calls unrun, closes the event
extern const TypeDescriptor kIoCommandQueueType;

// Post routine: 0 when run at once, kStatusPending when queued, or the queue's failure.
[[nodiscard]] NtStatus IoCommandQueuePost(void* queue, ClosureRoutine routine, BufferHandle* bound,
                                          BufferHandle* message);
// Runs everything queued on the calling thread; the number run.
uint32_t IoCommandQueueDrain(IoCommandQueue* q);

// For an I/O thread whose endpoint is closed: waits alertably, in short
// slices, until `outstanding` (its list of I/O in flight) is empty, running
// the queue's calls as they come (some systems finish completions there), for
// at most the settle time. False when some operation never came back: its
// block then stays allocated for good, since the system may still write it.
bool IoCommandQueueSettle(IoCommandQueue* q, const ListHead* outstanding);
