#include "OnScreenPlacement.h"

#include <algorithm>
#include <cstring>

namespace {

// Moves [from, to) by as little as puts it inside [low, high); one larger than
// that range starts at low and is cut to it.
void FitSpan(LONG& from, LONG& to, LONG low, LONG high)
{
    const LONG length = std::min(to - from, high - low);
    from = std::clamp(from, low, high - length);
    to = from + length;
}

bool IsDialogClass(HWND window)
{
    char name[16] = {};
    return GetClassNameA(window, name, sizeof name) && std::strcmp(name, "#32770") == 0;
}

}  // namespace

RECT PlaceInWorkArea(const RECT& window, const RECT& workArea, bool centre)
{
    RECT placed = window;
    if (centre) {
        const LONG width = window.right - window.left, height = window.bottom - window.top;
        placed.left = workArea.left + (workArea.right - workArea.left - width) / 2;
        placed.top = workArea.top + (workArea.bottom - workArea.top - height) / 2;
        placed.right = placed.left + width;
        placed.bottom = placed.top + height;
    }
    FitSpan(placed.left, placed.right, workArea.left, workArea.right);
    FitSpan(placed.top, placed.bottom, workArea.top, workArea.bottom);
    return placed;
}

void PlaceOnScreen(HWND window)
{
    RECT current{};
    if (!GetWindowRect(window, &current))
        return;
    HWND owner = GetWindow(window, GW_OWNER);
    const bool centre = !owner || !IsWindowVisible(owner) || IsIconic(owner);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT placed = PlaceInWorkArea(current, monitor.rcWork, centre);
    if (std::memcmp(&placed, &current, sizeof placed) == 0)
        return;
    SetWindowPos(window, nullptr, placed.left, placed.top, placed.right - placed.left,
                 placed.bottom - placed.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

ModalPlacementScope::ModalPlacementScope()
    : m_hook(SetWindowsHookExA(WH_CALLWNDPROC, HookProc, nullptr, GetCurrentThreadId()))
{
}

ModalPlacementScope::~ModalPlacementScope()
{
    if (m_hook)
        UnhookWindowsHookEx(m_hook);
}

LRESULT CALLBACK ModalPlacementScope::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    // Called for messages sent by the system: nothing here may throw.
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        // lParam 0: shown by ShowWindow, not because the owner was restored.
        if (sent->message == WM_SHOWWINDOW && sent->wParam && sent->lParam == 0 &&
            !(GetWindowLongA(sent->hwnd, GWL_STYLE) & WS_CHILD) && IsDialogClass(sent->hwnd))
            PlaceOnScreen(sent->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
