#include "gui/ServiceWindow.h"
#include "gui/ThreadDispatcher.h"
#include <cstdio>

HWND CreateServiceWindow(WNDPROC procedure, void* userData)
{
    char className[260];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"  // msvcrt pads %p itself; the flag is part of the class's name format
    _snprintf(className, sizeof(className), "SERVICE_WINDOW_CLASS:%08p", reinterpret_cast<void*>(procedure));
#pragma GCC diagnostic pop
    className[sizeof(className) - 1] = '\0';
    HINSTANCE module = GetModuleHandleA(nullptr);
    WNDCLASSA info;
    if (!GetClassInfoA(module, className, &info)) {
        WNDCLASSA wc = {};
        wc.hInstance = module;
        wc.lpfnWndProc = procedure;
        wc.lpszClassName = className;
        if (!RegisterClassA(&wc))
            return nullptr;
    }
    HWND window = CreateWindowExA(0, className, nullptr, 0, 0, 0, 0, 0, nullptr, nullptr, module, nullptr);
    if (window)
        SetWindowLongA(window, GWL_USERDATA, reinterpret_cast<LONG>(userData));
    return window;
}

LRESULT CALLBACK ServiceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kServiceWindowMessage)
        return CallWindowProcA(DefWindowProcA, window, message, wParam, lParam);
    // A late message after the dispatcher was destroyed finds no dispatcher.
    if (ThreadDispatcher* d = DispatchLockForWindow(window))
        ThreadDispatcherDrain(d, window);
    return 0;
}
