// What the hex-dump view paints, as plain drawing steps: one glyph per text
// call in the fixed-pitch cells of HexLayout.h, and erasing only the gaps
// between glyphs, so that nothing is painted twice and nothing is left stale.
#pragma once

#include "HexDumpModel.h"

#include <cstdint>

// Text colours as 0x00BBGGRR (a COLORREF).
constexpr uint32_t kHexRxColour = 0x00008000;  // green
constexpr uint32_t kHexTxColour = 0x00800000;  // navy

// Where the steps go: the window's device context, or a test's record.
class HexPainter {
public:
    virtual void TextColour(uint32_t colour) = 0;
    // `glyph` with its top left corner at (x, y).
    virtual void Glyph(int x, int y, char glyph) = 0;
    // Fills [left, right) x [top, bottom) with the background; empty ones may come.
    virtual void Erase(int left, int top, int right, int bottom) = 0;

protected:
    ~HexPainter() = default;
};

// Paints the client area of `width` x `height` pixels, `linesPerPage` lines
// of the model from its top line: the first line and every run's first line
// carry the run's label, and everything below the last line is erased.
void HexPaintView(const HexDumpModel& model, int linesPerPage, int width, int height, HexPainter& painter);
