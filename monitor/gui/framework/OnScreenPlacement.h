#pragma once
// Keeps the program's modal windows (dialogs, property sheets, message boxes)
// wholly on the screen they appear on. The system places them by their owner;
// an owner that is hidden or iconic (the tray monitor's main window while only
// its notification icon shows) sits at the screen's edge or beyond it, and a
// property sheet grows after it was placed. So each one is placed again when it
// is first shown, once its size is final.
#include <windows.h>

// Where a window of that rectangle goes: centred in the work area when asked,
// else where it is; then moved, and cut only when larger, to lie inside it.
RECT PlaceInWorkArea(const RECT& window, const RECT& workArea, bool centre);

// Places a top-level window inside the work area of the screen it is nearest to,
// centred there when its owner is missing, hidden or iconic.
void PlaceOnScreen(HWND window);

// While it lives, every dialog-class window that the calling thread shows is
// placed on screen as it shows. Nests.
class ModalPlacementScope {
public:
    ModalPlacementScope();
    ~ModalPlacementScope();
    ModalPlacementScope(const ModalPlacementScope&) = delete;
    ModalPlacementScope& operator=(const ModalPlacementScope&) = delete;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    HHOOK m_hook;
};
