#include "net/CompletionCounter.h"
#include "net/CompletionMessage.h"
#include "runtime/HandleOwner.h"
#include <cstring>

void CompletionCounterInit(CompletionCounter* counter, uint32_t count, const Closure* done)
{
    ClosureCopy(&counter->closure, done);
    counter->remaining = LONG(count);
    counter->firstError = 0;
}

void CompletionCounterRelease(CompletionCounter* counter)
{
    ClosureReset(&counter->closure);
}

void CompletionCounterComplete(BufferHandle* bound, BufferHandle* message)
{
    auto* counter = static_cast<CompletionCounter*>(bound->data);
    NtStatus status = kStatusSuccess;
    if (message && message->data && message->size >= sizeof(status))
        std::memcpy(&status, message->data, sizeof(status));
    if (status != kStatusSuccess)
        InterlockedCompareExchange(&counter->firstError, LONG(status), 0);
    // Exactly the completion that reaches 0 reports; a surplus one finds the
    // count below 0 and stays silent.
    if (InterlockedDecrement(&counter->remaining) == 0)
        (void)CompleteWithStatus(&counter->closure, NtStatus(counter->firstError), nullptr, 0);
}

void CompletionCounterBind(CompletionCounter* counter, ControlBlock* owner, Closure* out)
{
    HandleOwner bound;
    BufHandleInit(bound.put(), owner, counter, 0, 0);
    ClosureInit(out, CompletionCounterComplete, nullptr, bound.get());
}
