#include "WindowGeometry.h"

namespace {

void Apply(HDWP batch, HWND window, int x, int y, int cx, int cy, UINT flags)
{
    if (batch)
        DeferWindowPos(batch, window, nullptr, x, y, cx, cy, flags);
    else
        SetWindowPos(window, nullptr, x, y, cx, cy, flags);
}

UINT RedrawFlags(BOOL erase)
{
    return RDW_INVALIDATE | RDW_UPDATENOW | (erase ? RDW_ERASE : 0);
}

BOOL CALLBACK RedrawChild(HWND child, LPARAM erase)
{
    RedrawWindow(child, nullptr, nullptr, RedrawFlags(BOOL(erase)));
    return TRUE;
}

}  // namespace

int ResizeWindowBy(HDWP batch, HWND window, int dx, int dy)
{
    RECT r;
    GetWindowRect(window, &r);
    Apply(batch, window, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy, SWP_NOZORDER | SWP_NOMOVE);
    return 1;
}

int MoveWindowBy(HDWP batch, HWND window, int dx, int dy)
{
    RECT r;
    GetWindowRect(window, &r);
    POINT corner{r.left, r.top};
    if (HWND parent = GetParent(window))
        ScreenToClient(parent, &corner);
    Apply(batch, window, corner.x + dx, corner.y + dy, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    return 1;
}

int PaintParentBackground(HWND child, HDC dc)
{
    HWND parent = GetParent(child);
    POINT origin{0, 0};
    MapWindowPoints(child, parent, &origin, 1);
    POINT old;
    OffsetWindowOrgEx(dc, origin.x, origin.y, &old);
    SendMessageA(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SetWindowOrgEx(dc, old.x, old.y, nullptr);
    return 1;
}

void RedrawTree(HWND window, BOOL erase)
{
    RedrawWindow(window, nullptr, nullptr, RedrawFlags(erase));
    // The enumeration reaches the children's children as well.
    EnumChildWindows(window, RedrawChild, erase);
}
