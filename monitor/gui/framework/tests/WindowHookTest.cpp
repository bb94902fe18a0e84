// Hooks on windows that someone else owns: their order, removal, the end of the
// window, nested messages and installing a hook twice.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FrameWnd.h"
#include "WindowHook.h"
#include "Wnd.h"

namespace {

constexpr UINT Probe = WM_USER + 10;
constexpr UINT Nested = WM_USER + 11;

std::vector<std::string> g_log;

LRESULT CALLBACK OwnProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == Probe)
        g_log.push_back("own");
    if (message == WM_NCDESTROY)
        g_log.push_back("own:ncdestroy");
    return DefWindowProcA(window, message, wParam, lParam);
}

class Window {
public:
    Window()
    {
        static ATOM atom = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = OwnProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "HookTestWindow";
            return RegisterClassA(&wc);
        }();
        (void)atom;
        handle = CreateWindowExA(0, "HookTestWindow", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    }
    ~Window()
    {
        if (IsWindow(handle))
            DestroyWindow(handle);
    }
    HWND handle;
};

class RecordingHook : public CWindowHook {
public:
    explicit RecordingHook(std::string name) : m_name(std::move(name)) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == Probe) {
            g_log.push_back(m_name);
            if (consume)
                return 7;
            if (nestedTarget) {
                SendMessageA(nestedTarget, Nested, 0, 0);
                currentAfterNested = CurrentMessage().message;
            }
        }
        if (message == Nested)
            g_log.push_back(m_name + ":nested");
        return SubclassDefault();
    }
    bool consume = false;
    HWND nestedTarget = nullptr;
    UINT currentAfterNested = 0;

private:
    std::string m_name;
};

std::vector<std::string> Probed(HWND window)
{
    g_log.clear();
    SendMessageA(window, Probe, 0, 0);
    return g_log;
}

using Log = std::vector<std::string>;

TEST(WindowHook, TheNewerHookSeesAMessageFirstThenTheOlderThenTheWindow)
{
    Window w;
    RecordingHook older("older"), newer("newer");
    older.SubclassHook(w.handle);
    newer.SubclassHook(w.handle);
    EXPECT_EQ(Probed(w.handle), (Log{"newer", "older", "own"}));
    newer.consume = true;
    g_log.clear();
    EXPECT_EQ(SendMessageA(w.handle, Probe, 0, 0), 7);
    EXPECT_EQ(g_log, Log{"newer"});
}

TEST(WindowHook, EitherHookComesOffAndTheLastPutsTheWindowsProcedureBack)
{
    struct Case {
        bool removeNewerFirst;
        Log afterFirst;
    } cases[] = {{false, {"newer", "own"}}, {true, {"older", "own"}}};
    for (const Case& c : cases) {
        Window w;
        auto own = GetWindowLongPtrA(w.handle, GWLP_WNDPROC);
        RecordingHook older("older"), newer("newer");
        older.SubclassHook(w.handle);
        newer.SubclassHook(w.handle);
        (c.removeNewerFirst ? newer : older).SubclassHook(nullptr);
        EXPECT_EQ(Probed(w.handle), c.afterFirst);
        (c.removeNewerFirst ? older : newer).SubclassHook(nullptr);
        EXPECT_EQ(Probed(w.handle), Log{"own"});
        EXPECT_EQ(GetWindowLongPtrA(w.handle, GWLP_WNDPROC), own);
        EXPECT_EQ(older.HookedWindow(), nullptr);
        EXPECT_EQ(newer.HookedWindow(), nullptr);
    }
}

TEST(WindowHook, AtTheWindowsEndItsOwnProcedureGetsTheMessageAndEveryHookComesOff)
{
    Window w;
    RecordingHook a("a"), b("b");
    a.SubclassHook(w.handle);
    b.SubclassHook(w.handle);
    g_log.clear();
    DestroyWindow(w.handle);
    EXPECT_EQ(g_log, Log{"own:ncdestroy"});
    EXPECT_EQ(a.HookedWindow(), nullptr);
    EXPECT_EQ(b.HookedWindow(), nullptr);
}

TEST(WindowHook, AMessageSentFromInsideAHookLeavesTheCurrentMessageAsItWas)
{
    Window first, second;
    RecordingHook outer("outer"), inner("inner");
    outer.SubclassHook(first.handle);
    inner.SubclassHook(second.handle);
    outer.nestedTarget = second.handle;
    EXPECT_EQ(Probed(first.handle), (Log{"outer", "inner:nested", "own"}));
    EXPECT_EQ(outer.currentAfterNested, Probe);
}

TEST(WindowHook, HookingAgainMovesTheHookInsteadOfChainingItToItself)
{
    Window w1, w2;
    auto own = GetWindowLongPtrA(w1.handle, GWLP_WNDPROC);
    RecordingHook hook("hook");
    hook.SubclassHook(w1.handle);
    hook.SubclassHook(w1.handle);
    EXPECT_EQ(Probed(w1.handle), (Log{"hook", "own"}));
    hook.SubclassHook(w2.handle);
    EXPECT_EQ(Probed(w1.handle), Log{"own"});
    EXPECT_EQ(GetWindowLongPtrA(w1.handle, GWLP_WNDPROC), own);
    EXPECT_EQ(Probed(w2.handle), (Log{"hook", "own"}));
}

TEST(WindowHook, TheSharedProcedureOnAWindowWithoutHooksDoesDefaultProcessing)
{
    Window w;
    RecordingHook hook("hook");
    hook.SubclassHook(w.handle);
    auto shared = GetWindowLongPtrA(w.handle, GWLP_WNDPROC);
    hook.SubclassHook(nullptr);
    // Another subclasser puts back the procedure it once saw.
    SetWindowLongPtrA(w.handle, GWLP_WNDPROC, shared);
    EXPECT_TRUE(Probed(w.handle).empty());
    EXPECT_TRUE(SetWindowTextA(w.handle, "still works"));
    char text[32] = {};
    GetWindowTextA(w.handle, text, sizeof text);
    EXPECT_STREQ(text, "still works");
}

TEST(WindowHook, AHookThatGoesAwayFirstTakesItselfOff)
{
    Window w;
    {
        RecordingHook hook("hook");
        hook.SubclassHook(w.handle);
    }
    EXPECT_EQ(Probed(w.handle), Log{"own"});
}

// A frame that owns a hook on itself, as a frame owns its menu drawing.
class HookedFrame : public CFrameWnd {
public:
    class CommandHook : public CWindowHook {
    public:
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == WM_COMMAND)
                g_log.push_back("hook:command");
            return SubclassWindowProc(message, wParam, lParam);
        }
    };
    HookedFrame() { ++live; }
    ~HookedFrame() override { --live; }
    CommandHook hook;
    static int live;

protected:
    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {OnCommand<500, &HookedFrame::OnProbe>()};
        static const MessageMap map = MakeMessageMap(CFrameWnd::GetMessageMap(), entries);
        return &map;
    }
    void OnProbe() { g_log.push_back("frame:command"); }
};
int HookedFrame::live = 0;

TEST(WindowHook, AFramesOwnHookSeesItsMessagesAndGoesWithTheFrame)
{
    auto* frame = new HookedFrame;
    ASSERT_TRUE(frame->Create(nullptr, "Hooked", WS_OVERLAPPEDWINDOW));
    frame->hook.SubclassHook(frame->m_hWnd);
    g_log.clear();
    frame->SendMessage(WM_COMMAND, 500, 0);
    EXPECT_EQ(g_log, (Log{"hook:command", "frame:command"}));
    EXPECT_EQ(CWnd::FromHandle(frame->m_hWnd), frame);
    frame->DestroyWindow();  // the hook comes off, then the frame deletes itself
    EXPECT_EQ(HookedFrame::live, 0);
}

}  // namespace
