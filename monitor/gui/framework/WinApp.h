#pragma once
// The application object: one per program, made by static initialisation. The
// entry point runs InitInstance, then (when it succeeded) the message loop, and
// in every case ExitInstance, whose result is the program's exit code.
//
// The loop: each message first walks the pre-translate chain from its target
// window up to its top-level window (a frame translates its accelerators there),
// then is dispatched. When the queue runs empty, OnIdle runs the idle handlers
// that the thread's windows registered (IdleHandlers.h): frames update their
// toolbar buttons and status indicators there.
#include <windows.h>

#include <exception>
#include <string>

#include "CmdTarget.h"
#include "Wnd.h"

class CWinApp : public CCmdTarget {
public:
    RUNTIME_CLASS_DECLARE(CWinApp)
public:
    // appName: the caption of message boxes; null takes the program file's name.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    // Runs also when InitInstance failed; the default returns the quit code.
    virtual int ExitInstance();
    // The message loop; returns ExitInstance's result once WM_QUIT arrives.
    virtual int Run();
    virtual BOOL PreTranslateMessage(MSG* msg);
    // count: idle calls since the last message; TRUE asks for another call.
    virtual BOOL OnIdle(LONG count);
    // An exception that a window procedure let escape: the default shows it; the
    // result is what the window procedure returns (-1 for WM_CREATE).
    virtual LRESULT ProcessWndProcException(const std::exception* error, const MSG& msg);
    // Shows a topic of the program's help (pages, frames and controls ask for theirs
    // by name) and returns the topic's address in the help; a program without help
    // shows nothing and returns an empty address.
    virtual std::string OpenHelpTopic(const char* topic) { return {}; }

    // One message: get, pre-translate, dispatch. FALSE when it was WM_QUIT.
    BOOL PumpMessage();
    HICON LoadIcon(UINT id) const;

    HINSTANCE m_hInstance = nullptr;
    const char* m_lpCmdLine = "";
    int m_nCmdShow = SW_SHOWNORMAL;
    CWnd* m_pMainWnd = nullptr;  // cleared by the framework when the window is gone
    std::string m_appName;
    std::string m_helpFilePath;  // used by CWnd::WinHelp
    int m_quitCode = 0;          // wParam of WM_QUIT
    MSG m_msgCur{};

private:
    bool IsIdleMessage(const MSG& msg);
    POINT m_lastMousePoint{-1, -1};
};

// The application object, or null before it is made.
CWinApp* GetApp();

// Instance, command line and show command into the application object, and the
// common controls registered: what the program's start does before InitInstance.
void PrepareApplication(CWinApp& app, HINSTANCE instance, const char* cmdLine, int showCmd);

// The program's start: what WinMain does. Programs get it from the library;
// tests may call it with an application object of their own.
int RunApplication(HINSTANCE instance, const char* cmdLine, int showCmd);

// Hands an exception from a window procedure to the application.
LRESULT HandleWndProcException(const std::exception* error, const MSG& msg);

// Runs window code at a boundary that exceptions must not cross (window and
// dialog procedures, hooks): an escaping exception goes to the application and
// its answer becomes the result.
template <class F>
LRESULT GuardWindowCode(F&& code)
{
    try {
        return code();
    } catch (const std::exception& e) {
        return HandleWndProcException(&e, CurrentMessage());
    } catch (...) {
        return HandleWndProcException(nullptr, CurrentMessage());
    }
}
