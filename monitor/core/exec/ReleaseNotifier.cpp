#include "exec/ReleaseNotifier.h"

namespace {
void ConstructReleaseNotifier(void* payload, ControlBlock*) { ReleaseNotifierInit(payload); }
}

const TypeDescriptor kReleaseNotifierType = {sizeof(ReleaseNotifier), ConstructReleaseNotifier,
                                             ReleaseNotifierFire};

void ReleaseNotifierInit(void* header) { *static_cast<ReleaseNotifier*>(header) = {}; }

void ReleaseNotifierFire(void* header)
{
    auto* n = static_cast<ReleaseNotifier*>(header);
    ClosureCall(&n->closure, &n->message);
    ClosureRelease(&n->closure);
    BufHandleRelease(&n->message);
}
