#include "Gdi.h"

#include "ToolBarResource.h"
#include "Wnd.h"

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    if (!object)
        return FALSE;
    DeleteObject();
    m_hObject = object;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    BOOL done = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return done;
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
