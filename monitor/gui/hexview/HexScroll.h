// Scrolling of the hex-dump view as plain arithmetic on line numbers; the
// view applies the results to its scroll bar and its model.
#pragma once

// Range and position of the vertical scroll bar; its minimum is always 0.
struct HexScrollBar {
    int max;
    int page;
    int pos;
};

// After an append: the last page, so the newest line is in view.
HexScrollBar HexNewestScrollBar(int totalLines, int linesPerPage);

// After a resize: `oldPos`, unless it lies beyond the new last page.
HexScrollBar HexResizedScrollBar(int totalLines, int linesPerPage, int oldPos);

// The position that scroll request `code` (an SB_ code of WM_VSCROLL) moves a
// bar at {pos, max, page} to; the thumb codes take `trackPos`, the bar's
// 32-bit track position. Never negative.
int HexScrollTarget(int code, int pos, int max, int page, int trackPos);

// The position a wheel turn of `delta` (a signed 16-bit WHEEL_DELTA multiple)
// moves the bar to: one line up per whole 120 upwards, one down per 120
// downwards.
int HexWheelTarget(short delta, int pos, int max, int page);
