#include "LoopPump.h"

#include "WinApp.h"

namespace {

constexpr DWORD kPendingBoundMs = 100;

// One queued message through the application object's pumping, or straight to
// its window without one; false once it was WM_QUIT.
bool PumpOne(CWinApp* app)
{
    if (app)
        return app->PumpMessage() != FALSE;
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) || msg.message == WM_QUIT)
        return false;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

}  // namespace

void PumpPending()
{
    CWinApp* app = GetApp();
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < kPendingBoundMs && PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
        if (!PumpOne(app))
            break;
    if (app)
        app->OnIdle(0);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}
