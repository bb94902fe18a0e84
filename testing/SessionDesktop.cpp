// Holds a Wine session's desktop for as long as the session lasts. Wine
// closes the desktop about a second after its last program has gone and
// starts it anew for the next one, and a program that starts while this
// happens gets no windows at all: creating one fails, with no error code.
// Started once at the session's start, this program prints "ready" once a
// window can be made, then waits until the session's server ends it; it ends
// with 1 at once when no window can be made yet, to be started again.
#include <windows.h>

#include <cstdio>

int main()
{
    HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (!probe)
        return 1;
    DestroyWindow(probe);
    std::puts("ready");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
