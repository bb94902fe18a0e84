#pragma once
#include "exec/Closure.h"
#include "runtime/HandleOwner.h"
#include "runtime/IntrusiveList.h"

// Queue of pending calls {routine, bound, message}. Entries come from one
// process-wide block pool made on first use and torn down at shut-down; each
// entry owns both of its handles.
void CallQueueInit(ListHead* queue);
// Appends copies of both handles (a null message becomes an empty handle). 0 or kStatusNoMemory.
[[nodiscard]] NtStatus CallQueuePush(ListHead* queue, ClosureRoutine routine, const BufferHandle* bound,
                                     const BufferHandle* message);
// Moves the first entry's handles out to the caller; kStatusInvalidState when empty.
[[nodiscard]] NtStatus CallQueuePop(ListHead* queue, ClosureRoutine* routine, BufferHandle* bound,
                                    BufferHandle* message);
// A call taken out of a queue; it owns both handles and lets the bound one go
// first, then the message.
class TakenCall {
public:
    // CallQueuePop into a call; an empty call when the queue is empty.
    static TakenCall From(ListHead* queue);
    // Takes over the references of both handles without adding any.
    static TakenCall Adopt(ClosureRoutine routine, const BufferHandle& bound, const BufferHandle& message);

    TakenCall() = default;
    ~TakenCall() { bound_.reset(); }
    TakenCall(TakenCall&&) = default;
    TakenCall& operator=(TakenCall&&) = default;

    explicit operator bool() const { return routine_ != nullptr; }
    void Run() { routine_(bound_.get(), message_.get()); }

private:
    ClosureRoutine routine_ = nullptr;
    HandleOwner bound_;
    HandleOwner message_;
};

// Runs and releases every entry in order; the number run.
uint32_t CallQueueRunAll(ListHead* queue);
// Frees every entry, releasing its handles, without running it.
void CallQueueClear(ListHead* queue);
