#pragma once
// Moving, sizing and repainting windows by handle.
#include <windows.h>

// Grows the window by (dx, dy); with a deferral handle the change joins that batch.
int ResizeWindowBy(HDWP batch, HWND window, int dx, int dy);
// Moves the window by (dx, dy) within its parent.
int MoveWindowBy(HDWP batch, HWND window, int dx, int dy);
// Has the parent erase its background into the child's device context.
int PaintParentBackground(HWND child, HDC dc);
// Repaints the window and every window inside it now.
void RedrawTree(HWND window, BOOL erase);
