#include "WindowHook.h"

#include <cassert>
#include <exception>

#include "Collections.h"
#include "WinApp.h"
#include "Wnd.h"

RUNTIME_CLASS_IMPLEMENT(CWindowHook, CObject)

namespace {

// Window -> newest hook. Hooks live on the windows' thread (the GUI thread): no lock.
CMapPtrToPtr& HookMap()
{
    static CMapPtrToPtr map;
    return map;
}

CWindowHook* NewestHook(HWND window)
{
    auto& map = HookMap();
    auto it = map.find(window);
    return it == map.end() ? nullptr : static_cast<CWindowHook*>(it->second);
}

}  // namespace

CWindowHook::~CWindowHook()
{
    if (m_hWnd)
        SubclassHook(nullptr);
}

BOOL CWindowHook::SubclassHook(HWND window)
{
    if (m_hWnd)
        Remove();
    if (window)
        Install(window);
    return TRUE;
}

void CWindowHook::Install(HWND window)
{
    CWindowHook* older = NewestHook(window);
    m_nextHook = older;
    HookMap()[window] = this;
    if (older)
        m_prevProc = older->m_prevProc;
    else
        m_prevProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassDispatchProc)));
    m_hWnd = window;
}

void CWindowHook::Remove()
{
    CWindowHook* newest = NewestHook(m_hWnd);
    if (newest == this) {
        if (m_nextHook) {
            HookMap()[m_hWnd] = m_nextHook;
        } else {
            HookMap().erase(m_hWnd);
            SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prevProc));
        }
    } else {
        for (CWindowHook* hook = newest; hook; hook = hook->m_nextHook)
            if (hook->m_nextHook == this) {
                hook->m_nextHook = m_nextHook;
                break;
            }
    }
    m_hWnd = nullptr;
    m_prevProc = nullptr;
    m_nextHook = nullptr;
}

LRESULT CWindowHook::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SubclassWindowProc(message, wParam, lParam);
}

LRESULT CWindowHook::SubclassWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_nextHook)
        return m_nextHook->WindowProc(message, wParam, lParam);
    return CallWindowProcA(m_prevProc, m_hWnd, message, wParam, lParam);
}

LRESULT CWindowHook::SubclassDefault()
{
    // The base pass-on: the virtual WindowProc would come back to the caller.
    const MSG& current = CurrentMessage();
    return SubclassWindowProc(current.message, current.wParam, current.lParam);
}

LRESULT CALLBACK CWindowHook::SubclassDispatchProc(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam)
{
    CWindowHook* newest = NewestHook(window);
    if (!newest)  // our procedure was put back by another subclasser
        return DefWindowProcA(window, message, wParam, lParam);

    CurrentMessageScope scope(window, message, wParam, lParam);
    LRESULT result = 0;
    if (message == WM_NCDESTROY) {
        WNDPROC own = newest->m_prevProc;
        while (CWindowHook* hook = NewestHook(window))
            hook->SubclassHook(nullptr);
        result = CallWindowProcA(own, window, message, wParam, lParam);
    } else {
        result = GuardWindowCode([&] { return newest->WindowProc(message, wParam, lParam); });
    }
    return result;
}
