#include "gui/DispatchGuard.h"

namespace {

struct Guard {
    CRITICAL_SECTION lock;
    Guard() { InitializeCriticalSection(&lock); }
};

}  // namespace

CRITICAL_SECTION& DispatchGuardLock()
{
    static Guard guard;
    return guard.lock;
}
