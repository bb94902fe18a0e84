// Modal windows of a program whose main window is hidden, iconic or half off the
// screen still lie wholly inside the screen's work area.
#include <windows.h>

#include <string>
#include <vector>

#include "DemoIds.h"
#include "OnScreenPlacement.h"
#include "TestSupport.h"

namespace {

struct PlacementCase {
    RECT window;
    bool centre;
    RECT expected;
};

TEST(PlaceInWorkArea, MovesCentresAndCutsIntoTheWorkArea)
{
    const RECT work{0, 0, 1000, 860};
    const std::vector<PlacementCase> cases = {
        {{100, 100, 500, 400}, false, {100, 100, 500, 400}},    // inside: stays
        {{0, 662, 404, 1051}, false, {0, 471, 404, 860}},       // below the edge: up
        {{-50, -20, 350, 280}, false, {0, 0, 400, 300}},        // above and left: in
        {{900, 100, 1300, 300}, false, {600, 100, 1000, 300}},  // right: left
        {{0, 662, 404, 1051}, true, {298, 235, 702, 624}},      // centred
        {{10, 10, 1200, 900}, false, {0, 0, 1000, 860}},        // larger: cut
        {{10, 10, 1200, 900}, true, {0, 0, 1000, 860}},
    };
    for (const PlacementCase& c : cases) {
        const RECT placed = PlaceInWorkArea(c.window, work, c.centre);
        EXPECT_TRUE(EqualRect(&placed, &c.expected))
            << c.window.left << "," << c.window.top << " centre " << c.centre << " -> " << placed.left
            << "," << placed.top << "," << placed.right << "," << placed.bottom;
    }
    const RECT second{1000, 0, 2280, 1024};  // a work area off the origin
    const RECT placed = PlaceInWorkArea({900, 900, 1100, 1100}, second, false);
    const RECT expected{1000, 824, 1200, 1024};
    EXPECT_TRUE(EqualRect(&placed, &expected));
}

RECT WorkAreaOf(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

// Where the message box stood; it is answered from a thread timer, which the
// box's own loop runs.
RECT g_boxRect{};
void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = GetActiveWindow();
    char name[16] = {};
    GetClassNameA(box, name, sizeof name);
    if (std::string(name) != "#32770" || !IsWindowVisible(box))
        return;  // not up yet
    KillTimer(nullptr, timer);
    GetWindowRect(box, &g_boxRect);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

using PlacementTest = DemoAppTest;

TEST_F(PlacementTest, DialogsSheetsAndMessageBoxesOfAHiddenIconicOrOffScreenOwnerLieInTheWorkArea)
{
    const RECT work = WorkAreaOf(frame->m_hWnd);
    ModalPlacementLog modals;
    std::vector<RECT>& modalRects = modals.rects;
    const struct {
        const char* owner;
        int show;
    } owners[] = {{"iconic", SW_MINIMIZE}, {"hidden", SW_HIDE}, {"half below the screen", SW_SHOWNORMAL}};
    for (const auto& owner : owners) {
        SCOPED_TRACE(owner.owner);
        frame->ShowWindow(SW_SHOWNORMAL);
        SetWindowPos(frame->m_hWnd, nullptr, work.left, work.bottom - 60, 500, 400,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        frame->ShowWindow(owner.show);
        modalRects.clear();
        Command(ID_NOTE_OPTIONS);
        Command(ID_SETTINGS);
        ASSERT_EQ(modalRects.size(), 2u);
        for (const RECT& rect : modalRects)
            EXPECT_TRUE(LiesWithin(rect, work)) << rect.left << "," << rect.top << "," << rect.right
                                                << "," << rect.bottom;

        g_boxRect = RECT{};
        SetTimer(nullptr, 0, 50, CloseMessageBox);
        Command(ID_APP_ABOUT);
        EXPECT_FALSE(IsRectEmpty(&g_boxRect));
        EXPECT_TRUE(LiesWithin(g_boxRect, work))
            << g_boxRect.left << "," << g_boxRect.top << "," << g_boxRect.right << "," << g_boxRect.bottom;
    }
}

}  // namespace
