// How the manager paints its owner-drawn items: a button column on the left
// (the command's toolbar image, or a check or radio mark as a sunken button),
// the text after it and the shortcut right-aligned.
#define OEMRESOURCE
#include "MenuDrawManager.h"

#include "Dc.h"
#include "Geometry.h"

BOOL CMenuDrawManager::OnDrawItem(DRAWITEMSTRUCT* item)
{
    MenuItemData* data = item && item->CtlType == ODT_MENU ? OwnItemData(item->itemData) : nullptr;
    if (!data)
        return FALSE;
    CDC dc;
    dc.Attach(item->hDC);
    CRect rect = item->rcItem;

    if (data->type & MFT_SEPARATOR) {
        CRect line = rect;
        line.top += rect.Height() / 2;
        dc.DrawEdge(line, EDGE_ETCHED, BF_TOP);
        dc.Detach();
        return TRUE;
    }

    const bool disabled = (item->itemState & ODS_GRAYED) != 0;
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    const bool checked = (item->itemState & ODS_CHECKED) != 0;
    const int top = rect.top + (rect.Height() - m_buttonSize.cy) / 2;
    CRect button(rect.left, top, rect.left + m_buttonSize.cx, top + m_buttonSize.cy);
    bool hasButton = false;

    if (data->image < 0) {
        MENUITEMINFOA marks{};
        marks.cbSize = sizeof marks;
        marks.fMask = MIIM_CHECKMARKS;
        GetMenuItemInfoA(reinterpret_cast<HMENU>(item->hwndItem), item->itemID, FALSE, &marks);
        if (checked || marks.hbmpUnchecked)
            hasButton = DrawCheckButton(dc, button, selected,
                                        checked ? marks.hbmpChecked : marks.hbmpUnchecked) != FALSE;
    } else {
        hasButton = true;
        POINT at{button.left + (m_buttonSize.cx - m_imageSize.cx) / 2,
                 button.top + (m_buttonSize.cy - m_imageSize.cy) / 2};
        if (disabled) {
            DrawEmbossed(dc, at, data->image);
        } else {
            dc.FillSolidRect(button, GetSysColor(checked && !selected ? COLOR_3DLIGHT : COLOR_MENU));
            if (selected || checked) {
                CRect edge = button;
                dc.DrawEdge(edge, checked ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
            }
            m_images.Draw(dc, data->image, at, ILD_TRANSPARENT);
        }
    }

    const COLORREF background = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU);
    if (selected || item->itemAction == ODA_SELECT) {
        CRect fill = rect;
        if (hasButton)
            fill.left += m_buttonSize.cx + 1;
        dc.FillSolidRect(fill, background);
    }

    CRect textRect = rect;
    textRect.left += m_buttonSize.cx + 3;
    textRect.right -= m_buttonSize.cx;
    HGDIOBJ oldFont = dc.SelectObject(ItemFont(*data));
    int oldMode = dc.SetBkMode(TRANSPARENT);
    const COLORREF textColour = GetSysColor(disabled   ? COLOR_GRAYTEXT
                                            : selected ? COLOR_HIGHLIGHTTEXT
                                                       : COLOR_MENUTEXT);
    if (disabled && (!selected || textColour == background)) {
        CRect highlight = textRect;
        OffsetRect(&highlight, 1, 1);
        DrawMenuText(dc, highlight, data->text, GetSysColor(COLOR_BTNHIGHLIGHT));
    }
    DrawMenuText(dc, textRect, data->text, textColour);
    dc.SetBkMode(oldMode);
    dc.SelectObject(oldFont);
    dc.Detach();
    return TRUE;
}

void CMenuDrawManager::DrawMenuText(CDC& dc, const RECT& rect, const std::string& text, COLORREF colour)
{
    size_t tab = text.find('\t');
    dc.SetTextColor(colour);
    CRect left = rect;
    dc.DrawText(text.substr(0, tab), left, DT_SINGLELINE | DT_LEFT | DT_VCENTER);
    if (tab != std::string::npos && tab > 0) {
        CRect right = rect;
        dc.DrawText(text.substr(tab + 1), right, DT_SINGLELINE | DT_RIGHT | DT_VCENTER);
    }
}

BOOL CMenuDrawManager::DrawCheckButton(CDC& dc, const RECT& rect, bool selected, HBITMAP bitmap)
{
    CBitmap systemMark;
    if (!bitmap) {
        systemMark.Attach(LoadBitmapA(nullptr, MAKEINTRESOURCEA(OBM_CHECK)));
        bitmap = systemMark;
    }
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info))
        return FALSE;
    const CRect area = rect;
    const int dx = (area.Width() - info.bmWidth) / 2;
    const int dy = (area.Height() - info.bmHeight) / 2;
    const bool narrower = info.bmWidth < area.Width();
    CRect target = area;
    POINT source{-dx, -dy};
    if (narrower) {
        target = CRect(area.left + dx, area.top + dy, area.left + dx + info.bmWidth,
                       area.top + dy + info.bmHeight);
        source = POINT{0, 0};
    }
    CDC memory;
    memory.CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = memory.SelectObject(bitmap);
    COLORREF oldBack = dc.SetBkColor(GetSysColor(selected ? COLOR_MENU : COLOR_3DLIGHT));
    // A monochrome mark takes the text colour, which the system sets to the
    // highlight text colour for a highlighted item: the mark would fade into the
    // button's menu colour.
    COLORREF oldText = dc.SetTextColor(GetSysColor(COLOR_MENUTEXT));
    BitBlt(dc, target.left, target.top, target.Width(), target.Height(), memory, source.x, source.y,
           SRCCOPY);
    dc.SetTextColor(oldText);
    dc.SetBkColor(oldBack);
    memory.SelectObject(oldBitmap);
    if (narrower)
        InflateRect(&target, 1, 1);
    dc.DrawEdge(target, BDR_SUNKENOUTER, BF_RECT);
    return TRUE;
}

void CMenuDrawManager::DrawEmbossed(CDC& dc, POINT at, int image)
{
    IMAGEINFO info{};
    if (!m_images.GetImageInfo(0, info))
        return;
    const int width = info.rcImage.right - info.rcImage.left;
    const int height = info.rcImage.bottom - info.rcImage.top;
    // The image's shape as a mask: white where it is transparent, dark where it draws.
    CDC memory;
    memory.CreateCompatibleDC(dc);
    CBitmap mask;
    mask.CreateBitmap(width, height, 1, 1, nullptr);
    HGDIOBJ oldBitmap = memory.SelectObject(mask);
    PatBlt(memory, 0, 0, width, height, WHITENESS);
    m_images.Draw(memory, image, POINT{0, 0}, ILD_TRANSPARENT);

    // Where the mask is white the target stays; where it is dark the brush paints:
    // a highlight one pixel down and right, the shadow on top of it.
    constexpr DWORD kPaintWhereDark = 0xB8074A;
    COLORREF oldBack = dc.SetBkColor(RGB(255, 255, 255));
    COLORREF oldText = dc.SetTextColor(RGB(0, 0, 0));
    CBrush highlight, shadow;
    highlight.CreateSolidBrush(GetSysColor(COLOR_3DHILIGHT));
    shadow.CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ oldBrush = dc.SelectObject(highlight.GetSafeHandle());
    BitBlt(dc, at.x + 1, at.y + 1, width, height, memory, 0, 0, kPaintWhereDark);
    dc.SelectObject(shadow.GetSafeHandle());
    BitBlt(dc, at.x, at.y, width, height, memory, 0, 0, kPaintWhereDark);
    dc.SelectObject(oldBrush);
    dc.SetTextColor(oldText);
    dc.SetBkColor(oldBack);
    memory.SelectObject(oldBitmap);
}
