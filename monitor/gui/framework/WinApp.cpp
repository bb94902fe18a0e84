#include "WinApp.h"

#include <commctrl.h>

#include <cassert>
#include <cstring>

#include "IdleHandlers.h"
#include "MessageBox.h"

RUNTIME_CLASS_IMPLEMENT(CWinApp, CCmdTarget)

namespace {

CWinApp* g_app = nullptr;

std::string ProgramName()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* name = std::strrchr(path, '\\');
    std::string result = name ? name + 1 : path;
    auto dot = result.rfind('.');
    if (dot != std::string::npos)
        result.erase(dot);
    return result;
}

}  // namespace

CWinApp* GetApp()
{
    return g_app;
}

CWinApp::CWinApp(const char* appName) : m_appName(appName ? appName : ProgramName())
{
    assert(!g_app && "one application object per process");
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return m_quitCode;
}

HICON CWinApp::LoadIcon(UINT id) const
{
    return ::LoadIconA(ResourceHandle(), MAKEINTRESOURCEA(id));
}

BOOL CWinApp::PumpMessage()
{
    BOOL got = GetMessageA(&m_msgCur, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        m_quitCode = got == 0 ? int(m_msgCur.wParam) : -1;
        return FALSE;
    }
    // Pre-translation runs window code outside any window procedure: guard it too.
    bool consumed;
    {
        CurrentMessageScope scope(m_msgCur.hwnd, m_msgCur.message, m_msgCur.wParam, m_msgCur.lParam);
        consumed = GuardWindowCode([this] { return LRESULT(PreTranslateMessage(&m_msgCur)); }) != 0;
    }
    if (!consumed) {
        TranslateMessage(&m_msgCur);
        DispatchMessageA(&m_msgCur);
    }
    return TRUE;
}

BOOL CWinApp::PreTranslateMessage(MSG* msg)
{
    HWND stop = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    for (HWND window = msg->hwnd; window;) {
        if (CWnd* wnd = CWnd::FromHandle(window))
            if (wnd->PreTranslateMessage(msg))
                return TRUE;
        if (window == stop || !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD))
            break;
        window = ::GetParent(window);
    }
    return FALSE;
}

BOOL CWinApp::OnIdle(LONG count)
{
    if (count == 0)
        RunIdleHandlers();
    return FALSE;
}

bool CWinApp::IsIdleMessage(const MSG& msg)
{
    // Painting, the caret's blink and a mouse that did not move change no command state.
    if (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) {
        bool moved = msg.pt.x != m_lastMousePoint.x || msg.pt.y != m_lastMousePoint.y;
        m_lastMousePoint = msg.pt;
        return moved;
    }
    return msg.message != WM_PAINT && msg.message != 0x0118;
}

int CWinApp::Run()
{
    bool idle = true;
    LONG idleCount = 0;
    MSG peek;
    for (;;) {
        while (idle && !PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE))
            if (!OnIdle(idleCount++))
                idle = false;
        do {
            if (!PumpMessage())
                return ExitInstance();
            if (IsIdleMessage(m_msgCur)) {
                idle = true;
                idleCount = 0;
            }
        } while (PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE));
    }
}

LRESULT CWinApp::ProcessWndProcException(const std::exception* error, const MSG& msg)
{
    ShowMessageBox(nullptr, error ? error->what() : "An unexpected error occurred.", nullptr,
                   MB_OK | MB_ICONERROR);
    return msg.message == WM_CREATE ? -1 : 0;
}

LRESULT HandleWndProcException(const std::exception* error, const MSG& msg)
{
    try {
        if (CWinApp* app = GetApp())
            return app->ProcessWndProcException(error, msg);
    } catch (...) {
    }
    return msg.message == WM_CREATE ? -1 : 0;
}

void PrepareApplication(CWinApp& app, HINSTANCE instance, const char* cmdLine, int showCmd)
{
    app.m_hInstance = instance;
    app.m_lpCmdLine = cmdLine ? cmdLine : "";
    app.m_nCmdShow = showCmd;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES |
                                                       ICC_INTERNET_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&controls);
}

int RunApplication(HINSTANCE instance, const char* cmdLine, int showCmd)
{
    CWinApp* app = GetApp();
    if (!app)
        return -1;
    PrepareApplication(*app, instance, cmdLine, showCmd);
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
