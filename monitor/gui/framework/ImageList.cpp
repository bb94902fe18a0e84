#include "ImageList.h"

#include "Wnd.h"

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    return Attach(ImageList_Create(cx, cy, flags, initial, grow));
}

BOOL CImageList::Create(UINT bitmapId, int cx, int grow, COLORREF mask)
{
    const win32::UniqueGdiObject bitmap(LoadBitmapA(ResourceHandle(), MAKEINTRESOURCEA(bitmapId)));
    if (!bitmap)
        return FALSE;
    BITMAP info{};
    GetObjectA(bitmap.get(), sizeof info, &info);
    win32::UniqueImageList list(
        cx > 0 ? ImageList_Create(cx, info.bmHeight, ILC_MASK | ILC_COLOR24, info.bmWidth / cx, grow) : nullptr);
    if (list && ImageList_AddMasked(list.get(), static_cast<HBITMAP>(bitmap.get()), mask) < 0)
        list.reset();
    return Attach(list.release());
}

BOOL CImageList::Attach(HIMAGELIST list)
{
    if (!list)
        return FALSE;
    m_list.reset(list);
    return TRUE;
}

BOOL CImageList::DeleteImageList()
{
    // The owner would drop the result that callers are told.
    return m_list ? ImageList_Destroy(m_list.release()) : FALSE;
}
