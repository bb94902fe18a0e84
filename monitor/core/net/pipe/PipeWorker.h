#pragma once
#include "containers/Str.h"
#include "exec/ClosureOwner.h"
#include "exec/IoCommandQueue.h"
#include "net/AddressRecord.h"
#include "runtime/IntrusiveList.h"
#include <windows.h>

// One waiting server instance of a listening pipe.
struct PipeInstance {
    OVERLAPPED overlapped;  // hEvent: manual reset, the instance's own
    HANDLE pipe;            // INVALID_HANDLE_VALUE when none
    uint32_t state;         // kInstanceIdle, kInstanceWaiting (connect pending) or kInstanceConnected
};

// The I/O side of one named-pipe endpoint: its thread makes every system call
// on the endpoint's handles and runs their completion routines; other threads
// reach it only through its command queue.
struct PipeWorker {
    ControlBlock* cb = nullptr;
    IoCommandQueue* commands = nullptr;  // its own control block
    ClosureOwner listen;                 // receives every accepted connection
    ListHead outstanding = {};           // reads and writes in flight
    PipeInstance** instances = nullptr;  // counted array
    HANDLE* waits = nullptr;             // counted array: the queue's event, then one per instance
    HANDLE pipe = INVALID_HANDLE_VALUE;  // of a connected endpoint
    Str name;                            // in the narrow code page
    void* extra = nullptr;               // counted byte array: the pipes' security descriptor
    // Posting: once the endpoint is closed, commands are refused at once, and
    // the ones still queued are cancelled when the thread ends.
    CRITICAL_SECTION postLock;
    volatile LONG closed = 0;

    PipeWorker();
    ~PipeWorker();

    // Starts the thread; false when the queue or the thread cannot be had.
    bool Start();
    void PostClose(const Closure* closure);
    void PostListen(const Closure* accept, uint32_t backlog, const Closure* result);
    void PostConnect(const AddressRecord* remote, const Closure* closure);
    void PostDisconnect(const Closure* closure);
    void PostWrite(const BufferHandle* buffer, const Closure* closure);
    void PostRead(const BufferHandle* buffer, const Closure* closure);
};

static_assert(sizeof(void*) == 4, "pipe records are laid out in 32-bit words");
