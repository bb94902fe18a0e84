#pragma once
// The application's loop run in pieces, as the tests and the benchmark drive
// windows from their own code: every message goes through the application
// object's pumping and pre-translation, and idle updates follow.
#include <windows.h>

#include <functional>

// Dispatches what is queued (for at most 100 ms: while data flow, the queue
// is seldom empty for long), then runs the idle update.
void PumpPending();
// Pumps until `done` or `timeoutMs` has passed; whether `done` became true.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Pumps for `ms` milliseconds.
void PumpFor(DWORD ms);
