#pragma once
#include "exec/Closure.h"
#include "runtime/IntrusiveList.h"
#include <windows.h>

// The reads and the undelivered bytes of one datagram socket, read as a byte
// stream: one datagram can serve several reads and one read can take from
// several datagrams. Filled from one thread, read from any, under its lock;
// reads are completed (status-count) only after the lock is left.
struct ReadQueue {
    CRITICAL_SECTION lock;
    ListHead requests;  // reads waiting for data, in order
    ListHead pieces;    // data waiting for reads; a piece's handle moves forward as bytes are taken
};

static_assert(sizeof(void*) == 4, "read queues are laid out in 32-bit words");

void ReadQueueInit(ReadQueue* q);
// Served at once from queued data (0, bytes copied), else queued; without
// memory to queue it the read completes with kStatusNoMemory.
void ReadQueueRead(ReadQueue* q, const BufferHandle* buffer, const Closure* closure);
// Serves the queued reads in order; what they leave is kept (a copy of the handle).
void ReadQueueDeliver(ReadQueue* q, const BufferHandle* data);
// Moves the first queued read out to the caller; false when there is none.
bool ReadQueuePop(ReadQueue* q, BufferHandle* buffer, Closure* closure);
// Completes every queued read with (status, 0).
void ReadQueueCancel(ReadQueue* q, NtStatus status);
void ReadQueueDiscardData(ReadQueue* q);
// Queued reads complete with kStatusCancelled; the data is released.
void ReadQueueDestroy(ReadQueue* q);
