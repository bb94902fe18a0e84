// The hex-dump view's fixed-pitch cells of 8 x 16 pixels: the direction label
// in the first two, the hex column from x = 32 at 24 pixels a byte, the
// characters from x = 432.
#pragma once

constexpr int kHexCharWidth = 8;
constexpr int kHexLineHeight = 16;
constexpr int kHexLabelWidth = 16;
constexpr int kHexBytePitch = 24;
constexpr int kHexColumnX = 32;
constexpr int kHexCharColumnX = 16 * kHexBytePitch + kHexColumnX + kHexLabelWidth;

// The lines a client area of `clientHeight` pixels shows, the last one cut.
constexpr int HexLinesPerPage(int clientHeight) { return clientHeight / kHexLineHeight + 1; }
