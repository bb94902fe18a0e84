#pragma once
// The pixels a window shows in its client area, read back from the screen.
#include <windows.h>

#include <vector>

#include "Wnd.h"

struct ViewPixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> colours;  // rows top down

    COLORREF At(int x, int y) const { return colours[size_t(y) * width + x]; }
    // Pixels of `colour` in the whole area, or in `area` cut to the client.
    int CountOf(COLORREF colour) const { return CountOf(colour, RECT{0, 0, width, height}); }
    int CountOf(COLORREF colour, const RECT& area) const;
};

// What the window's client area shows now (paint it first).
ViewPixels CaptureClient(const CWnd& window);
// The same for the whole window, its frame and scroll bars with it.
ViewPixels CaptureWindow(const CWnd& window);
