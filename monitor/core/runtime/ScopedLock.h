#pragma once
#include <windows.h>

// Holds a critical section for one scope. The sections themselves live inside
// the core's fixed-layout records, so only the holding is wrapped.
class ScopedLock {
public:
    explicit ScopedLock(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
    ~ScopedLock() { LeaveCriticalSection(&cs_); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CRITICAL_SECTION& cs_;
};
