// The demo's toolbar docked at each side of its frame, floating in its own tool
// window, dragged there with the mouse, and shown and hidden from the View menu.
#include <windows.h>
#include <commctrl.h>

#include "DemoIds.h"
#include "MiniDockFrameWnd.h"
#include "TestSupport.h"

namespace {

using DockingTest = DemoAppTest;

CRect InFrame(CWnd* frame, HWND child)
{
    CRect r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, frame->m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Overlap(const CRect& a, const CRect& b)
{
    RECT common;
    return IntersectRect(&common, &a, &b) != 0;
}

TEST_F(DockingTest, TheViewFillsWhatTheBarDockedAtEachSideLeaves)
{
    CToolBar& bar = frame->m_toolBar;
    for (DockSide side : {DockSide::Left, DockSide::Right, DockSide::Bottom, DockSide::Top}) {
        frame->DockControlBar(&bar, side);
        SCOPED_TRACE(testing::Message() << "side " << int(side));
        CRect client = frame->GetClientRect();
        CRect toolbar = InFrame(frame, bar.m_hWnd);
        CRect status = InFrame(frame, frame->m_statusBar.m_hWnd);
        CRect pane = InFrame(frame, frame->m_notes.m_hWnd);
        EXPECT_EQ(bar.GetParent(), frame);
        EXPECT_TRUE(bar.IsWindowVisible());
        EXPECT_EQ(status, CRect(0, client.bottom - status.Height(), client.right, client.bottom));
        EXPECT_FALSE(Overlap(toolbar, pane));
        EXPECT_FALSE(Overlap(toolbar, status));
        EXPECT_FALSE(Overlap(pane, status));
        // The bar spans its side of the space above the status bar, the view the rest.
        CRect above(0, 0, client.right, status.top);
        switch (side) {
        case DockSide::Top:
            EXPECT_EQ(toolbar, CRect(0, 0, client.right, toolbar.bottom));
            EXPECT_EQ(pane, CRect(0, toolbar.bottom, client.right, status.top));
            break;
        case DockSide::Bottom:
            EXPECT_EQ(toolbar, CRect(0, toolbar.top, client.right, status.top));
            EXPECT_EQ(pane, CRect(0, 0, client.right, toolbar.top));
            break;
        case DockSide::Left:
            EXPECT_EQ(toolbar, CRect(0, 0, toolbar.right, above.bottom));
            EXPECT_EQ(pane, CRect(toolbar.right, 0, client.right, above.bottom));
            break;
        case DockSide::Right:
            EXPECT_EQ(toolbar, CRect(toolbar.left, 0, client.right, above.bottom));
            EXPECT_EQ(pane, CRect(0, 0, toolbar.left, above.bottom));
            break;
        case DockSide::Floating: break;
        }
        // Down a side the buttons stand in one column, along the top or bottom in one row.
        CRect first = bar.GetItemRect(0), last = bar.GetItemRect(bar.GetCount() - 1);
        bool vertical = side == DockSide::Left || side == DockSide::Right;
        EXPECT_EQ(vertical, last.top > first.top);
        EXPECT_GT(vertical ? toolbar.Width() : toolbar.Height(), 15);
        EXPECT_LT(vertical ? toolbar.Width() : toolbar.Height(), 60);
        CRect barClient = bar.GetClientRect();
        EXPECT_LE(vertical ? last.bottom : last.right, vertical ? barClient.bottom : barClient.right);
    }
}

TEST_F(DockingTest, AFloatingBarSitsInAToolWindowAndTheViewTakesItsPlace)
{
    CToolBar& bar = frame->m_toolBar;
    frame->FloatControlBar(&bar, POINT{200, 150});
    ASSERT_TRUE(bar.IsFloating());
    CMiniDockFrameWnd* floating = bar.GetFloatingFrame();
    ASSERT_NE(floating, nullptr);
    EXPECT_EQ(bar.GetParent(), floating);
    EXPECT_EQ(GetWindow(floating->m_hWnd, GW_OWNER), frame->m_hWnd);
    EXPECT_TRUE(GetWindowLongA(floating->m_hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(floating->IsWindowVisible());
    CRect barOnScreen = bar.GetWindowRect();
    EXPECT_EQ(barOnScreen.left, 200);
    EXPECT_EQ(barOnScreen.top, 150);
    // The whole bar shows in its window, buttons in a row.
    CRect inside = floating->GetClientRect();
    EXPECT_EQ(inside.Width(), barOnScreen.Width());
    EXPECT_EQ(inside.Height(), barOnScreen.Height());
    EXPECT_LE(bar.GetItemRect(bar.GetCount() - 1).right, bar.GetClientRect().right);

    CRect client = frame->GetClientRect();
    CRect status = InFrame(frame, frame->m_statusBar.m_hWnd);
    EXPECT_EQ(InFrame(frame, frame->m_notes.m_hWnd), CRect(0, 0, client.right, status.top));

    // A floating bar's buttons still command the frame.
    int before = app.m_notesAdded;
    CRect add = bar.GetItemRect(bar.CommandToIndex(ID_NOTE_ADD));
    LPARAM at = MAKELPARAM((add.left + add.right) / 2, (add.top + add.bottom) / 2);
    bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    bar.SendMessage(WM_LBUTTONUP, 0, at);
    PumpPending();
    EXPECT_EQ(app.m_notesAdded, before + 1);

    frame->DockControlBar(&bar, DockSide::Top);
    EXPECT_EQ(bar.GetParent(), frame);
    EXPECT_FALSE(floating->IsWindowVisible());
    CRect toolbar = InFrame(frame, bar.m_hWnd);
    EXPECT_EQ(toolbar.top, 0);
    EXPECT_EQ(InFrame(frame, frame->m_notes.m_hWnd), CRect(0, toolbar.bottom, client.right, status.top));
}

TEST_F(DockingTest, ViewToolbarHidesAndShowsTheBarWhereverItIs)
{
    CToolBar& bar = frame->m_toolBar;
    HMENU view = GetSubMenu(frame->GetMenu(), 1);
    auto checked = [&] {
        frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 1);
        return (GetMenuState(view, ID_VIEW_TOOLBAR, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    ASSERT_NE(GetMenuState(view, ID_VIEW_TOOLBAR, MF_BYCOMMAND), UINT(-1));

    frame->FloatControlBar(&bar, POINT{220, 160});
    CMiniDockFrameWnd* floating = bar.GetFloatingFrame();
    EXPECT_TRUE(checked());
    Command(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(floating->IsWindowVisible());
    EXPECT_FALSE(checked());
    Command(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(floating->IsWindowVisible());
    EXPECT_TRUE(checked());

    // Closing the tool window hides the bar as the menu does.
    floating->SendMessage(WM_CLOSE);
    EXPECT_FALSE(floating->IsWindowVisible());
    EXPECT_FALSE(checked());
    EXPECT_NE(floating->m_hWnd, nullptr);

    // Docked while hidden, it stays hidden and the view keeps the space.
    frame->DockControlBar(&bar, DockSide::Left);
    EXPECT_FALSE(bar.IsWindowVisible());
    CRect status = InFrame(frame, frame->m_statusBar.m_hWnd);
    EXPECT_EQ(InFrame(frame, frame->m_notes.m_hWnd), CRect(0, 0, frame->GetClientRect().right, status.top));
    Command(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(bar.IsWindowVisible());
    EXPECT_EQ(InFrame(frame, frame->m_notes.m_hWnd).left, InFrame(frame, bar.m_hWnd).right);
}

// Posts a mouse message with the cursor at p (screen), as the mouse would.
void PostMouse(HWND window, UINT message, POINT p)
{
    SetCursorPos(p.x, p.y);
    POINT client = p;
    ScreenToClient(window, &client);
    PostMessageA(window, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(client.x, client.y));
}

TEST_F(DockingTest, DraggingTheBarDocksItAtTheSideItIsDroppedAtAndFloatsItElsewhere)
{
    CToolBar& bar = frame->m_toolBar;
    struct Drop {
        POINT (*at)(const CRect& area);
        bool floats;
        DockSide side;
    } const drops[] = {
        {[](const CRect& a) {
             return POINT{a.left + 3, (a.top + a.bottom) / 2};
         },
         false, DockSide::Left},
        {[](const CRect& a) {
             return POINT{(a.left + a.right) / 2, (a.top + a.bottom) / 2};
         },
         true, DockSide::Floating},
        {[](const CRect& a) {
             return POINT{a.right - 3, (a.top + a.bottom) / 2};
         },
         false, DockSide::Right},
        {[](const CRect& a) {
             return POINT{(a.left + a.right) / 2, a.top + 2};
         },
         false, DockSide::Top},
    };
    for (const Drop& drop : drops) {
        SCOPED_TRACE(testing::Message() << "to side " << int(drop.side));
        // Grab the bar by its edge: the first pixel of its window.
        CRect grab = bar.GetWindowRect();
        POINT start{grab.left, grab.top};
        POINT end = drop.at(frame->GetDockArea());
        POINT middle{(start.x + end.x) / 2, (start.y + end.y) / 2};
        PostMouse(bar.m_hWnd, WM_MOUSEMOVE, middle);
        PostMouse(bar.m_hWnd, WM_MOUSEMOVE, end);
        PostMouse(bar.m_hWnd, WM_LBUTTONUP, end);
        ASSERT_TRUE(bar.TrackDragFrom(start));
        EXPECT_EQ(bar.GetDockSide(), drop.side);
        EXPECT_EQ(bar.IsFloating(), drop.floats);
        EXPECT_EQ(GetCapture(), nullptr);
        if (drop.floats) {
            EXPECT_TRUE(bar.GetWindowRect().PtInRect(end));
        }
    }
}

TEST_F(DockingTest, EscapeCancelsADrag)
{
    CToolBar& bar = frame->m_toolBar;
    CRect before = bar.GetWindowRect();
    POINT start{before.left, before.top};
    PostMouse(bar.m_hWnd, WM_MOUSEMOVE, POINT{start.x + 200, start.y + 150});
    PostMessageA(bar.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMouse(bar.m_hWnd, WM_LBUTTONUP, POINT{start.x + 200, start.y + 150});
    ASSERT_TRUE(bar.TrackDragFrom(start));
    EXPECT_EQ(bar.GetDockSide(), DockSide::Top);
    EXPECT_EQ(bar.GetWindowRect(), before);
    PumpPending();
}

}  // namespace
