#pragma once
// Start-up and shut-down of the runtime and the socket library's units, in
// dependency order; called from the program entry and from test fixtures.
// Nested calls are counted: only the outermost pair does the work.
#include "net/CalyxThreadTimer.h"
#include "net/CalyxWinSock.h"
#include "net/CalyxWndControl.h"
#include "rtl/Application.h"

namespace calyx {

inline int& CalyxUnitsStartCount()
{
    static int count = 0;
    return count;
}

inline void StartCalyxUnits()
{
    if (CalyxUnitsStartCount()++ > 0)
        return;
    rtl::StartRuntime();
    InitUnitCalyxWndControl();
    InitUnitCalyxThreadTimer();
    InitUnitCalyxWinSock();
}

inline void StopCalyxUnits()
{
    if (CalyxUnitsStartCount() == 0 || --CalyxUnitsStartCount() > 0)
        return;
    FinUnitCalyxWinSock();
    FinUnitCalyxThreadTimer();
    FinUnitCalyxWndControl();
    rtl::StopRuntime();
}

// Keeps the units started for its lifetime.
class TCalyxUnits {
public:
    TCalyxUnits() { StartCalyxUnits(); }
    ~TCalyxUnits() { StopCalyxUnits(); }
    TCalyxUnits(const TCalyxUnits&) = delete;
    TCalyxUnits& operator=(const TCalyxUnits&) = delete;
};

}  // namespace calyx
