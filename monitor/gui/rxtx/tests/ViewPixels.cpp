#include "ViewPixels.h"

#include <algorithm>

int ViewPixels::CountOf(COLORREF colour, const RECT& area) const
{
    int count = 0;
    for (int y = std::max(0, int(area.top)); y < std::min(height, int(area.bottom)); ++y)
        for (int x = std::max(0, int(area.left)); x < std::min(width, int(area.right)); ++x)
            count += At(x, y) == colour;
    return count;
}

namespace {

ViewPixels Capture(HWND window, bool whole)
{
    ViewPixels pixels;
    CRect area;
    if (whole)
        GetWindowRect(window, &area);
    else
        GetClientRect(window, &area);
    pixels.width = area.Width();
    pixels.height = area.Height();
    HDC screen = whole ? GetWindowDC(window) : GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;  // top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* bgrx = static_cast<const unsigned char*>(bits);
    pixels.colours.resize(size_t(pixels.width) * pixels.height);
    for (size_t i = 0; i < pixels.colours.size(); ++i)
        pixels.colours[i] = RGB(bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return pixels;
}

}  // namespace

ViewPixels CaptureClient(const CWnd& window)
{
    return Capture(window.m_hWnd, false);
}

ViewPixels CaptureWindow(const CWnd& window)
{
    return Capture(window.m_hWnd, true);
}
