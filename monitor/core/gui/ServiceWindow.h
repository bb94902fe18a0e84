#pragma once
#include <windows.h>

// The hidden window through which a target thread runs its queued calls; the
// dispatch manager's message hook creates it inside that thread.
// Class "SERVICE_WINDOW_CLASS:%08p" of the window procedure; user data as given.
HWND CreateServiceWindow(WNDPROC procedure, void* userData);
LRESULT CALLBACK ServiceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
