#include "runtime/LiveCounter.h"

void LiveCounterOpen(LiveCounter& c)
{
    if (!c.allFreed)
        c.allFreed = CreateEventA(nullptr, TRUE, c.count == 0, nullptr);
}

void LiveCounterClose(LiveCounter& c)
{
    HANDLE event = c.allFreed;
    c.allFreed = nullptr;
    if (event)
        CloseHandle(event);
}

void LiveCounterEnter(LiveCounter& c)
{
    if (InterlockedIncrement(&c.count) == 1 && c.allFreed)
        ResetEvent(c.allFreed);
}

void LiveCounterLeave(LiveCounter& c)
{
    if (InterlockedDecrement(&c.count) == 0 && c.allFreed)
        SetEvent(c.allFreed);
}

int LiveCounterWait(LiveCounter& c, uint32_t milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (c.count == 0)
            return 1;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds || !c.allFreed)
            return 0;
        WaitForSingleObject(c.allFreed, milliseconds - elapsed);
        if (c.count == 0)
            return 1;
        // Woken by a stale signal: clear it, then look at the count again before
        // waiting. A 1->0 transition after this reset sets the event again.
        ResetEvent(c.allFreed);
    }
}
