#include "HexPaint.h"

#include "HexLayout.h"
#include "HexLines.h"

void HexPaintView(const HexDumpModel& model, int linesPerPage, int width, int height, HexPainter& painter) {
    HexLineReader reader = HexLineReader::Visible(model);
    HexLine line;
    bool labelPending = true;  // the first line shows its run's label whatever line of it it is
    int y = 0;
    for (int drawn = 0; drawn < linesPerPage && reader.Next(&line); ++drawn, y += kHexLineHeight) {
        if (drawn == 0 || line.firstOfRun) {
            painter.TextColour(line.direction == HexDirection::Rx ? kHexRxColour : kHexTxColour);
            labelPending = true;
        }
        const int bottom = y + kHexLineHeight;
        int x = kHexColumnX;
        int cx = kHexCharColumnX;
        for (uint32_t i = 0; i < line.count; ++i, x += kHexBytePitch, cx += kHexCharWidth) {
            const uint8_t byte = line.bytes[i];
            painter.Glyph(x, y, HexDigit(byte >> 4));
            painter.Glyph(x + kHexCharWidth, y, HexDigit(byte));
            painter.Erase(x + 2 * kHexCharWidth, y, x + kHexBytePitch, bottom);
            painter.Glyph(cx, y, HexDumpChar(byte));
        }
        painter.Erase(labelPending ? kHexLabelWidth : 0, y, kHexColumnX, bottom);
        if (labelPending) {
            const char* label = HexLabel(line.direction);
            painter.Glyph(0, y, label[0]);
            painter.Glyph(kHexCharWidth, y, label[1]);
            labelPending = false;
        }
        painter.Erase(x, y, kHexCharColumnX, bottom);
        painter.Erase(cx, y, width, bottom);
    }
    painter.Erase(0, y, width, height);
}
