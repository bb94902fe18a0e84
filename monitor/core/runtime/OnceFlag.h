#pragma once
#include <windows.h>

// One-time creation of a process-wide facility that several threads may ask
// for first. OnceBegin returns true to exactly one caller, which builds the
// facility and then calls OnceEnd; the others wait until it is built. The
// facility's exit callback calls OnceReset so that a later start-up builds it
// afresh (the core is restartable inside one process, which tests rely on).
struct OnceFlag {
    volatile LONG state;  // 0 not built, 1 being built, 2 built
};

inline bool OnceBegin(OnceFlag& flag)
{
    for (;;) {
        LONG previous = InterlockedCompareExchange(&flag.state, 1, 0);
        if (previous == 0)
            return true;
        if (previous == 2)
            return false;
        SwitchToThread();
    }
}

inline void OnceEnd(OnceFlag& flag) { InterlockedExchange(&flag.state, 2); }
inline void OnceReset(OnceFlag& flag) { InterlockedExchange(&flag.state, 0); }
inline bool OnceDone(const OnceFlag& flag) { return flag.state == 2; }
