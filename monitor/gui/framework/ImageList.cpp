#include "ImageList.h"

#include "Wnd.h"

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    return Attach(ImageList_Create(cx, cy, flags, initial, grow));
}

BOOL CImageList::Create(UINT bitmapId, int cx, int grow, COLORREF mask)
{
    HBITMAP bitmap = LoadBitmapA(ResourceHandle(), MAKEINTRESOURCEA(bitmapId));
    if (!bitmap)
        return FALSE;
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    HIMAGELIST list = cx > 0 ? ImageList_Create(cx, info.bmHeight, ILC_MASK | ILC_COLOR24,
                                                info.bmWidth / cx, grow)
                             : nullptr;
    if (list && ImageList_AddMasked(list, bitmap, mask) < 0) {
        ImageList_Destroy(list);
        list = nullptr;
    }
    DeleteObject(bitmap);
    return Attach(list);
}

BOOL CImageList::Attach(HIMAGELIST list)
{
    if (!list)
        return FALSE;
    DeleteImageList();
    m_hImageList = list;
    return TRUE;
}

HIMAGELIST CImageList::Detach()
{
    HIMAGELIST list = m_hImageList;
    m_hImageList = nullptr;
    return list;
}

BOOL CImageList::DeleteImageList()
{
    if (!m_hImageList)
        return FALSE;
    BOOL done = ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
    return done;
}
