#pragma once
// Window objects. A CWnd owns at most one window handle; a process-wide
// handle-to-object map lets the one framework window procedure find the object
// and dispatch each message through its class's message map, falling back to
// default processing. Windows of the framework's own classes are bound from their
// very first message; windows of system classes are subclassed after creation.
#include <windows.h>

#include <string>

#include "CmdTarget.h"
#include "Geometry.h"

class CWnd : public CCmdTarget {
public:
    RUNTIME_CLASS_DECLARE(CWnd)
public:
    CWnd();
    // Destroys a window that still exists (without running the self-deleting rule).
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // The object bound to the window, or null for a window that is not ours.
    static CWnd* FromHandle(HWND window);

    // Creation. PreCreateWindow may change every field first.
    virtual BOOL Create(const char* className, const char* windowName, DWORD style,
                        const RECT& rect, CWnd* parent, UINT id);
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                  const RECT& rect, CWnd* parent, UINT idOrMenu);
    virtual BOOL DestroyWindow();

    // Binding an existing window: Subclass routes its messages through this object
    // (PreSubclassWindow runs first); Unsubclass gives it back and returns it.
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    // Message processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Default processing of the message that is being handled now.
    LRESULT Default();
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }

    // Thin calls on the window.
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    std::string GetWindowText() const;
    CRect GetClientRect() const;
    CRect GetWindowRect() const;
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE);
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    void SetDlgItemText(int id, const char* text) { ::SetDlgItemTextA(m_hWnd, id, text); }
    std::string GetDlgItemText(int id) const;
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendDlgItemMessageA(m_hWnd, id, message, wParam, lParam);
    }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
    DWORD GetStyle() const { return DWORD(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return DWORD(::GetWindowLongA(m_hWnd, GWL_EXSTYLE)); }
    HICON SetIcon(HICON icon, BOOL big)
    {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                                                   reinterpret_cast<LPARAM>(icon)));
    }
    void SetFont(HFONT font, BOOL redraw = TRUE)
    {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    }
    BOOL SetMenu(HMENU menu) { return ::SetMenu(m_hWnd, menu); }
    HMENU GetMenu() const { return ::GetMenu(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    // A message box owned by this window; it goes through the test seam.
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK) const;
    // Context help from the application's help file; it goes through the test seam.
    void WinHelp(ULONG_PTR data, UINT command = HELP_CONTEXT);

protected:
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    virtual void PreSubclassWindow() {}
    // Runs after the window is gone and the object is unbound (frames delete themselves).
    virtual void PostNcDestroy() {}
    // Default processing: the subclassed window's own procedure, else DefWindowProc.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // For destructors: destroys a window that still exists without PostNcDestroy (the
    // object is going already); the window's last messages see the class being destroyed.
    void DestroyWindowFromDestructor();

    // Map dispatch; false when no entry handles the message.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // WM_COMMAND: routes the command (frames extend the route to the application).
    virtual bool RouteCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY: the notification entries of this object's map.
    virtual bool RouteNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);

    // CreateEx that tells whether the object deleted itself while its window failed.
    BOOL CreateWindowObject(DWORD exStyle, const char* className, const char* windowName,
                            DWORD style, const RECT& rect, HWND parent, HMENU menuOrId,
                            bool& deleted);

    WNDPROC m_pfnSuper = nullptr;  // the subclassed window's own procedure

    // The handle map's entry for this object; dialogs bind at WM_INITDIALOG.
    void Bind(HWND window);
    void Unbind();
    // The last message of the window: unbind and run PostNcDestroy.
    void OnFinalNcDestroy();

private:
    friend LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CallFrameworkWndProc(CWnd*, HWND, UINT, WPARAM, LPARAM);

    bool m_inDestructor = false;
    bool* m_deletedFlag = nullptr;  // set while creating: PostNcDestroy may delete the object
};

// The window procedure of every framework window class.
LRESULT CALLBACK FrameworkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Calls into a bound object as the window procedure does: current message,
// exceptions caught and handed to the application, unbinding at WM_NCDESTROY.
LRESULT CallFrameworkWndProc(CWnd* wnd, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers (once) a window class served by the framework's window procedure and
// returns its name, valid for the life of the process.
const char* RegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                             HICON icon = nullptr);
// The same under a name of the caller's choosing, by which other programs can
// find the class's windows (FindWindow). The first registration of a name
// fixes its style, cursor, brush and icon; null when a class of another window
// procedure holds the name already.
const char* RegisterNamedWndClass(const char* name, UINT classStyle, HCURSOR cursor = nullptr,
                                  HBRUSH background = nullptr, HICON icon = nullptr);

// The thread's current message: the one that the innermost framework window
// procedure is handling. Hooks that run window code save and restore it.
MSG& CurrentMessage();

// Makes a message the current one for the length of a scope, then restores the
// previous record whole (time and point included).
class CurrentMessageScope {
public:
    CurrentMessageScope(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    ~CurrentMessageScope() { CurrentMessage() = m_saved; }
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

private:
    MSG m_saved;
};

// The module whose resources the framework loads (the program's).
HINSTANCE ResourceHandle();
std::string LoadResString(UINT id);
