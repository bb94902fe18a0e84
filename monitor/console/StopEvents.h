#pragma once
#include <windows.h>

// Ctrl-C, Ctrl-Break and closing the console window end the program as ESC
// does: they only ask the main thread to stop, which then shuts down as usual.
void CatchStopEvents();
// Waits up to `ms` for one of those events; true when one has come.
bool WaitForStopEvent(DWORD ms);
