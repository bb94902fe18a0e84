// The painting steps, recorded on a screen of 8 x 16 cells: what each line
// shows in which colour, and that every cell is painted exactly once.
#include "HexLayout.h"
#include "HexPaint.h"
#include "HexTestBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace hexview_test;

namespace {

// Glyphs and erased cells of a client area whose size is a whole number of cells.
class Screen final : public HexPainter {
public:
    Screen(int columns, int rows) : columns_(columns), rows_(rows), cells_(columns * rows) {}

    void TextColour(uint32_t colour) override { colour_ = colour; }
    void Glyph(int x, int y, char glyph) override {
        EXPECT_EQ(x % kHexCharWidth, 0);
        EXPECT_EQ(y % kHexLineHeight, 0);
        if (Cell* cell = At(x / kHexCharWidth, y / kHexLineHeight))
            Paint(*cell, glyph, colour_, true);
    }
    void Erase(int left, int top, int right, int bottom) override {
        for (int y = top; y < bottom; y += kHexLineHeight)
            for (int x = left; x < right; x += kHexCharWidth)
                if (Cell* cell = At(x / kHexCharWidth, y / kHexLineHeight))
                    Paint(*cell, ' ', 0, false);
    }

    int width() const { return columns_ * kHexCharWidth; }
    int height() const { return rows_ * kHexLineHeight; }

    // Row `row` as text, trailing blanks cut.
    std::string Text(int row) const {
        std::string text;
        for (int c = 0; c < columns_; ++c)
            text += cells_[row * columns_ + c].glyph;
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }
    // The colours of the row's glyphs (blanks too), one letter each: r for RX, t for TX.
    std::string Colours(int row) const {
        std::string colours;
        for (int c = 0; c < columns_; ++c) {
            const Cell& cell = cells_[row * columns_ + c];
            if (cell.drawn)
                colours += cell.colour == kHexRxColour ? 'r' : cell.colour == kHexTxColour ? 't' : '?';
        }
        return colours;
    }
    // Cells painted other than once.
    int MisPainted() const {
        int count = 0;
        for (const Cell& cell : cells_)
            count += cell.paints != 1;
        return count;
    }

private:
    struct Cell {
        char glyph = '#';  // never painted
        uint32_t colour = 0;
        int paints = 0;
        bool drawn = false;  // a glyph, not an erased cell
    };
    Cell* At(int column, int row) {
        return column < columns_ && row < rows_ ? &cells_[row * columns_ + column] : nullptr;
    }
    static void Paint(Cell& cell, char glyph, uint32_t colour, bool drawn) {
        cell.glyph = glyph;
        cell.colour = colour;
        cell.drawn = drawn;
        ++cell.paints;
    }

    int columns_, rows_;
    std::vector<Cell> cells_;
    uint32_t colour_ = 0;
};

// 80 columns, `rows` rows, lines per page as the view counts them.
Screen PaintScreen(const HexDumpModel& model, int rows) {
    Screen screen(80, rows);
    HexPaintView(model, HexLinesPerPage(screen.height()), screen.width(), screen.height(), screen);
    return screen;
}

const std::string kHexOf0To15 = "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f";

}  // namespace

TEST(HexPaint, AnEmptyViewIsErasedWhole) {
    HexDumpModel model;
    Screen screen = PaintScreen(model, 4);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(screen.Text(row), "");
    EXPECT_EQ(screen.MisPainted(), 0);
}

TEST(HexPaint, RunsShowLabelsHexAndCharactersInTheirColours) {
    HexDumpModel model;
    Append(model, Tx, {0x41, 0x0D, 0x42});
    Append(model, Rx, Counting(17, 0x7E));
    Screen screen = PaintScreen(model, 5);
    EXPECT_EQ(screen.Text(0), "TX  41 0d 42" + std::string(42, ' ') + "A.B");
    EXPECT_EQ(screen.Text(1), "RX  7e 7f 80 81 82 83 84 85 86 87 88 89 8a 8b 8c 8d   ~...............");
    EXPECT_EQ(screen.Text(2), "    8e" + std::string(48, ' ') + ".");
    EXPECT_EQ(screen.Text(3), "");
    EXPECT_EQ(screen.Colours(0), std::string(2 + 6 + 3, 't'));
    EXPECT_EQ(screen.Colours(1), std::string(2 + 32 + 16, 'r'));
    EXPECT_EQ(screen.Colours(2), std::string(2 + 1, 'r'));
    EXPECT_EQ(screen.MisPainted(), 0);
}

TEST(HexPaint, TheTopLineIsLabelledAlsoWhenItContinuesARun) {
    HexDumpModel model;
    Append(model, Rx, Counting(48));
    Append(model, Tx, Counting(16, 0x30));
    ASSERT_TRUE(model.GoTo(2));
    Screen screen = PaintScreen(model, 3);
    EXPECT_EQ(screen.Text(0), "RX  20 21 22 23 24 25 26 27 28 29 2a 2b 2c 2d 2e 2f    !\"#$%&'()*+,-./");
    EXPECT_EQ(screen.Text(1), "TX  30 31 32 33 34 35 36 37 38 39 3a 3b 3c 3d 3e 3f   0123456789:;<=>?");
    EXPECT_EQ(screen.Text(2), "");
    EXPECT_EQ(screen.Colours(0), std::string(50, 'r'));
    EXPECT_EQ(screen.Colours(1), std::string(50, 't'));
    EXPECT_EQ(screen.MisPainted(), 0);
}

TEST(HexPaint, OnlyAPageOfLinesIsDrawnAndALastCutLineWithIt) {
    HexDumpModel model;
    Append(model, Rx, Counting(16 * 6));
    // 40 pixels: two whole lines and the top of a third.
    Screen screen(80, 3);
    HexPaintView(model, HexLinesPerPage(40), screen.width(), 40, screen);
    EXPECT_EQ(screen.Text(0), "RX  " + kHexOf0To15 + "   ................");
    EXPECT_EQ(screen.Text(1).substr(0, 8), "    10 1");
    EXPECT_EQ(screen.Text(2).substr(0, 8), "    20 2");
    EXPECT_EQ(screen.MisPainted(), 0);
}

TEST(HexPaint, ANarrowViewIsPaintedUpToItsEdge) {
    HexDumpModel model;
    Append(model, Tx, Counting(20));
    Screen screen(30, 3);  // the character column lies beyond the right edge
    HexPaintView(model, HexLinesPerPage(screen.height()), screen.width(), screen.height(), screen);
    EXPECT_EQ(screen.Text(0), "TX  00 01 02 03 04 05 06 07 08");
    EXPECT_EQ(screen.Text(1), "    10 11 12 13");
    EXPECT_EQ(screen.MisPainted(), 0);
}
