#pragma once
// An image list with its owner.
#include <windows.h>
#include <commctrl.h>

class CImageList {
public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    HIMAGELIST m_hImageList = nullptr;
    operator HIMAGELIST() const { return m_hImageList; }

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // The bitmap resource's images, cx wide each, masked by the colour.
    BOOL Create(UINT bitmapId, int cx, int grow, COLORREF mask);
    BOOL Attach(HIMAGELIST list);
    HIMAGELIST Detach();
    BOOL DeleteImageList();

    int Add(HBITMAP bitmap, COLORREF mask) { return ImageList_AddMasked(m_hImageList, bitmap, mask); }
    int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
    BOOL GetImageInfo(int index, IMAGEINFO& info) const
    {
        return ImageList_GetImageInfo(m_hImageList, index, &info);
    }
    BOOL Draw(HDC dc, int index, POINT at, UINT style) const
    {
        return ImageList_Draw(m_hImageList, index, dc, at.x, at.y, style);
    }
};
