#include "Gdi.h"

#include "ToolBarResource.h"
#include "Wnd.h"

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    if (!object)
        return FALSE;
    m_object.reset(object);
    return TRUE;
}

BOOL CGdiObject::DeleteObject()
{
    // The owner would drop the result that callers are told.
    return m_object ? ::DeleteObject(m_object.release()) : FALSE;
}

BOOL CFont::CreateFromStock(int stockFont)
{
    LOGFONTA font{};
    if (!::GetObjectA(GetStockObject(stockFont), sizeof font, &font))
        return FALSE;
    return CreateFontIndirect(font);
}

BOOL CBitmap::LoadBitmap(UINT id)
{
    return Attach(::LoadBitmapA(ResourceHandle(), MAKEINTRESOURCEA(id)));
}

BOOL CBitmap::LoadSysColorBitmap(UINT id)
{
    return Attach(::LoadSysColorBitmap(ResourceHandle(), id));
}
