#include "net/CalyxThreadTimer.h"

#include "rtl/SyncObjs.h"
#include "rtl/SysUtils.h"

namespace calyx {

namespace {
UINT gThreadTimerMsg = 0;
rtl::TCriticalSection* gTimerLock = nullptr;
}  // namespace

UINT CxThreadTimerMsg()
{
    return gThreadTimerMsg;
}

void InitUnitCalyxThreadTimer()
{
    if (!gTimerLock)
        gTimerLock = new rtl::TCriticalSection();
    rtl::TLock lock(*gTimerLock);
    if (gThreadTimerMsg)
        return;
    gThreadTimerMsg = RegisterWindowMessageA("CALYX_THREAD_TIMER");
    if (!gThreadTimerMsg)
        throw ECxTimerException(rtl::SysErrorMessage(GetLastError()));
}

void FinUnitCalyxThreadTimer()
{
    delete gTimerLock;
    gTimerLock = nullptr;
}

}  // namespace calyx
