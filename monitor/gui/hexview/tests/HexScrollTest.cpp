// Scroll positions of the view as functions of the scroll request.
#include "HexLayout.h"
#include "HexScroll.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(HexScroll, ScrollRequestsMoveThePosition) {
    // A bar of 100 lines with pages of 40: lines and pages stop at 61, where
    // the newest line is the page's last.
    const struct {
        const char* name;
        int code, pos, max, page, track;
        int target;
    } cases[] = {
        {"line up", SB_LINEUP, 5, 100, 40, 0, 4},
        {"line up at the top", SB_LINEUP, 0, 100, 40, 0, 0},
        {"line down", SB_LINEDOWN, 5, 100, 40, 0, 6},
        {"line down on the last page", SB_LINEDOWN, 61, 100, 40, 0, 61},
        {"line down, fewer lines than a page", SB_LINEDOWN, 0, 3, 40, 0, 0},
        {"page up", SB_PAGEUP, 50, 100, 40, 0, 10},
        {"page up less than a page from the top", SB_PAGEUP, 10, 100, 40, 0, 0},
        {"page down", SB_PAGEDOWN, 10, 100, 40, 0, 50},
        {"page down to the last page", SB_PAGEDOWN, 50, 100, 40, 0, 61},
        {"page down, fewer lines than a page", SB_PAGEDOWN, 0, 0, 40, 0, 0},
        {"thumb dragged beyond 16 bits", SB_THUMBTRACK, 5, 70000, 40, 69000, 69000},
        {"thumb released", SB_THUMBPOSITION, 5, 100, 40, 42, 42},
        {"top", SB_TOP, 50, 100, 40, 0, 0},
        {"bottom", SB_BOTTOM, 5, 100, 40, 0, 60},
        {"bottom, fewer lines than a page", SB_BOTTOM, 0, 3, 40, 0, 0},
        {"end of scrolling", SB_ENDSCROLL, 17, 100, 40, 0, 17},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexScrollTarget(c.code, c.pos, c.max, c.page, c.track), c.target);
    }
}

TEST(HexScroll, WheelStepsAreWholeNotchesOfOneLine) {
    const struct {
        short delta;
        int pos;
        int target;
    } cases[] = {
        {120, 10, 9},   {240, 10, 8},  {-120, 10, 11}, {119, 10, 10}, {-119, 10, 10},
        {250, 10, 8},   {360, 1, 0},   {-240, 60, 61}, {-32768, 0, 61},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.delta);
        EXPECT_EQ(HexWheelTarget(c.delta, c.pos, 100, 40), c.target);
    }
}

TEST(HexScroll, BarsFollowTheNewestLineAndKeepTheirPlaceOnResize) {
    const struct {
        const char* name;
        HexScrollBar bar;
        HexScrollBar expected;
    } cases[] = {
        {"empty", HexNewestScrollBar(0, 40), {0, 40, 0}},
        {"less than a page", HexNewestScrollBar(39, 40), {39, 40, 0}},
        {"a page", HexNewestScrollBar(40, 40), {40, 40, 1}},
        {"a full ring of one-byte runs", HexNewestScrollBar(65536, 40), {65536, 40, 65497}},
        {"resized, the place kept", HexResizedScrollBar(100, 40, 30), {100, 40, 30}},
        {"resized, the place beyond the last page", HexResizedScrollBar(100, 60, 50), {100, 60, 41}},
        {"resized taller than the lines", HexResizedScrollBar(100, 200, 30), {100, 200, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.bar.max, c.expected.max);
        EXPECT_EQ(c.bar.page, c.expected.page);
        EXPECT_EQ(c.bar.pos, c.expected.pos);
    }
    EXPECT_EQ(HexLinesPerPage(0), 1);
    EXPECT_EQ(HexLinesPerPage(15), 1);
    EXPECT_EQ(HexLinesPerPage(16), 2);
    EXPECT_EQ(HexLinesPerPage(640), 41);
}
