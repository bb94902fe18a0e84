// Commands go to the frame's map first, then to the application's; unhandled ones
// do nothing. Update-UI greys and checks menu items and toolbar buttons.
#include <stdexcept>

#include "DemoIds.h"
#include "FrameWnd.h"
#include "StatusBar.h"
#include "TestSupport.h"
#include "WinApp.h"

namespace {

std::vector<std::string> g_log;

class RoutingApp : public CWinApp {
protected:
    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {
            OnCommand<100, &RoutingApp::OnShared>(),
            OnCommand<101, &RoutingApp::OnAppOnly>(),
        };
        static const MessageMap map = MakeMessageMap(CWinApp::GetMessageMap(), entries);
        return &map;
    }
    void OnShared() { g_log.push_back("app:100"); }
    void OnAppOnly() { g_log.push_back("app:101"); }
};

class RoutingFrame : public CFrameWnd {
protected:
    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {
            OnCommand<100, &RoutingFrame::OnShared>(),
            OnCommandRange<200, 202, &RoutingFrame::OnRange>(),
            OnControl<EN_CHANGE, 300, &RoutingFrame::OnEditChange>(),
            OnCommand<400, &RoutingFrame::OnThrow>(),
            OnUpdateCommand<600, &RoutingFrame::OnUpdateThrow>(),
        };
        static const MessageMap map = MakeMessageMap(CFrameWnd::GetMessageMap(), entries);
        return &map;
    }
    void OnShared() { g_log.push_back("frame:100"); }
    void OnRange(UINT id) { g_log.push_back("frame-range:" + std::to_string(id)); }
    void OnEditChange() { g_log.push_back("frame:edit-change"); }
    void OnThrow() { throw std::runtime_error("the handler failed"); }
    void OnUpdateThrow(CCmdUI*) { throw std::runtime_error("the update failed"); }

public:
    CStatusBar status;
};

class CommandRoutingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        PrepareApplication(app, GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
        frame = new RoutingFrame;
        ASSERT_TRUE(frame->Create(nullptr, "Routing", WS_OVERLAPPEDWINDOW));
    }
    void TearDown() override
    {
        if (frame->m_hWnd)
            frame->DestroyWindow();  // deletes it
        PumpPending();
    }
    RoutingApp app;
    RoutingFrame* frame = nullptr;
};

TEST_F(CommandRoutingTest, FrameFirstThenApplicationAndUnhandledIgnored)
{
    struct Case {
        WPARAM wParam;
        LPARAM fromControl;
        std::vector<std::string> log;
    } cases[] = {
        {MAKEWPARAM(100, 0), 0, {"frame:100"}},      // both handle it: the frame wins
        {MAKEWPARAM(101, 0), 0, {"app:101"}},        // only the application
        {MAKEWPARAM(101, 1), 0, {"app:101"}},        // from an accelerator
        {MAKEWPARAM(201, 0), 0, {"frame-range:201"}},
        {MAKEWPARAM(999, 0), 0, {}},                 // nobody: nothing happens
        {MAKEWPARAM(300, EN_CHANGE), 1, {"frame:edit-change"}},
        {MAKEWPARAM(100, EN_CHANGE), 1, {}},         // a notification is not the command
    };
    for (const Case& c : cases) {
        g_log.clear();
        LPARAM control = c.fromControl ? reinterpret_cast<LPARAM>(frame->m_hWnd) : 0;
        frame->SendMessage(WM_COMMAND, c.wParam, control);
        EXPECT_EQ(g_log, c.log) << "command " << LOWORD(c.wParam) << " code " << HIWORD(c.wParam);
    }
}

TEST_F(CommandRoutingTest, AnExceptionFromAnIdleUpdateIsShownAndTheLoopGoesOn)
{
    static const UINT indicators[] = {ID_SEPARATOR, 600};
    ASSERT_TRUE(frame->status.Create(frame));
    frame->status.SetIndicators(indicators, 2);
    frame->ShowWindow(SW_SHOW);
    MessageBoxLog boxes;
    app.OnIdle(0);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"the update failed"});
}

TEST_F(CommandRoutingTest, ProbingFindsHandlersWithoutRunningThem)
{
    EXPECT_TRUE(frame->OnCmdMsg(100, 0, nullptr, true));
    EXPECT_TRUE(frame->OnCmdMsg(101, 0, nullptr, true));  // through the application
    EXPECT_FALSE(frame->OnCmdMsg(999, 0, nullptr, true));
    EXPECT_TRUE(g_log.empty());
}

TEST_F(CommandRoutingTest, AnExceptionFromAHandlerIsShownAndTheProgramGoesOn)
{
    MessageBoxLog boxes;
    frame->SendMessage(WM_COMMAND, 400, 0);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "the handler failed");
    frame->SendMessage(WM_COMMAND, 100, 0);
    EXPECT_EQ(g_log, std::vector<std::string>{"frame:100"});
}

// The state of one item of a menu popup after it opened.
UINT MenuItemState(CFrameWnd* frame, int popup, UINT id)
{
    HMENU sub = GetSubMenu(frame->GetMenu(), popup);
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), MAKELPARAM(popup, FALSE));
    return GetMenuState(sub, id, MF_BYCOMMAND);
}

bool ToolButtonEnabled(CDemoFrame* frame, UINT id)
{
    return frame->m_toolBar.SendMessage(TB_ISBUTTONENABLED, id) != 0;
}

using UpdateUiTest = DemoAppTest;

TEST_F(UpdateUiTest, UpdateHandlersGreyMenuItemsOnPopupAndToolbarButtonsAtIdle)
{
    // Nothing to clear yet: greyed in the menu and on the toolbar.
    EXPECT_TRUE(MenuItemState(frame, 0, ID_NOTE_CLEAR) & MF_GRAYED);
    EXPECT_FALSE(ToolButtonEnabled(frame, ID_NOTE_CLEAR));
    // Commands of the application are enabled through the same route.
    EXPECT_FALSE(MenuItemState(frame, 0, ID_NOTE_ADD) & MF_GRAYED);
    EXPECT_TRUE(ToolButtonEnabled(frame, ID_NOTE_ADD));

    Command(ID_NOTE_ADD);
    EXPECT_FALSE(ToolButtonEnabled(frame, ID_NOTE_CLEAR));  // not before the next idle
    PumpPending();
    EXPECT_TRUE(ToolButtonEnabled(frame, ID_NOTE_CLEAR));
    EXPECT_FALSE(MenuItemState(frame, 0, ID_NOTE_CLEAR) & MF_GRAYED);

    // The lock's check mark follows its state; a locked list cannot be cleared.
    EXPECT_FALSE(MenuItemState(frame, 1, ID_NOTE_LOCK) & MF_CHECKED);
    Command(ID_NOTE_LOCK);
    EXPECT_TRUE(MenuItemState(frame, 1, ID_NOTE_LOCK) & MF_CHECKED);
    PumpPending();
    EXPECT_FALSE(ToolButtonEnabled(frame, ID_NOTE_CLEAR));
    EXPECT_TRUE(MenuItemState(frame, 0, ID_NOTE_CLEAR) & MF_GRAYED);
}

TEST_F(UpdateUiTest, ACommandThatNobodyHandlesIsGreyedAndDoesNothing)
{
    EXPECT_TRUE(MenuItemState(frame, 2, ID_HELP_TIPS) & MF_GRAYED);
    Command(ID_HELP_TIPS);
    EXPECT_NE(frame->m_hWnd, nullptr);
}

TEST_F(UpdateUiTest, ToolbarAndStatusBarShowHideWithCheckMarks)
{
    EXPECT_TRUE(MenuItemState(frame, 1, ID_VIEW_TOOLBAR) & MF_CHECKED);
    EXPECT_TRUE(MenuItemState(frame, 1, ID_VIEW_STATUS_BAR) & MF_CHECKED);
    Command(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(frame->m_toolBar.IsWindowVisible());
    EXPECT_FALSE(MenuItemState(frame, 1, ID_VIEW_TOOLBAR) & MF_CHECKED);
    Command(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(frame->m_statusBar.IsWindowVisible());
    EXPECT_FALSE(MenuItemState(frame, 1, ID_VIEW_STATUS_BAR) & MF_CHECKED);
    Command(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(frame->m_toolBar.IsWindowVisible());
    EXPECT_TRUE(MenuItemState(frame, 1, ID_VIEW_TOOLBAR) & MF_CHECKED);
}

}  // namespace
