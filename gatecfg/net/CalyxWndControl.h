#pragma once
// Hidden windows shared by the components of a thread. Each window serves a
// block of message ids (1025..1124) and routes every id to the component that
// holds it; a component asks for the ids it needs and receives its WinSock
// notifications and its own deferred work as messages to them.
#include <windows.h>

#include <vector>

#include "net/CalyxLibrary.h"
#include "net/CalyxLifeWatch.h"
#include "net/CalyxTypes.h"
#include "rtl/Component.h"
#include "rtl/Event.h"
#include "rtl/SyncObjs.h"

namespace calyx {

class TCxWndControl;
class TCxWndHandlerList;
struct TCxDispatchFrame;

constexpr int CX_MSG_SLOTS = 100;
constexpr UINT CX_FIRST_MSG = WM_USER + 1;
extern const char* const CxWndControlWindowClass;

// (Sender, message, var Handled)
using TCxMessageHook = rtl::TEvent<rtl::TObject*, TMessage&, bool&>;
// (Sender, E, var CanClose)
using TBgExceptionEvent = rtl::TEvent<rtl::TObject*, rtl::Exception&, bool&>;

// One hidden window and the table of the components that hold its ids.
class TCxWndHandler : public rtl::TObject {
public:
    explicit TCxWndHandler(TCxWndHandlerList* list);
    ~TCxWndHandler() override;

    TCxWndHandlerList* List() const noexcept { return FList; }
    HWND Handle() const noexcept { return FHandle; }
    UINT MsgLow() const noexcept { return FMsgLow; }
    int MsgCount() const noexcept { return FMsgCount; }
    int FreeCount() const noexcept { return CX_MSG_SLOTS - FMsgCount; }

    // Creates the window once.
    void AllocateHWnd();
    // Takes the first free id for the component (creating the window if needed).
    UINT AllocateMsgHandler(TCxWndControl* control);
    // Gives an id back: queued messages with it are dropped (their owner may
    // release what they carry) and the id is set to 0; the window goes with
    // the last id.
    void ReleaseMsgHandler(UINT& msg);
    // Gives back every id still held by the component.
    void ReleaseAllOf(TCxWndControl* control);

    // Asked before the default handling of messages no component holds.
    TCxMessageHook OnMessage;
    // Told of exceptions raised while no component handles the message.
    TBgExceptionEvent OnBgException;

private:
    friend LRESULT CALLBACK CxWndProc(HWND, UINT, WPARAM, LPARAM);
    void Dispatch(HWND wnd, TMessage& msg, TCxDispatchFrame& frame);
    void DeallocateHWnd();

    TCxWndHandlerList* FList;
    HWND FHandle = nullptr;
    TCxWndControl* FMsgMap[CX_MSG_SLOTS] = {};
    UINT FMsgLow;
    int FMsgCount = 0;
};

// The handlers of one thread.
class TCxWndHandlerList : public rtl::TObject {
public:
    explicit TCxWndHandlerList(DWORD threadId) : FThreadId(threadId) {}
    ~TCxWndHandlerList() override;

    DWORD ThreadId() const noexcept { return FThreadId; }
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    TCxWndHandler* Items(int index) const { return FItems.at(static_cast<size_t>(index)); }

private:
    friend class TCxWndHandlerPool;
    DWORD FThreadId;
    std::vector<TCxWndHandler*> FItems;
};

// One list per thread; one pool per process.
class TCxWndHandlerPool : public rtl::TObject {
public:
    ~TCxWndHandlerPool() override;

    // A handler of the thread with at least count free ids, made when none has.
    TCxWndHandler* GetHandler(int count, DWORD threadId);
    // Takes an unused handler out of its list (and the list out of the pool
    // when it empties) and frees it.
    void FreeHandler(TCxWndHandler* handler);

    int Count() const noexcept { return static_cast<int>(FLists.size()); }
    TCxWndHandlerList* Items(int index) const { return FLists.at(static_cast<size_t>(index)); }
    rtl::TCriticalSection& Lock() noexcept { return FLock; }

private:
    std::vector<TCxWndHandlerList*> FLists;
    rtl::TCriticalSection FLock;
};

// The default window procedure, where every message that no component takes
// ends; tests replace it to see the default path taken (none restores it).
using TCxDefWindowProc = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
LRESULT CxDefWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
void SetCxDefWindowProc(TCxDefWindowProc proc);

// The process's pool (none before start-up).
TCxWndHandlerPool* CxWndHandlerPool();
// Number of hidden windows alive.
int CxWndControlWindowCount();

class TCxWndControl : public rtl::TComponent {
public:
    explicit TCxWndControl(rtl::TComponent* owner) : rtl::TComponent(owner) {}

    // The hidden window, allocated on first use.
    HWND Handle();
    bool HandleAllocated() const noexcept { return FHandle != nullptr; }
    TCxWndHandler* WndHandler() const noexcept { return FHandler; }
    DWORD ThreadId() const noexcept { return FThreadId; }
    UINT MsgRelease() const noexcept { return FMsgRelease; }

    bool MultiThreaded = false;
    bool Terminated = false;
    TBgExceptionEvent OnBgException;

    virtual void DropWindowOnce();
    virtual void WndProc(TMessage& msg);
    // Never throws: the event and the abort run inside guards.
    virtual void HandleBackGroundException(rtl::Exception& e);
    // Reports an exception caught outside a window procedure the same way.
    virtual void RaiseBgException(rtl::Exception& e);
    virtual void FreeSelf();
    virtual void AllocateHWnd();
    virtual void DeallocateHWnd();
    virtual int MsgHandlersCount();
    virtual void AllocateMsgHandlers();
    virtual void FreeMsgHandlers();
    virtual void AbortOnBgException();
    virtual bool PostRelease();
    virtual void ThreadAttach();
    virtual void ThreadDetach();
    virtual void MessageLoop();
    virtual bool ProcessMessage();
    virtual void ProcessMessages();
    virtual void MessagePump();
    // A queued message to one of the component's ids was dropped when the id
    // was given back; a class whose messages carry memory frees it here.
    virtual void MessageDiscarded(const TMessage& msg) {}

    void BeforeDestruction() override;

protected:
    ~TCxWndControl() override;

    // For classes that need ids of their own (in AllocateMsgHandlers and
    // FreeMsgHandlers).
    UINT AllocateMsgId();
    void ReleaseMsgId(UINT& msg);
    // Runs the handling of one of the component's messages: an exception
    // goes to HandleBackGroundException, or on to the window procedure when
    // the handling freed the component.
    template <class F>
    void HandleGuarded(F&& handle);
    // The background-exception event with CanClose starting as given, then
    // the abort when it is left set; never throws.
    void ReportBackGroundException(rtl::Exception& e, bool canClose);

private:
    friend class TCxLifeGuard;
    void ReleaseUnusedHandler();

    TLifeWatchList FLifeWatches;

    HWND FHandle = nullptr;
    TCxWndHandler* FHandler = nullptr;
    DWORD FThreadId = 0;
    UINT FMsgRelease = 0;
    bool FDestroyedWindow = false;
};

// A handler may free the component whose event it serves: code that raises
// an event and then goes on with the component asks InService() first.
class TCxLifeGuard {
public:
    explicit TCxLifeGuard(TCxWndControl* control) noexcept
        : FControl(control), FWatch(control->FLifeWatches), FWasDestroying(control->IsDestroying())
    {
        assert((control->ThreadId() == 0 || control->ThreadId() == lib::GetCurrentThreadId()) &&
               "a component raises its events on its own thread");
    }
    // Not freed, nor being freed since the guard was made (code that runs
    // as part of the component's own tear-down goes on).
    bool InService() const noexcept
    {
        return !FWatch.Gone() && (FWasDestroying || !FControl->IsDestroying());
    }

private:
    TCxWndControl* FControl;
    TLifeWatch FWatch;
    bool FWasDestroying;
};

template <class F>
void TCxWndControl::HandleGuarded(F&& handle)
{
    const TCxLifeGuard life(this);
    try {
        handle();
    } catch (rtl::Exception& e) {
        if (!life.InService())
            throw;  // the window procedure routes it past the freed component
        HandleBackGroundException(e);
    }
}

void InitUnitCalyxWndControl();
void FinUnitCalyxWndControl();

}  // namespace calyx
