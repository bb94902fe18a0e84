#include "LoopPump.h"

#include "WinApp.h"

void PumpPending()
{
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        if (!GetApp()->PumpMessage())
            break;
    GetApp()->OnIdle(0);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}
