#include "CharFormatConversion.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

LOGFONTA Font(LONG height, LONG weight, BYTE italic, BYTE underline, BYTE strikeOut, const char* face)
{
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfItalic = italic;
    font.lfUnderline = underline;
    font.lfStrikeOut = strikeOut;
    font.lfCharSet = RUSSIAN_CHARSET;
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    font.lfWidth = 7;  // not part of a character format
    std::strcpy(font.lfFaceName, face);
    return font;
}

TEST(CharFormatConversion, FontToFormat)
{
    const struct {
        LOGFONTA font;
        int dpi;
        LONG yHeight;
        DWORD effects;
    } cases[] = {
        {Font(-11, 400, 0, 0, 0, "Tahoma"), 96, 160, 0},  // 8 points
        {Font(11, 400, 0, 0, 0, "Tahoma"), 96, 160, 0},   // cell height counts the same
        {Font(-16, 700, 0, 0, 0, "Arial"), 120, 200, CFE_BOLD},
        {Font(-13, 699, 1, 0, 0, "Arial"), 96, 200, CFE_ITALIC},  // 9.75 points: the nearest
        {Font(-12, 900, 0, 1, 1, "Arial"), 96, 180, CFE_BOLD | CFE_UNDERLINE | CFE_STRIKEOUT},
    };
    for (const auto& c : cases) {
        CHARFORMATA format;
        std::memset(&format, 0x5A, sizeof format);
        format.crTextColor = 0x00ABCDEF;
        LogFontToCharFormat(format, c.font, c.dpi);
        EXPECT_EQ(format.cbSize, 60u);
        EXPECT_EQ(format.dwMask, 0xE000000Fu);
        EXPECT_EQ(format.yHeight, c.yHeight) << c.font.lfHeight << " at " << c.dpi;
        EXPECT_EQ(format.dwEffects, c.effects) << c.font.lfWeight;
        EXPECT_EQ(format.crTextColor, 0x00ABCDEFu) << "the colour is kept";
        EXPECT_EQ(format.yOffset, 0);
        EXPECT_EQ(format.bCharSet, RUSSIAN_CHARSET);
        EXPECT_EQ(format.bPitchAndFamily, FIXED_PITCH | FF_MODERN);
        EXPECT_STREQ(format.szFaceName, c.font.lfFaceName);
    }
}

TEST(CharFormatConversion, FormatToFont)
{
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    format.yHeight = 160;
    format.bCharSet = GREEK_CHARSET;
    format.bPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    std::strcpy(format.szFaceName, "Verdana");
    const struct {
        DWORD effects;
        LONG weight;
        BYTE italic, underline, strikeOut;
    } cases[] = {
        {0, 400, 0, 0, 0},
        {CFE_BOLD, 700, 0, 0, 0},
        {CFE_ITALIC | CFE_STRIKEOUT, 400, 1, 0, 1},
        {CFE_BOLD | CFE_UNDERLINE, 700, 0, 1, 0},
    };
    for (const auto& c : cases) {
        format.dwEffects = c.effects;
        LOGFONTA font;
        std::memset(&font, 0x5A, sizeof font);
        CharFormatToLogFont(font, format, 96);
        EXPECT_EQ(font.lfHeight, -11);
        EXPECT_EQ(font.lfWidth, 0);
        EXPECT_EQ(font.lfWeight, c.weight);
        EXPECT_EQ(font.lfItalic, c.italic);
        EXPECT_EQ(font.lfUnderline, c.underline);
        EXPECT_EQ(font.lfStrikeOut, c.strikeOut);
        EXPECT_EQ(font.lfCharSet, GREEK_CHARSET);
        EXPECT_EQ(font.lfPitchAndFamily, VARIABLE_PITCH | FF_SWISS);
        EXPECT_STREQ(font.lfFaceName, "Verdana");
    }
    LOGFONTA font;
    CharFormatToLogFont(font, format, 120);
    EXPECT_EQ(font.lfHeight, -MulDiv(8, 120, 72));
}

TEST(CharFormatConversion, FaceNamesWithoutTerminatorAreCut)
{
    CHARFORMATA format = {};
    std::memset(format.szFaceName, 'F', sizeof format.szFaceName);
    LOGFONTA font;
    CharFormatToLogFont(font, format, 96);
    EXPECT_EQ(std::string(font.lfFaceName), std::string(LF_FACESIZE - 1, 'F'));

    std::memset(font.lfFaceName, 'G', sizeof font.lfFaceName);
    LogFontToCharFormat(format, font, 96);
    EXPECT_EQ(std::string(format.szFaceName), std::string(LF_FACESIZE - 1, 'G'));
}

TEST(CharFormatConversion, TheScreenResolutionIsUsable)
{
    EXPECT_GT(VerticalResolution(), 0);
    EXPECT_EQ(VerticalResolution(GetDesktopWindow()), VerticalResolution());
}

}  // namespace
