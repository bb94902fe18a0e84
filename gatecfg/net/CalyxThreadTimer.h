#pragma once
// The thread-timer unit: it owns the registered window message that thread
// timers post to the hidden windows.
#include <windows.h>

#include "net/CalyxTypes.h"

namespace calyx {

class ECxTimerException : public ECxException {
public:
    using ECxException::ECxException;
};

// The id of the registered message "CALYX_THREAD_TIMER" (0 before start-up).
UINT CxThreadTimerMsg();

void InitUnitCalyxThreadTimer();
void FinUnitCalyxThreadTimer();

}  // namespace calyx
