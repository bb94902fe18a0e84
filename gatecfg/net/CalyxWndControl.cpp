#include "net/CalyxWndControl.h"

#include <algorithm>

#include "net/CalyxThreadTimer.h"
#include "rtl/Application.h"
#include "rtl/SysUtils.h"

namespace calyx {

const char* const CxWndControlWindowClass = "CxWndControlWindowClass";

namespace {

TCxWndHandlerPool* gPool = nullptr;
TCxDefWindowProc gDefWindowProc = &DefWindowProcA;
rtl::TCriticalSection* gClassLock = nullptr;
int gWindowCount = 0;
const UINT gMsgLow = CX_FIRST_MSG;
bool gFinalized = false;

}  // namespace

LRESULT CxDefWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return gDefWindowProc(wnd, msg, wParam, lParam);
}

void SetCxDefWindowProc(TCxDefWindowProc proc)
{
    gDefWindowProc = proc ? proc : &DefWindowProcA;
}

// What a window procedure is dispatching right now, on this thread. A
// component or handler that goes away during the dispatch clears itself here,
// so the procedure never touches freed memory afterwards.
struct TCxDispatchFrame {
    TCxWndHandler* Handler;
    TCxWndControl* Control;
    TCxDispatchFrame* Prev;
};

namespace {

thread_local TCxDispatchFrame* tTopFrame = nullptr;

void ForgetInFrames(const void* object)
{
    for (TCxDispatchFrame* f = tTopFrame; f; f = f->Prev) {
        if (f->Handler == object)
            f->Handler = nullptr;
        if (f->Control == object)
            f->Control = nullptr;
    }
}

void RouteException(TCxDispatchFrame& frame, rtl::Exception& e) noexcept
{
    try {
        if (frame.Control) {
            frame.Control->HandleBackGroundException(e);
        } else if (frame.Handler && frame.Handler->OnBgException.Assigned()) {
            bool canClose = true;
            frame.Handler->OnBgException(frame.Handler, e, canClose);
        }
    } catch (...) {
        // Nothing may unwind into the system's frames.
    }
}

}  // namespace

LRESULT CALLBACK CxWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The extra word is ours alone: set after creation, cleared before the
    // window is destroyed, so 0 means "not (or no longer) serving".
    auto* handler = reinterpret_cast<TCxWndHandler*>(GetWindowLongA(wnd, 0));
    if (!handler)
        return CxDefWindowProc(wnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    TCxDispatchFrame frame{handler, nullptr, tTopFrame};
    tTopFrame = &frame;
    try {
        handler->Dispatch(wnd, m, frame);
    } catch (rtl::Exception& e) {
        RouteException(frame, e);
    } catch (std::exception& e) {
        rtl::Exception wrapped(e.what());
        RouteException(frame, wrapped);
    } catch (...) {
    }
    tTopFrame = frame.Prev;
    return m.Result;
}

// --- TCxWndHandler ---------------------------------------------------------

TCxWndHandler::TCxWndHandler(TCxWndHandlerList* list) : FList(list), FMsgLow(gMsgLow) {}

TCxWndHandler::~TCxWndHandler()
{
    DeallocateHWnd();
    ForgetInFrames(this);
}

void TCxWndHandler::AllocateHWnd()
{
    if (FHandle)
        return;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    rtl::TLock lock(*gClassLock);
    WNDCLASSA existing;
    if (!GetClassInfoA(instance, CxWndControlWindowClass, &existing)) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = CxWndProc;
        wc.cbWndExtra = sizeof(void*);
        wc.hInstance = instance;
        wc.lpszClassName = CxWndControlWindowClass;
        if (!RegisterClassA(&wc))
            throw ECxException("Unable to register TCxWndControl hidden window class. Error #" +
                               rtl::UIntToStr(GetLastError()) + ".");
    }
    HWND wnd = CreateWindowExA(WS_EX_TOOLWINDOW, CxWndControlWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                               nullptr, nullptr, instance, nullptr);
    if (!wnd) {
        DWORD error = GetLastError();
        if (gWindowCount == 0)
            UnregisterClassA(CxWndControlWindowClass, instance);
        throw ECxException("Unable to create TCxWndControl hidden window.  Error #" +
                           rtl::UIntToStr(error) + ".");
    }
    SetWindowLongA(wnd, 0, reinterpret_cast<LONG>(this));
    FHandle = wnd;
    ++gWindowCount;
}

void TCxWndHandler::DeallocateHWnd()
{
    if (!FHandle)
        return;
    std::fill(std::begin(FMsgMap), std::end(FMsgMap), nullptr);
    FMsgCount = 0;
    HWND wnd = FHandle;
    FHandle = nullptr;
    SetWindowLongA(wnd, 0, 0);
    DestroyWindow(wnd);
    rtl::TLock lock(*gClassLock);
    if (--gWindowCount == 0)
        UnregisterClassA(CxWndControlWindowClass, GetModuleHandleA(nullptr));
}

UINT TCxWndHandler::AllocateMsgHandler(TCxWndControl* control)
{
    if (FMsgLow < WM_USER)
        throw ECxException("MsgLow not defined");
    for (int i = 0; i < CX_MSG_SLOTS; ++i) {
        if (!FMsgMap[i]) {
            AllocateHWnd();
            FMsgMap[i] = control;
            ++FMsgCount;
            return FMsgLow + UINT(i);
        }
    }
    throw ECxException("No more free message");
}

void TCxWndHandler::ReleaseMsgHandler(UINT& msg)
{
    if (msg == 0)
        return;
    if (FMsgLow < WM_USER)
        throw ECxException("MsgLow not defined");
    if (msg < FMsgLow || msg >= FMsgLow + CX_MSG_SLOTS)
        throw ECxException("Msg value out of bound");
    const int slot = int(msg - FMsgLow);
    TCxWndControl* control = FMsgMap[slot];
    if (!control)
        throw ECxException("Msg not registered");
    FMsgMap[slot] = nullptr;
    --FMsgCount;
    if (FHandle) {
        MSG queued;
        while (PeekMessageA(&queued, FHandle, msg, msg, PM_REMOVE)) {
            TMessage dropped{queued.message, queued.wParam, queued.lParam, 0};
            try {
                control->MessageDiscarded(dropped);
            } catch (...) {
                // Dropping the rest matters more than one failing release.
            }
        }
    }
    msg = 0;
    if (FMsgCount == 0)
        DeallocateHWnd();
}

void TCxWndHandler::ReleaseAllOf(TCxWndControl* control)
{
    for (int i = 0; i < CX_MSG_SLOTS && FMsgCount > 0; ++i) {
        if (FMsgMap[i] == control) {
            UINT msg = FMsgLow + UINT(i);
            ReleaseMsgHandler(msg);
        }
    }
}

void TCxWndHandler::Dispatch(HWND wnd, TMessage& m, TCxDispatchFrame& frame)
{
    if (m.Msg >= FMsgLow && m.Msg < FMsgLow + CX_MSG_SLOTS) {
        if (TCxWndControl* control = FMsgMap[m.Msg - FMsgLow]) {
            // The component may free itself, its window and this handler.
            frame.Control = control;
            control->WndProc(m);
            return;
        }
    }
    if (OnMessage.Assigned()) {
        bool handled = false;
        OnMessage(this, m, handled);
        if (handled)
            return;
    }
    // This program makes no timer objects: WM_TIMER and the thread-timer
    // message carry none here and take the default path.
    m.Result = CxDefWindowProc(wnd, m.Msg, m.WParam, m.LParam);
}

// --- TCxWndHandlerList / TCxWndHandlerPool --------------------------------

TCxWndHandlerList::~TCxWndHandlerList()
{
    for (TCxWndHandler* h : FItems)
        delete h;
}

TCxWndHandlerPool::~TCxWndHandlerPool()
{
    for (TCxWndHandlerList* l : FLists)
        delete l;
}

TCxWndHandler* TCxWndHandlerPool::GetHandler(int count, DWORD threadId)
{
    rtl::Assert(count <= CX_MSG_SLOTS, "Calyx message IDs out of bounds!");
    TCxWndHandlerList* list = nullptr;
    for (size_t i = FLists.size(); i-- > 0;) {
        if (FLists[i]->FThreadId == threadId) {
            list = FLists[i];
            break;
        }
    }
    if (!list) {
        FLists.push_back(new TCxWndHandlerList(threadId));
        list = FLists.back();
    }
    for (TCxWndHandler* h : list->FItems)
        if (h->FreeCount() >= count)
            return h;
    list->FItems.push_back(new TCxWndHandler(list));
    return list->FItems.back();
}

void TCxWndHandlerPool::FreeHandler(TCxWndHandler* handler)
{
    TCxWndHandlerList* list = handler->List();
    auto& items = list->FItems;
    items.erase(std::remove(items.begin(), items.end(), handler), items.end());
    delete handler;
    if (items.empty()) {
        FLists.erase(std::remove(FLists.begin(), FLists.end(), list), FLists.end());
        delete list;
    }
}

TCxWndHandlerPool* CxWndHandlerPool()
{
    return gPool;
}

int CxWndControlWindowCount()
{
    return gWindowCount;
}

// --- TCxWndControl ---------------------------------------------------------

TCxWndControl::~TCxWndControl()
{
    // Reached with the window still held only when a tear-down step failed:
    // the sweep in DeallocateHWnd gives back the ids of the derived classes too.
    try {
        if (!FDestroyedWindow)
            TCxWndControl::DeallocateHWnd();
    } catch (...) {
    }
    ForgetInFrames(this);
}

void TCxWndControl::BeforeDestruction()
{
    DropWindowOnce();
    rtl::TComponent::BeforeDestruction();
}

void TCxWndControl::DropWindowOnce()
{
    if (FDestroyedWindow)
        return;
    FDestroyedWindow = true;
    ForgetInFrames(this);
    DeallocateHWnd();
}

HWND TCxWndControl::Handle()
{
    if (!FHandle)
        AllocateHWnd();
    return FHandle;
}

void TCxWndControl::AllocateHWnd()
{
    if (FHandle)
        return;
    rtl::Assert(!gFinalized && gPool, "Unit is already finalized, check your threads!!!");
    FThreadId = GetCurrentThreadId();
    rtl::TLock lock(gPool->Lock());
    try {
        if (!FHandler)
            FHandler = gPool->GetHandler(MsgHandlersCount(), FThreadId);
        FHandler->AllocateHWnd();
        FHandle = FHandler->Handle();
        AllocateMsgHandlers();
    } catch (...) {
        try {
            FreeMsgHandlers();
        } catch (...) {
        }
        ReleaseUnusedHandler();
        FHandle = nullptr;
        FThreadId = 0;
        throw;
    }
}

void TCxWndControl::ReleaseUnusedHandler()
{
    if (FHandler && FHandler->MsgCount() == 0)
        gPool->FreeHandler(FHandler);
    FHandler = nullptr;
}

void TCxWndControl::DeallocateHWnd()
{
    if (!FHandle)
        return;
    {
        rtl::TLock lock(gPool->Lock());
        struct Cleanup {
            TCxWndControl* Self;
            ~Cleanup()
            {
                // No slot may keep naming a component that has let go of its window.
                if (Self->FHandler)
                    Self->FHandler->ReleaseAllOf(Self);
                Self->ReleaseUnusedHandler();
                Self->FHandle = nullptr;
                Self->FThreadId = 0;
            }
        } cleanup{this};
        FreeMsgHandlers();
    }
    if (gFinalized && gPool && gPool->Count() == 0) {
        delete gPool;
        gPool = nullptr;
    }
}

int TCxWndControl::MsgHandlersCount()
{
    return 1;
}

void TCxWndControl::AllocateMsgHandlers()
{
    FMsgRelease = AllocateMsgId();
}

void TCxWndControl::FreeMsgHandlers()
{
    ReleaseMsgId(FMsgRelease);
}

UINT TCxWndControl::AllocateMsgId()
{
    return FHandler->AllocateMsgHandler(this);
}

void TCxWndControl::ReleaseMsgId(UINT& msg)
{
    if (FHandler)
        FHandler->ReleaseMsgHandler(msg);
}

void TCxWndControl::WndProc(TMessage& msg)
{
    if (msg.Msg == FMsgRelease) {
        FreeSelf();  // nothing of this object may be touched afterwards
        return;
    }
    HandleGuarded([&] { msg.Result = CxDefWindowProc(FHandle, msg.Msg, msg.WParam, msg.LParam); });
}

void TCxWndControl::FreeSelf()
{
    try {
        Free();
    } catch (...) {
        // The component is gone whatever its tear-down reported.
    }
}

bool TCxWndControl::PostRelease()
{
    return PostMessageA(Handle(), FMsgRelease, 0, 0) != 0;
}

void TCxWndControl::HandleBackGroundException(rtl::Exception& e)
{
    ReportBackGroundException(e, true);
}

void TCxWndControl::ReportBackGroundException(rtl::Exception& e, bool canClose)
{
    const TCxLifeGuard life(this);
    if (OnBgException.Assigned()) {
        try {
            OnBgException(this, e, canClose);
        } catch (...) {
        }
    }
    if (canClose && life.InService()) {
        try {
            AbortOnBgException();
        } catch (...) {
        }
    }
}

void TCxWndControl::RaiseBgException(rtl::Exception& e)
{
    HandleBackGroundException(e);
}

void TCxWndControl::AbortOnBgException() {}

void TCxWndControl::ThreadAttach()
{
    if (FHandle)
        throw ECxException("Cannot attach when not detached");
    AllocateHWnd();
}

void TCxWndControl::ThreadDetach()
{
    if (GetCurrentThreadId() != FThreadId)
        throw ECxException("Cannot detach from another thread");
    DeallocateHWnd();
}

// The loops dispatch this component's own messages too, which may free it.
void TCxWndControl::MessageLoop()
{
    const TCxLifeGuard life(this);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (!life.InService())
            return;
    }
    Terminated = true;
}

bool TCxWndControl::ProcessMessage()
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        Terminated = true;
    } else {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void TCxWndControl::ProcessMessages()
{
    const TCxLifeGuard life(this);
    while (ProcessMessage() && life.InService()) {
    }
}

void TCxWndControl::MessagePump()
{
    if (MultiThreaded)
        ProcessMessages();
    else if (rtl::Application())
        rtl::Application()->ProcessMessages();
}

// --- unit start-up and shut-down ------------------------------------------

void InitUnitCalyxWndControl()
{
    if (!gClassLock)
        gClassLock = new rtl::TCriticalSection();
    if (!gPool)
        gPool = new TCxWndHandlerPool();
    gFinalized = false;
}

void FinUnitCalyxWndControl()
{
    if (gPool && gPool->Count() == 0) {
        delete gPool;
        gPool = nullptr;
    }
    gFinalized = true;
    if (gWindowCount == 0 && !gPool) {
        delete gClassLock;
        gClassLock = nullptr;
    }
}

}  // namespace calyx
