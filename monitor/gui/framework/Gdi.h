#pragma once
// GDI objects with their owner: the object deletes what it created or attached.
#include <windows.h>

#include "win32/Handles.h"

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() = default;

    HGDIOBJ GetSafeHandle() const { return m_object.get(); }
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach() { return m_object.release(); }
    BOOL DeleteObject();
    int GetObject(int size, void* buffer) const { return ::GetObjectA(GetSafeHandle(), size, buffer); }

private:
    win32::UniqueGdiObject m_object;
};

class CFont : public CGdiObject {
public:
    operator HFONT() const { return static_cast<HFONT>(GetSafeHandle()); }
    BOOL CreateFontIndirect(const LOGFONTA& font) { return Attach(::CreateFontIndirectA(&font)); }
    BOOL GetLogFont(LOGFONTA& font) const { return GetObject(sizeof font, &font) == sizeof font; }
    // A copy of a stock font (DEFAULT_GUI_FONT, SYSTEM_FIXED_FONT, ...).
    BOOL CreateFromStock(int stockFont);
};

class CBrush : public CGdiObject {
public:
    operator HBRUSH() const { return static_cast<HBRUSH>(GetSafeHandle()); }
    BOOL CreateSolidBrush(COLORREF colour) { return Attach(::CreateSolidBrush(colour)); }
};

class CPen : public CGdiObject {
public:
    operator HPEN() const { return static_cast<HPEN>(GetSafeHandle()); }
    BOOL CreatePen(int style, int width, COLORREF colour)
    {
        return Attach(::CreatePen(style, width, colour));
    }
};

class CBitmap : public CGdiObject {
public:
    operator HBITMAP() const { return static_cast<HBITMAP>(GetSafeHandle()); }
    BOOL LoadBitmap(UINT id);
    // With the button greys mapped to the system colours, as toolbar images are.
    BOOL LoadSysColorBitmap(UINT id);
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
    {
        return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
    }
    BOOL CreateCompatibleBitmap(HDC dc, int width, int height)
    {
        return Attach(::CreateCompatibleBitmap(dc, width, height));
    }
    BOOL GetBitmap(BITMAP& info) const { return GetObject(sizeof info, &info) != 0; }
};
