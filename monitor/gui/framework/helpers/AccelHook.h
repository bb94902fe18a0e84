#pragma once
// Accelerators for a modeless window whose messages another loop dispatches: a
// message hook of the calling thread translates the keys that are taken from the
// queue. One hook object is active at a time.
#include <windows.h>

struct AccelHook {
    HHOOK hook = nullptr;
    HWND window = nullptr;
    HACCEL table = nullptr;
};

// FALSE while any hook object (this one included) is active, or when the hook
// cannot be installed.
BOOL AccelHookInstall(AccelHook* hook, HWND window, HACCEL table);
void AccelHookRemove(AccelHook* hook);
