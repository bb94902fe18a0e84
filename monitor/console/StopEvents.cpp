#include "StopEvents.h"

namespace {

// Longer than the shut-down may take (the framework waits up to 15 s for
// its objects); the system may end the process sooner.
constexpr DWORD kCloseGraceMs = 20000;

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    SetEvent(g_stop);
    // The system ends the process as soon as this returns from a close: hold
    // it while the main thread shuts down; its return 0 ends the process and
    // this wait with it.
    if (event == CTRL_CLOSE_EVENT)
        Sleep(kCloseGraceMs);
    return TRUE;
}

}  // namespace

void CatchStopEvents()
{
    if (g_stop == nullptr)
        g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool WaitForStopEvent(DWORD ms)
{
    if (g_stop == nullptr) {
        Sleep(ms);
        return false;
    }
    return WaitForSingleObject(g_stop, ms) == WAIT_OBJECT_0;
}
