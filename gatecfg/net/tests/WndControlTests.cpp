#include <gtest/gtest.h>


#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Guarded.h"
#include "net/CalyxThreadTimer.h"
#include "net/CalyxUnits.h"
#include "net/CalyxWndControl.h"

using namespace calyx;

namespace {

// A control that holds `Extra` ids of its own besides the release id and
// records what reaches it.
class TProbe : public TCxWndControl {
public:
    TProbe(rtl::TComponent* owner, int extra, bool* freed = nullptr)
        : TCxWndControl(owner), Extra(extra), Freed(freed)
    {
    }

    int Extra;
    bool* Freed;
    std::vector<UINT> Ids;
    std::vector<UINT> Received;
    std::vector<LPARAM> Discarded;
    int Aborts = 0;
    UINT ThrowOn = 0;
    bool ThrowStd = false;
    UINT FreeAndThrowOn = 0;

    int MsgHandlersCount() override { return TCxWndControl::MsgHandlersCount() + Extra; }
    void AllocateMsgHandlers() override
    {
        TCxWndControl::AllocateMsgHandlers();
        for (int i = 0; i < Extra; ++i)
            Ids.push_back(AllocateMsgId());
    }
    void FreeMsgHandlers() override
    {
        for (auto it = Ids.rbegin(); it != Ids.rend(); ++it)
            ReleaseMsgId(*it);
        Ids.clear();
        TCxWndControl::FreeMsgHandlers();
    }
    void ReleaseOne(size_t index) { ReleaseMsgId(Ids[index]); }

    // Deliberately unguarded: exceptions must be caught by the window procedure.
    void WndProc(TMessage& msg) override
    {
        if (msg.Msg == FreeAndThrowOn && msg.Msg) {
            Free();
            throw ECxException("after free");
        }
        if (msg.Msg == ThrowOn && msg.Msg) {
            if (ThrowStd)
                throw std::runtime_error("std failure");
            throw ECxException("boom " + std::to_string(msg.WParam));
        }
        if (std::find(Ids.begin(), Ids.end(), msg.Msg) != Ids.end()) {
            Received.push_back(msg.Msg);
            msg.Result = 7;
            return;
        }
        TCxWndControl::WndProc(msg);
    }
    void MessageDiscarded(const TMessage& msg) override
    {
        Discarded.push_back(msg.LParam);
        delete reinterpret_cast<int*>(msg.LParam);
    }
    void AbortOnBgException() override { ++Aborts; }

protected:
    ~TProbe() override
    {
        if (Freed)
            *Freed = true;
    }
};

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool ClassRegistered()
{
    WNDCLASSA wc;
    return GetClassInfoA(GetModuleHandleA(nullptr), CxWndControlWindowClass, &wc) != 0;
}

struct WndControlTest : ::testing::Test {
    void SetUp() override { StartCalyxUnits(); }
    void TearDown() override
    {
        Pump();
        EXPECT_EQ(CxWndControlWindowCount(), 0);
        StopCalyxUnits();
    }
};

}  // namespace

TEST_F(WndControlTest, NoWindowUntilTheHandleIsNeeded)
{
    auto* c = rtl::Create<TProbe>(nullptr, 0);
    EXPECT_FALSE(c->HandleAllocated());
    EXPECT_EQ(CxWndControlWindowCount(), 0);
    HWND wnd = c->Handle();
    EXPECT_TRUE(IsWindow(wnd));
    EXPECT_EQ(c->MsgRelease(), CX_FIRST_MSG);
    EXPECT_EQ(GetWindowThreadProcessId(wnd, nullptr), GetCurrentThreadId());
    c->Free();
}

TEST_F(WndControlTest, HundredIdsFillAWindowAndTheNextOpensASecondOne)
{
    auto* a = rtl::Create<TProbe>(nullptr, 99);  // 100 ids with the release id
    auto* b = rtl::Create<TProbe>(nullptr, 1);
    HWND w1 = a->Handle();
    HWND w2 = b->Handle();
    ASSERT_NE(w1, w2);
    EXPECT_EQ(CxWndControlWindowCount(), 2);
    EXPECT_EQ(a->MsgRelease(), 1025u);
    EXPECT_EQ(a->Ids.back(), 1124u);
    EXPECT_EQ(b->MsgRelease(), 1025u);
    EXPECT_EQ(b->Ids[0], 1026u);

    // The same id on the two windows reaches two different components.
    PostMessageA(w1, 1026, 0, 0);
    PostMessageA(w1, 1124, 0, 0);
    PostMessageA(w2, 1026, 0, 0);
    Pump();
    EXPECT_EQ(a->Received, (std::vector<UINT>{1026, 1124}));
    EXPECT_EQ(b->Received, (std::vector<UINT>{1026}));
    EXPECT_EQ(SendMessageA(w2, 1026, 0, 0), 7);

    // More than a window can hold is refused as a failed assertion.
    auto* big = rtl::Create<TProbe>(nullptr, 100);
    try {
        big->Handle();
        ADD_FAILURE() << "101 ids accepted";
    } catch (rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "Calyx message IDs out of bounds!");
    }
    EXPECT_FALSE(big->HandleAllocated());
    big->Free();

    a->Free();
    EXPECT_FALSE(IsWindow(w1));
    EXPECT_TRUE(IsWindow(w2));
    EXPECT_TRUE(ClassRegistered());
    b->Free();
    EXPECT_FALSE(IsWindow(w2));
    EXPECT_EQ(CxWndControlWindowCount(), 0);
    EXPECT_FALSE(ClassRegistered());

    // The next allocation makes a fresh window (and class) again.
    auto* c = rtl::Create<TProbe>(nullptr, 0);
    EXPECT_TRUE(IsWindow(c->Handle()));
    EXPECT_TRUE(ClassRegistered());
    c->Free();
}

TEST_F(WndControlTest, MessagesOfAReleasedIdAreDroppedAndWhatTheyCarryIsFreed)
{
    auto* a = rtl::Create<TProbe>(nullptr, 2);
    HWND wnd = a->Handle();
    const UINT stale = a->Ids[0];
    PostMessageA(wnd, stale, 0, reinterpret_cast<LPARAM>(new int(1)));
    PostMessageA(wnd, stale, 0, reinterpret_cast<LPARAM>(new int(2)));
    PostMessageA(wnd, a->Ids[1], 0, 0);
    a->ReleaseOne(0);
    EXPECT_EQ(a->Ids[0], 0u);
    EXPECT_EQ(a->Discarded.size(), 2u);

    // A newcomer gets the freed id and must not see the old messages.
    auto* b = rtl::Create<TProbe>(nullptr, 0);
    EXPECT_EQ(b->Handle(), wnd);
    EXPECT_EQ(b->MsgRelease(), stale);
    Pump();
    EXPECT_EQ(a->Received, (std::vector<UINT>{a->Ids[1]}));
    EXPECT_TRUE(b->Received.empty());
    a->Free();
    b->Free();
}

TEST_F(WndControlTest, ReleaseMessageFreesTheComponentFromItsOwnWindowProcedure)
{
    // Any use of a component after the release freed it faults (TGuarded).
    bool freedA = false, freedB = false;
    auto* a = rtl::Create<xstest::TGuarded<TProbe>>(nullptr, 1, &freedA);
    auto* b = rtl::Create<xstest::TGuarded<TProbe>>(nullptr, 1, &freedB);
    HWND wnd = a->Handle();
    EXPECT_EQ(b->Handle(), wnd);
    EXPECT_TRUE(a->PostRelease());
    PostMessageA(wnd, b->Ids[0], 0, 0);
    Pump();
    EXPECT_TRUE(freedA);
    EXPECT_FALSE(freedB);
    EXPECT_EQ(b->Received.size(), 1u);

    // The last component of a window takes the window and its handler along
    // while the window procedure is still on the stack.
    EXPECT_TRUE(b->PostRelease());
    Pump();
    EXPECT_TRUE(freedB);
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_EQ(CxWndHandlerPool()->Count(), 0);
}

TEST_F(WndControlTest, ExceptionsInAWindowProcedureReachTheBackgroundHandler)
{
    auto* a = rtl::Create<TProbe>(nullptr, 1);
    std::vector<std::string> seen;
    bool keep = true;
    a->OnBgException = [&](rtl::TObject* sender, rtl::Exception& e, bool& canClose) {
        EXPECT_EQ(sender, a);
        seen.push_back(e.Message());
        canClose = !keep;
    };
    a->Handle();
    a->ThrowOn = a->Ids[0];
    EXPECT_EQ(SendMessageA(a->Handle(), a->ThrowOn, 1, 0), 0);
    EXPECT_EQ(a->Aborts, 0);  // CanClose cleared by the handler
    keep = false;
    PostMessageA(a->Handle(), a->ThrowOn, 2, 0);
    Pump();
    EXPECT_EQ(a->Aborts, 1);
    a->ThrowStd = true;
    SendMessageA(a->Handle(), a->ThrowOn, 3, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"boom 1", "boom 2", "std failure"}));

    // A handler that throws itself, and no handler at all, end in the abort.
    a->ThrowStd = false;
    a->OnBgException = [](rtl::TObject*, rtl::Exception&, bool&) { throw std::bad_alloc(); };
    SendMessageA(a->Handle(), a->ThrowOn, 4, 0);
    a->OnBgException = nullptr;
    SendMessageA(a->Handle(), a->ThrowOn, 5, 0);
    EXPECT_EQ(a->Aborts, 4);

    // A component that frees itself and then throws is not touched again
    // (any use of it would fault, TGuarded): its exception goes to the
    // hook of the window it shared.
    bool freed = false;
    auto* b = rtl::Create<xstest::TGuarded<TProbe>>(nullptr, 1, &freed);
    HWND wnd = b->Handle();
    ASSERT_EQ(wnd, a->Handle());
    std::vector<std::string> hooked;
    a->WndHandler()->OnBgException = [&](rtl::TObject* sender, rtl::Exception& e, bool&) {
        EXPECT_EQ(sender, a->WndHandler());
        hooked.push_back(e.Message());
    };
    const UINT id = b->Ids[0];
    b->FreeAndThrowOn = id;
    SendMessageA(wnd, id, 0, 0);
    EXPECT_TRUE(freed);
    EXPECT_EQ(hooked, std::vector<std::string>{"after free"});
    EXPECT_EQ(seen.size(), 3u);  // not the live component's handler either
    a->Free();
}

TEST_F(WndControlTest, AttachAndDetachMoveAComponentToAnotherThread)
{
    auto* c = rtl::Create<TProbe>(nullptr, 1);
    c->Handle();
    ASSERT_EQ(c->Ids.size(), 1u);
    try {
        c->ThreadAttach();
        ADD_FAILURE() << "attach with a window";
    } catch (ECxException& e) {
        EXPECT_EQ(e.Message(), "Cannot attach when not detached");
    }

    struct Shared {
        TProbe* Control;
        std::string DetachError;
        HANDLE Attached;
        HANDLE Done;
        DWORD ThreadId;
    } s{c, "", CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr), 0};

    std::thread([&s] {
        try {
            s.Control->ThreadDetach();
        } catch (ECxException& e) {
            s.DetachError = e.Message();
        }
    }).join();
    EXPECT_EQ(s.DetachError, "Cannot detach from another thread");
    EXPECT_TRUE(c->HandleAllocated());

    c->ThreadDetach();
    EXPECT_FALSE(c->HandleAllocated());
    EXPECT_EQ(CxWndControlWindowCount(), 0);

    std::thread t2([&s] {
        Shared* sh = &s;
        sh->ThreadId = GetCurrentThreadId();
        sh->Control->ThreadAttach();
        SetEvent(sh->Attached);
        while (MsgWaitForMultipleObjects(1, &sh->Done, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
            Pump();
        sh->Control->ThreadDetach();
    });
    if (WaitForSingleObject(s.Attached, 30000) != WAIT_OBJECT_0) {
        SetEvent(s.Done);
        t2.join();
        FAIL() << "the other thread did not attach";
    }
    EXPECT_EQ(c->ThreadId(), s.ThreadId);
    EXPECT_EQ(GetWindowThreadProcessId(c->Handle(), nullptr), s.ThreadId);
    // Served by the other thread's loop.
    EXPECT_EQ(SendMessageA(c->Handle(), c->Ids[0], 0, 0), 7);
    SetEvent(s.Done);
    t2.join();
    EXPECT_FALSE(c->HandleAllocated());
    EXPECT_EQ(c->Received.size(), 1u);
    CloseHandle(s.Attached);
    CloseHandle(s.Done);
    c->Free();
}

TEST_F(WndControlTest, MessageProcessingSetsTerminatedOnQuit)
{
    auto* c = rtl::Create<TProbe>(nullptr, 1);
    c->MultiThreaded = true;
    HWND wnd = c->Handle();
    PostMessageA(wnd, c->Ids[0], 0, 0);
    PostQuitMessage(0);
    c->MessagePump();
    EXPECT_TRUE(c->Terminated);
    EXPECT_EQ(c->Received.size(), 1u);

    c->Terminated = false;
    PostQuitMessage(0);
    c->MessageLoop();
    EXPECT_TRUE(c->Terminated);

    // Without MultiThreaded the application's own processing runs.
    c->MultiThreaded = false;
    rtl::Application()->SetTerminated(false);
    PostQuitMessage(0);
    c->MessagePump();
    EXPECT_TRUE(rtl::Application()->Terminated());
    rtl::Application()->SetTerminated(false);
    c->Free();
}

// What reached the default window procedure, which answers with a mark of
// its own so that its result is told from any other.
std::vector<std::pair<UINT, WPARAM>> gDefaulted;
constexpr LRESULT kDefaultMark = 0x5EED;
LRESULT WINAPI RecordingDefWindowProc(HWND, UINT msg, WPARAM wParam, LPARAM)
{
    gDefaulted.emplace_back(msg, wParam);
    return kDefaultMark;
}

TEST_F(WndControlTest, TimerMessagesWithoutTimerObjectsTakeTheDefaultPath)
{
    ASSERT_NE(CxThreadTimerMsg(), 0u);
    EXPECT_EQ(CxThreadTimerMsg(), RegisterWindowMessageA("CALYX_THREAD_TIMER"));
    auto* c = rtl::Create<TProbe>(nullptr, 1);
    std::vector<UINT> hooked;
    c->Handle();
    c->WndHandler()->OnMessage = [&](rtl::TObject*, TMessage& m, bool& handled) {
        hooked.push_back(m.Msg);
        handled = m.Msg == WM_APP;
    };
    gDefaulted.clear();
    SetCxDefWindowProc(&RecordingDefWindowProc);
    // The timer messages carry no timer object: after the hook they end in
    // the default procedure with what they carry, as it answers them.
    EXPECT_EQ(SendMessageA(c->Handle(), CxThreadTimerMsg(), 0x1234, 0), kDefaultMark);
    EXPECT_EQ(SendMessageA(c->Handle(), WM_TIMER, 0x5678, 0), kDefaultMark);
    // The hook's own message, and a component's, do not.
    EXPECT_EQ(SendMessageA(c->Handle(), WM_APP, 0, 0), 0);
    EXPECT_EQ(SendMessageA(c->Handle(), c->Ids[0], 0, 0), 7);
    SetCxDefWindowProc(nullptr);
    EXPECT_EQ(hooked, (std::vector<UINT>{CxThreadTimerMsg(), WM_TIMER, WM_APP}));
    EXPECT_EQ(gDefaulted, (std::vector<std::pair<UINT, WPARAM>>{{CxThreadTimerMsg(), 0x1234}, {WM_TIMER, 0x5678}}));
    c->Free();
}

TEST(WndControlUnitTest, AllocatingAfterShutDownIsAFailedAssertion)
{
    StartCalyxUnits();
    StopCalyxUnits();
    auto* c = rtl::Create<TProbe>(nullptr, 0);
    try {
        c->Handle();
        ADD_FAILURE() << "allocated after shut-down";
    } catch (rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "Unit is already finalized, check your threads!!!");
    }
    c->Free();
}
