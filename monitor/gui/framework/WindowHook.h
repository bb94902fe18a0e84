#pragma once
// Window subclassing for objects that are not the window: a hook sees every
// message of a window that somebody else owns before the window's own procedure,
// and passes on what it does not consume. Several hooks may sit on one window:
// they form a chain, newest first, and one shared window procedure serves them all.
//
// A hook sits on at most one window: hooking it again (on the same window or
// another) first takes it off where it was, so it never appears twice in a chain.
// At WM_NCDESTROY every hook of the window comes off and the window's own
// procedure is put back before it sees the message.
#include <windows.h>

#include "Object.h"

class CWindowHook : public CObject {
public:
    RUNTIME_CLASS_DECLARE(CWindowHook)
public:
    CWindowHook() = default;
    ~CWindowHook() override;
    CWindowHook(const CWindowHook&) = delete;
    CWindowHook& operator=(const CWindowHook&) = delete;

    // window: hook it; null: take this hook off its window. Always TRUE.
    BOOL SubclassHook(HWND window);
    HWND HookedWindow() const { return m_hWnd; }

    // Derived hooks override this and pass on (SubclassWindowProc) what they do not consume.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Passes the message on: to the next older hook, else to the window's own procedure.
    LRESULT SubclassWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Passes on the message that is being handled now.
    LRESULT SubclassDefault();

private:
    static LRESULT CALLBACK SubclassDispatchProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam);
    void Install(HWND window);
    void Remove();

    HWND m_hWnd = nullptr;
    WNDPROC m_prevProc = nullptr;     // the window's procedure before its first hook
    CWindowHook* m_nextHook = nullptr;  // the hook installed before this one
};
