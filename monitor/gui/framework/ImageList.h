#pragma once
// An image list with its owner.
#include <windows.h>
#include <commctrl.h>

#include "win32/UniqueImageList.h"

class CImageList {
public:
    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    HIMAGELIST GetSafeHandle() const { return m_list.get(); }
    operator HIMAGELIST() const { return GetSafeHandle(); }

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // The bitmap resource's images, cx wide each, masked by the colour.
    BOOL Create(UINT bitmapId, int cx, int grow, COLORREF mask);
    BOOL Attach(HIMAGELIST list);
    HIMAGELIST Detach() { return m_list.release(); }
    BOOL DeleteImageList();

    int Add(HBITMAP bitmap, COLORREF mask) { return ImageList_AddMasked(GetSafeHandle(), bitmap, mask); }
    int GetImageCount() const { return ImageList_GetImageCount(GetSafeHandle()); }
    BOOL GetImageInfo(int index, IMAGEINFO& info) const
    {
        return ImageList_GetImageInfo(GetSafeHandle(), index, &info);
    }
    BOOL Draw(HDC dc, int index, POINT at, UINT style) const
    {
        return ImageList_Draw(GetSafeHandle(), index, dc, at.x, at.y, style);
    }

private:
    win32::UniqueImageList m_list;
};
