#include "DockPlacement.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

DWORD DockSideAlignment(DockSide side)
{
    switch (side) {
    case DockSide::Top: return CBRS_ALIGN_TOP;
    case DockSide::Bottom: return CBRS_ALIGN_BOTTOM;
    case DockSide::Left: return CBRS_ALIGN_LEFT;
    case DockSide::Right: return CBRS_ALIGN_RIGHT;
    case DockSide::Floating: break;
    }
    return 0;
}

bool IsVerticalSide(DockSide side) { return side == DockSide::Left || side == DockSide::Right; }

DockSide DockSideForDrop(POINT cursor, const RECT& area, DWORD allowedAlignments, int snap)
{
    bool alongX = cursor.x >= area.left - snap && cursor.x < area.right + snap;
    bool alongY = cursor.y >= area.top - snap && cursor.y < area.bottom + snap;
    struct Candidate {
        DockSide side;
        bool along;
        int distance;
    };
    const Candidate candidates[] = {
        {DockSide::Top, alongX, std::abs(cursor.y - int(area.top))},
        {DockSide::Bottom, alongX, std::abs(cursor.y - int(area.bottom))},
        {DockSide::Left, alongY, std::abs(cursor.x - int(area.left))},
        {DockSide::Right, alongY, std::abs(cursor.x - int(area.right))},
    };
    DockSide best = DockSide::Floating;
    int bestDistance = INT_MAX;
    for (const Candidate& c : candidates) {
        if (c.along && c.distance <= snap && c.distance < bestDistance &&
            (allowedAlignments & DockSideAlignment(c.side))) {
            best = c.side;
            bestDistance = c.distance;
        }
    }
    return best;
}

CRect TakeDockStrip(RECT& free, DockSide side, int thickness)
{
    CRect strip(free);
    switch (side) {
    case DockSide::Top: strip.bottom = free.top = std::min(free.top + thickness, free.bottom); break;
    case DockSide::Bottom: strip.top = free.bottom = std::max(free.bottom - thickness, free.top); break;
    case DockSide::Left: strip.right = free.left = std::min(free.left + thickness, free.right); break;
    case DockSide::Right: strip.left = free.right = std::max(free.right - thickness, free.left); break;
    case DockSide::Floating: return CRect();
    }
    return strip;
}
