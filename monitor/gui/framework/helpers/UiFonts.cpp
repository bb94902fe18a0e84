#include "UiFonts.h"

#include <cstring>

namespace {

// The metrics record as Windows XP knows it (without the padded border width).
constexpr UINT ClassicNonClientMetricsSize = 340;
static_assert(sizeof(NONCLIENTMETRICSA) >= ClassicNonClientMetricsSize);

}  // namespace

BOOL GetMenuFont(LOGFONTA& font)
{
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = ClassicNonClientMetricsSize;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, ClassicNonClientMetricsSize, &metrics, 0))
        return FALSE;
    font = metrics.lfMenuFont;
    return TRUE;
}

HFONT CreatePointFont(const char* face, int points)
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    LOGFONTA font{};
    font.lfHeight = -(points * dpi / 72);
    font.lfCharSet = DEFAULT_CHARSET;
    if (face) {
        std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
        font.lfFaceName[LF_FACESIZE - 1] = '\0';
    }
    return CreateFontIndirectA(&font);
}

LRESULT SetEditTabStops(HWND edit, int characters)
{
    int base = LOWORD(GetDialogBaseUnits());
    if (base == 0)
        return 0;
    HDC dc = GetDC(edit);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(edit, WM_GETFONT, 0, 0)));
    SIZE underscore{};
    GetTextExtentPoint32A(dc, "_", 1, &underscore);
    SelectObject(dc, old);
    ReleaseDC(edit, dc);
    int stop = characters * 4 * underscore.cx / base;
    return SendMessageA(edit, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
}
