#include "exec/ReleaseNotifier.h"
#include "exec/ClosureOwner.h"
#include "runtime/HandleOwner.h"

namespace {
void ConstructReleaseNotifier(void* payload, ControlBlock*) { ReleaseNotifierInit(payload); }
}

const TypeDescriptor kReleaseNotifierType = {sizeof(ReleaseNotifier), ConstructReleaseNotifier,
                                             ReleaseNotifierFire};

void ReleaseNotifierInit(void* header) { *static_cast<ReleaseNotifier*>(header) = {}; }

void ReleaseNotifierFire(void* header)
{
    // Taken out before the call: the routine may arm this very header again
    // (a reader that re-arms its one notifier for the next chunk), and what it
    // puts there is the next firing's to release.
    auto* n = static_cast<ReleaseNotifier*>(header);
    // Adopted message first, so that the closure goes first.
    auto message = HandleOwner::Adopt(n->message);
    auto closure = ClosureOwner::Adopt(n->closure);
    ReleaseNotifierInit(n);
    // The release has happened whether or not its listener can be told.
    (void)ClosureCall(closure.get(), message.get());
}
