// Where a dragged bar goes, and the strip a docked bar takes: plain geometry.
#include <gtest/gtest.h>

#include "DockPlacement.h"

namespace {

const char* Name(DockSide side)
{
    switch (side) {
    case DockSide::Top: return "Top";
    case DockSide::Bottom: return "Bottom";
    case DockSide::Left: return "Left";
    case DockSide::Right: return "Right";
    case DockSide::Floating: return "Floating";
    }
    return "?";
}

TEST(DockPlacementTest, ADropDocksAtTheNearestAllowedEdgeWithinReachElseFloats)
{
    const CRect area(100, 100, 500, 400);
    constexpr int snap = 20;
    constexpr DWORD horizontalOnly = CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM;
    struct Case {
        POINT cursor;
        DWORD allowed;
        DockSide expected;
    } const cases[] = {
        {{300, 105}, CBRS_ALIGN_ANY, DockSide::Top},  // just inside the top edge
        {{300, 85}, CBRS_ALIGN_ANY, DockSide::Top},   // just outside it
        {{300, 398}, CBRS_ALIGN_ANY, DockSide::Bottom},
        {{300, 415}, CBRS_ALIGN_ANY, DockSide::Bottom},
        {{102, 250}, CBRS_ALIGN_ANY, DockSide::Left},
        {{85, 250}, CBRS_ALIGN_ANY, DockSide::Left},
        {{499, 250}, CBRS_ALIGN_ANY, DockSide::Right},
        {{300, 250}, CBRS_ALIGN_ANY, DockSide::Floating},  // the middle of the frame
        {{300, 79}, CBRS_ALIGN_ANY, DockSide::Floating},   // one pixel past reach
        {{300, 50}, CBRS_ALIGN_ANY, DockSide::Floating},   // well above
        {{521, 105}, CBRS_ALIGN_ANY, DockSide::Floating},  // beside the frame, level with the top
        {{110, 105}, CBRS_ALIGN_ANY, DockSide::Top},       // corner: the nearer edge
        {{105, 110}, CBRS_ALIGN_ANY, DockSide::Left},
        {{90, 90}, CBRS_ALIGN_ANY, DockSide::Top},         // equally near: top before left
        {{102, 250}, horizontalOnly, DockSide::Floating},  // the left edge is not allowed
        {{105, 110}, horizontalOnly, DockSide::Top},       // the nearest allowed edge
        {{300, 105}, 0, DockSide::Floating},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cursor " << c.cursor.x << "," << c.cursor.y << " allowed 0x" << std::hex
                                        << c.allowed);
        EXPECT_STREQ(Name(DockSideForDrop(c.cursor, area, c.allowed, snap)), Name(c.expected));
    }
}

TEST(DockPlacementTest, ADockedStripComesOffItsSideOfTheFreeArea)
{
    struct Case {
        DockSide side;
        int thickness;
        CRect strip, freeAfter;
    } const cases[] = {
        {DockSide::Top, 30, CRect(0, 0, 200, 30), CRect(0, 30, 200, 100)},
        {DockSide::Bottom, 30, CRect(0, 70, 200, 100), CRect(0, 0, 200, 70)},
        {DockSide::Left, 30, CRect(0, 0, 30, 100), CRect(30, 0, 200, 100)},
        {DockSide::Right, 30, CRect(170, 0, 200, 100), CRect(0, 0, 170, 100)},
        {DockSide::Top, 150, CRect(0, 0, 200, 100), CRect(0, 100, 200, 100)},  // never past the area
        {DockSide::Right, 250, CRect(0, 0, 200, 100), CRect(0, 0, 0, 100)},
        {DockSide::Floating, 30, CRect(), CRect(0, 0, 200, 100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << Name(c.side) << " " << c.thickness);
        RECT free = CRect(0, 0, 200, 100);
        EXPECT_EQ(TakeDockStrip(free, c.side, c.thickness), c.strip);
        EXPECT_EQ(CRect(free), c.freeAfter);
    }
}

}  // namespace
