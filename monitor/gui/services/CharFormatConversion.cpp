#include "CharFormatConversion.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kTwipsPerPoint = 20;
constexpr int kPointsPerInch = 72;

// Face names from outside may fill their array without a terminator.
template <size_t N, size_t M>
void CopyFaceName(char (&to)[N], const char (&from)[M])
{
    static_assert(N == M, "both records hold LF_FACESIZE characters");
    const size_t length = strnlen(from, N - 1);
    std::memcpy(to, from, length);
    std::memset(to + length, 0, N - length);
}

}  // namespace

int VerticalResolution(HWND window)
{
    HDC dc = GetDC(window);
    if (!dc)
        return 96;
    const int resolution = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return resolution > 0 ? resolution : 96;
}

void LogFontToCharFormat(CHARFORMATA& format, const LOGFONTA& font, int pixelsPerInch)
{
    const COLORREF colour = format.crTextColor;
    format = CHARFORMATA{};
    format.cbSize = sizeof(CHARFORMATA);
    format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE |
                    CFM_STRIKEOUT;
    format.yHeight = MulDiv(std::abs(font.lfHeight), kPointsPerInch, pixelsPerInch) * kTwipsPerPoint;
    if (font.lfWeight >= FW_BOLD)
        format.dwEffects |= CFE_BOLD;
    if (font.lfItalic)
        format.dwEffects |= CFE_ITALIC;
    if (font.lfUnderline)
        format.dwEffects |= CFE_UNDERLINE;
    if (font.lfStrikeOut)
        format.dwEffects |= CFE_STRIKEOUT;
    format.bCharSet = font.lfCharSet;
    format.bPitchAndFamily = font.lfPitchAndFamily;
    CopyFaceName(format.szFaceName, font.lfFaceName);
    format.crTextColor = colour;
}

void CharFormatToLogFont(LOGFONTA& font, const CHARFORMATA& format, int pixelsPerInch)
{
    font = LOGFONTA{};
    font.lfHeight = -MulDiv(format.yHeight / kTwipsPerPoint, pixelsPerInch, kPointsPerInch);
    font.lfWeight = (format.dwEffects & CFE_BOLD) ? FW_BOLD : FW_NORMAL;
    font.lfItalic = (format.dwEffects & CFE_ITALIC) ? TRUE : FALSE;
    font.lfUnderline = (format.dwEffects & CFE_UNDERLINE) ? TRUE : FALSE;
    font.lfStrikeOut = (format.dwEffects & CFE_STRIKEOUT) ? TRUE : FALSE;
    font.lfCharSet = format.bCharSet;
    font.lfPitchAndFamily = format.bPitchAndFamily;
    CopyFaceName(font.lfFaceName, format.szFaceName);
}
