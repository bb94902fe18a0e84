#include "Wnd.h"

#include <cassert>
#include <cstdio>
#include <exception>
#include <set>
#include <unordered_map>

#include "MessageBox.h"
#include "Shell.h"
#include "WinApp.h"

RUNTIME_CLASS_IMPLEMENT(CWnd, CCmdTarget)

namespace {

// Windows belong to the thread that made them, and so do their objects.
std::unordered_map<HWND, CWnd*>& HandleMap()
{
    thread_local std::unordered_map<HWND, CWnd*> map;
    return map;
}

// The object whose window CreateEx is making, until the window's first message binds it.
thread_local CWnd* t_creating = nullptr;

bool IsFrameworkClass(const char* className)
{
    WNDCLASSA info;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    return className && GetClassInfoA(instance, className, &info) &&
           info.lpfnWndProc == FrameworkWndProc;
}

}  // namespace

MSG& CurrentMessage()
{
    thread_local MSG current{};
    return current;
}

CurrentMessageScope::CurrentMessageScope(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    : m_saved(CurrentMessage())
{
    MSG& current = CurrentMessage();
    current.hwnd = window;
    current.message = message;
    current.wParam = wParam;
    current.lParam = lParam;
}

HINSTANCE ResourceHandle()
{
    CWinApp* app = GetApp();
    return app && app->m_hInstance ? app->m_hInstance : GetModuleHandleA(nullptr);
}

std::string LoadResString(UINT id)
{
    // A string resource holds at most 65535 characters.
    for (int size = 256; size <= 0x20000; size *= 2) {
        std::string buffer(size, '\0');
        int copied = LoadStringA(ResourceHandle(), id, buffer.data(), size);
        if (copied <= 0)
            return {};
        if (copied < size - 1) {
            buffer.resize(copied);
            return buffer;
        }
    }
    return {};
}

namespace {

// Registers the class once per process; the set keeps every name alive.
const char* RegisterFrameworkClass(const std::string& className, UINT classStyle, HCURSOR cursor,
                                   HBRUSH background, HICON icon)
{
    static std::set<std::string> names;
    auto [it, added] = names.insert(className);
    if (added) {
        WNDCLASSA wc{};
        wc.style = classStyle;
        wc.lpfnWndProc = FrameworkWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.hIcon = icon;
        wc.lpszClassName = it->c_str();
        if (!RegisterClassA(&wc) &&
            !(GetLastError() == ERROR_CLASS_ALREADY_EXISTS && IsFrameworkClass(it->c_str()))) {
            names.erase(it);
            return nullptr;
        }
    }
    return it->c_str();
}

}  // namespace

const char* RegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon)
{
    char name[96];
    std::snprintf(name, sizeof name, "QuelFw:%x:%p:%p:%p", classStyle, static_cast<void*>(cursor),
                  static_cast<void*>(background), static_cast<void*>(icon));
    return RegisterFrameworkClass(name, classStyle, cursor, background, icon);
}

const char* RegisterNamedWndClass(const char* name, UINT classStyle, HCURSOR cursor, HBRUSH background,
                                  HICON icon)
{
    return name && *name ? RegisterFrameworkClass(name, classStyle, cursor, background, icon) : nullptr;
}

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    DestroyWindowFromDestructor();
}

void CWnd::DestroyWindowFromDestructor()
{
    if (!m_hWnd)
        return;
    m_inDestructor = true;
    ::DestroyWindow(m_hWnd);
    if (m_hWnd)
        Unbind();
}

CWnd* CWnd::FromHandle(HWND window)
{
    if (!window)
        return nullptr;
    auto& map = HandleMap();
    auto it = map.find(window);
    return it == map.end() ? nullptr : it->second;
}

void CWnd::Bind(HWND window)
{
    assert(!m_hWnd && !FromHandle(window));
    m_hWnd = window;
    HandleMap()[window] = this;
}

void CWnd::Unbind()
{
    HandleMap().erase(m_hWnd);
    m_hWnd = nullptr;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    return TRUE;
}

BOOL CWnd::Create(const char* className, const char* windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id)
{
    return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id);
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT idOrMenu)
{
    bool deleted = false;
    return CreateWindowObject(exStyle, className, windowName, style, rect,
                              parent ? parent->m_hWnd : nullptr,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(idOrMenu)), deleted);
}

BOOL CWnd::CreateWindowObject(DWORD exStyle, const char* className, const char* windowName,
                              DWORD style, const RECT& rect, HWND parent, HMENU menuOrId,
                              bool& deleted)
{
    assert(!m_hWnd);
    deleted = false;
    CREATESTRUCTA cs{};
    cs.dwExStyle = exStyle;
    cs.lpszClass = className;
    cs.lpszName = windowName;
    cs.style = style;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.left == int(CW_USEDEFAULT) ? int(CW_USEDEFAULT) : rect.right - rect.left;
    cs.cy = rect.left == int(CW_USEDEFAULT) ? int(CW_USEDEFAULT) : rect.bottom - rect.top;
    cs.hwndParent = parent;
    cs.hMenu = menuOrId;
    cs.hInstance = GetModuleHandleA(nullptr);
    if (!PreCreateWindow(cs))
        return FALSE;
    if (!cs.lpszClass)
        cs.lpszClass = RegisterWndClass(CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW));

    bool ours = IsFrameworkClass(cs.lpszClass);
    CWnd* outer = t_creating;
    if (ours)
        t_creating = this;
    m_deletedFlag = &deleted;
    HWND window = CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y,
                                  cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance,
                                  cs.lpCreateParams);
    t_creating = outer;
    if (deleted)
        return FALSE;  // the window failed and the object went with it (frames)
    m_deletedFlag = nullptr;
    if (!window) {
        if (m_hWnd)
            Unbind();
        return FALSE;
    }
    if (!ours)
        SubclassWindow(window);
    assert(m_hWnd == window);
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    if (!window || m_hWnd || FromHandle(window))
        return FALSE;
    Bind(window);
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameworkWndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, int(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND window = m_hWnd;
    if (window && m_pfnSuper)
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    if (window)
        Unbind();
    return window;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& msg = CurrentMessage();
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_COMMAND) {
        if (!RouteCommand(wParam, lParam))
            return false;
        *result = 0;
        return true;
    }
    if (message == WM_NOTIFY)
        return RouteNotify(wParam, lParam, result);
    const MessageEntry* entry = GetMessageMap()->Find(EntryKind::Message, 0, message);
    if (!entry)
        return false;
    MessageCall call{message, wParam, lParam, 0, nullptr, nullptr};
    *result = entry->thunk(*this, call);
    return true;
}

bool CWnd::RouteCommand(WPARAM wParam, LPARAM lParam)
{
    // Menus and accelerators (no control window) both count as plain commands.
    UINT code = lParam ? HIWORD(wParam) : 0;
    return OnCmdMsg(LOWORD(wParam), code, nullptr);
}

bool CWnd::RouteNotify(WPARAM, LPARAM lParam, LRESULT* result)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header)
        return false;
    const MessageEntry* entry =
        GetMessageMap()->Find(EntryKind::Notify, header->code, UINT(header->idFrom));
    if (!entry)
        return false;
    *result = 0;
    MessageCall call{WM_NOTIFY, 0, lParam, UINT(header->idFrom), nullptr, result};
    entry->thunk(*this, call);
    return true;
}

void CWnd::OnFinalNcDestroy()
{
    CWinApp* app = GetApp();
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
    Unbind();
    m_pfnSuper = nullptr;
    if (m_inDestructor)
        return;
    if (m_deletedFlag) {
        *m_deletedFlag = true;
        m_deletedFlag = nullptr;
    }
    PostNcDestroy();
}

std::string CWnd::GetWindowText() const
{
    int length = ::GetWindowTextLengthA(m_hWnd);
    std::string text(length + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, text.data(), length + 1);
    text.resize(copied > 0 ? copied : 0);
    return text;
}

std::string CWnd::GetDlgItemText(int id) const
{
    HWND item = GetDlgItem(id);
    if (!item)
        return {};
    int length = ::GetWindowTextLengthA(item);
    std::string text(length + 1, '\0');
    int copied = ::GetWindowTextA(item, text.data(), length + 1);
    text.resize(copied > 0 ? copied : 0);
    return text;
}

CRect CWnd::GetClientRect() const
{
    CRect r;
    ::GetClientRect(m_hWnd, &r);
    return r;
}

CRect CWnd::GetWindowRect() const
{
    CRect r;
    ::GetWindowRect(m_hWnd, &r);
    return r;
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint)
{
    ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

namespace {

BOOL ModifyLong(HWND window, int index, DWORD remove, DWORD add, UINT swpFlags)
{
    DWORD style = DWORD(::GetWindowLongA(window, index));
    DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongA(window, index, LONG(changed));
    if (swpFlags)
        ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags)
{
    return ModifyLong(m_hWnd, GWL_STYLE, remove, add, swpFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags)
{
    return ModifyLong(m_hWnd, GWL_EXSTYLE, remove, add, swpFlags);
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) const
{
    return ShowMessageBox(m_hWnd, text, caption, type);
}

void CWnd::WinHelp(ULONG_PTR data, UINT command)
{
    CWinApp* app = GetApp();
    ShowWinHelp(m_hWnd, app ? app->m_helpFilePath.c_str() : "", command, data);
}

LRESULT CallFrameworkWndProc(CWnd* wnd, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CurrentMessageScope scope(window, message, wParam, lParam);
    LRESULT result = GuardWindowCode([&] { return wnd->WindowProc(message, wParam, lParam); });
    if (message == WM_NCDESTROY && wnd->m_hWnd == window)
        wnd->OnFinalNcDestroy();  // may delete wnd
    return result;
}

LRESULT CALLBACK FrameworkWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandle(window);
    if (!wnd && t_creating) {
        wnd = t_creating;
        t_creating = nullptr;
        wnd->Bind(window);
    }
    if (!wnd)
        return ::DefWindowProcA(window, message, wParam, lParam);
    return CallFrameworkWndProc(wnd, window, message, wParam, lParam);
}
