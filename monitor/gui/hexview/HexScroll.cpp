#include "HexScroll.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The highest position a bar reaches by lines and pages: the newest line on
// the last line of the page.
int LastPagePosition(int max, int page) { return std::max(0, max - page + 1); }

}  // namespace

HexScrollBar HexNewestScrollBar(int totalLines, int linesPerPage) {
    return {totalLines, linesPerPage, LastPagePosition(totalLines, linesPerPage)};
}

HexScrollBar HexResizedScrollBar(int totalLines, int linesPerPage, int oldPos) {
    return {totalLines, linesPerPage,
            std::min(std::max(oldPos, 0), LastPagePosition(totalLines, linesPerPage))};
}

int HexScrollTarget(int code, int pos, int max, int page, int trackPos) {
    int target;
    switch (code) {
    case SB_LINEUP: target = pos - 1; break;
    case SB_LINEDOWN: target = std::min(pos + 1, LastPagePosition(max, page)); break;
    case SB_PAGEUP: target = pos - page; break;
    case SB_PAGEDOWN: target = std::min(pos + page, LastPagePosition(max, page)); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: target = trackPos; break;
    case SB_TOP: target = 0; break;
    case SB_BOTTOM: target = max - page; break;
    default: target = pos; break;
    }
    return std::max(target, 0);
}

int HexWheelTarget(short delta, int pos, int max, int page) {
    const int steps = delta / WHEEL_DELTA;
    const int code = steps > 0 ? SB_LINEUP : SB_LINEDOWN;
    for (int i = std::abs(steps); i > 0; --i)
        pos = HexScrollTarget(code, pos, max, page, 0);
    return pos;
}
