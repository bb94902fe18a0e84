#pragma once
#include "runtime/ScopedLock.h"
#include <windows.h>

// Guards the dispatch manager's pointer and the service windows' pointers to
// their dispatchers. Whoever reads one takes the dispatcher's lock before
// letting go, so that a destroyer, which clears the pointer under the guard
// first, then knows every such reader by its hold on the dispatcher's lock.
// Made on first use and kept for the life of the process: it must outlive
// every manager.
CRITICAL_SECTION& DispatchGuardLock();

class DispatchGuardHold {
public:
    DispatchGuardHold() : hold_(DispatchGuardLock()) {}

private:
    ScopedLock hold_;
};
