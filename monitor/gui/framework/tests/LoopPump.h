#pragma once
// The application's loop run in pieces, as tests and benchmarks drive windows
// from their own code. With an application object every message goes through
// its pumping and pre-translation, and idle updates follow; a program without
// one (a test of windows alone) has its messages translated and dispatched.
#include <windows.h>

#include <functional>

// Dispatches what is queued (for at most 100 ms: while data flow, the queue
// is seldom empty for long), then runs the idle update. A WM_QUIT met is taken
// and ends the pumping.
void PumpPending();
// Pumps until `done` or `timeoutMs` has passed; whether `done` became true.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);
// Pumps for `ms` milliseconds.
void PumpFor(DWORD ms);
