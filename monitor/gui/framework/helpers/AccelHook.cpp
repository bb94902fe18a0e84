#include "AccelHook.h"

namespace {

AccelHook* g_active = nullptr;

LRESULT CALLBACK AccelHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    // Only a message that leaves the queue: a peek that leaves it there would run
    // the command a second time when the message is taken.
    if (code == HC_ACTION && wParam == PM_REMOVE && g_active && g_active->window && g_active->table) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (TranslateAcceleratorA(g_active->window, g_active->table, msg))
            msg->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

BOOL AccelHookInstall(AccelHook* hook, HWND window, HACCEL table)
{
    hook->window = window;
    hook->table = table;
    if (g_active)
        return FALSE;
    AccelHookRemove(hook);
    hook->hook = SetWindowsHookExA(WH_GETMESSAGE, AccelHookProc, nullptr, GetCurrentThreadId());
    if (!hook->hook)
        return FALSE;
    g_active = hook;
    return TRUE;
}

void AccelHookRemove(AccelHook* hook)
{
    if (!hook->hook)
        return;
    UnhookWindowsHookEx(hook->hook);
    hook->hook = nullptr;
    if (g_active == hook)
        g_active = nullptr;
}
