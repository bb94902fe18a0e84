#include "ToolBarResource.h"

#include <commctrl.h>

#include "FrameworkIds.h"

bool LoadToolBarResource(HINSTANCE instance, UINT id, ToolBarResource& out)
{
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(RT_TOOLBAR));
    if (!found)
        return false;
    DWORD size = SizeofResource(instance, found);
    HGLOBAL loaded = LoadResource(instance, found);
    const auto* words = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!words || size < 8 || words[0] != 1)
        return false;
    DWORD count = words[3];
    if (size < 8 + 2 * count)
        return false;
    out.imageWidth = words[1];
    out.imageHeight = words[2];
    out.ids.assign(words + 4, words + 4 + count);
    return true;
}

HBITMAP LoadSysColorBitmap(HINSTANCE instance, UINT id)
{
    if (!FindResourceA(instance, MAKEINTRESOURCEA(id), RT_BITMAP))
        return nullptr;
    return CreateMappedBitmap(instance, INT_PTR(id), 0, nullptr, 0);
}
