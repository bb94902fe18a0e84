#pragma once
#include "exec/Closure.h"

// Header placed in front of a buffer's data: when the buffer is destroyed its
// closure is invoked with the stored message.
struct ReleaseNotifier {
    Closure closure;
    BufferHandle message;
};

static_assert(sizeof(ReleaseNotifier) == 40, "release notifier layout");

void ReleaseNotifierInit(void* header);  // all fields zero (a buffer init routine)
// Takes closure and message out (the header is left empty), invokes, then
// releases target, bound and message (a destroy routine).
void ReleaseNotifierFire(void* header);
extern const TypeDescriptor kReleaseNotifierType;
