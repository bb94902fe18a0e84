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
    // The event only shortens the wait: a 1->0 whose set a later 0->1's reset
    // undid leaves it reset with the count at 0, so the count is looked at
    // again after every short slice.
    constexpr DWORD kSliceMs = 50;
    const DWORD start = GetTickCount();
    for (;;) {
        if (c.count == 0)
            return 1;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            return 0;
        DWORD slice = milliseconds - elapsed < kSliceMs ? milliseconds - elapsed : kSliceMs;
        if (!c.allFreed) {
            Sleep(slice);
        } else if (WaitForSingleObject(c.allFreed, slice) == WAIT_OBJECT_0 && c.count != 0) {
            // Set by a 1->0 that a 0->1 has already followed: clear it, or every
            // slice would return at once. A later 1->0 sets it again.
            ResetEvent(c.allFreed);
        }
    }
}
