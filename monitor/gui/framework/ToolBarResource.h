#pragma once
// The toolbar resource (type 241): u16 version (1), u16 image width, u16 image
// height, u16 button count, then one u16 command id per button, 0 for a separator.
// The bitmap resource of the same id holds the images side by side.
#include <windows.h>

#include <vector>

struct ToolBarResource {
    int imageWidth = 0;
    int imageHeight = 0;
    std::vector<UINT> ids;  // 0 for a separator
};

// False when the resource is missing or malformed.
bool LoadToolBarResource(HINSTANCE instance, UINT id, ToolBarResource& out);

// The bitmap with the standard button greys, black and white mapped to the current
// system colours (as toolbar images are drawn). Null when missing; the caller owns it.
HBITMAP LoadSysColorBitmap(HINSTANCE instance, UINT id);
