#include "MenuDrawManager.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstring>
#include <vector>

#include "CmdUI.h"
#include "Dc.h"
#include "FrameWnd.h"
#include "ToolBarResource.h"
#include "UiFonts.h"

RUNTIME_CLASS_IMPLEMENT(CMenuDrawManager, CWindowHook)

static_assert(sizeof(void*) == 4, "item data words hold pointers");

namespace {

// The most text an item takes back when the menu closes (the terminator follows).
constexpr size_t kMaxItemText = 255;

// The framework's radio mark, repainted as a small round dot that fits inside a
// sunken check button.
void RepaintRadioMark()
{
    HBITMAP mark = RadioMarkBitmap();
    BITMAP info{};
    if (!mark || !GetObjectA(mark, sizeof info, &info))
        return;
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    HGDIOBJ oldBitmap = dc.SelectObject(mark);
    PatBlt(dc, 0, 0, info.bmWidth, info.bmHeight, WHITENESS);
    HGDIOBJ oldPen = dc.SelectStockObject(BLACK_PEN);
    HGDIOBJ oldBrush = dc.SelectStockObject(BLACK_BRUSH);
    int dx = info.bmWidth / 2 - 2, dy = info.bmHeight / 2 - 2;
    dc.Ellipse(CRect(dx, dy, info.bmWidth - dx, info.bmHeight - dy));
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBitmap);
}

}  // namespace

CMenuDrawManager::CMenuDrawManager()
{
    RepaintRadioMark();
}

CMenuDrawManager::~CMenuDrawManager()
{
    Destroy();
    // Popups still converted (the menu never closed) get their plain items back
    // before the blocks their items point to go.
    while (!m_convertedMenus.empty()) {
        HMENU menu = m_convertedMenus.front();
        m_convertedMenus.pop_front();
        if (IsMenu(menu))
            ConvertMenu(menu, FALSE, FALSE);
    }
    m_itemData.clear();
    SubclassHook(nullptr);
}

void CMenuDrawManager::MenuDrawInstall(CFrameWnd* frame)
{
    m_pFrame = frame;
    SubclassHook(frame ? frame->m_hWnd : nullptr);
}

BOOL CMenuDrawManager::MenuDrawLoadToolbar(UINT toolbarId)
{
    CBitmap bitmap;
    if (!bitmap.Attach(LoadSysColorBitmap(ResourceHandle(), toolbarId)))
        return FALSE;
    ToolBarResource toolbar;
    if (!LoadToolBarResource(ResourceHandle(), toolbarId, toolbar))
        return FALSE;
    if (m_imageSize.cx || m_imageSize.cy) {
        if (toolbar.imageWidth != m_imageSize.cx || toolbar.imageHeight != m_imageSize.cy)
            return FALSE;
    } else {
        if (!m_images.Create(toolbar.imageWidth, toolbar.imageHeight, ILC_MASK | ILC_COLOR24, 0, 10))
            return FALSE;
        m_imageSize = SIZE{toolbar.imageWidth, toolbar.imageHeight};
        m_buttonSize = SIZE{toolbar.imageWidth + 4, toolbar.imageHeight + 4};
    }
    int next = m_images.GetImageCount();
    m_images.Add(bitmap, GetSysColor(COLOR_BTNFACE));
    // The bitmap holds one image per button: a command that another button has
    // already keeps its first image, and the images after it stay with their buttons.
    for (UINT id : toolbar.ids) {
        if (id == 0)
            continue;
        auto it = m_imageMap.find(WORD(id));
        if (it == m_imageMap.end() || it->second < 0)
            m_imageMap[WORD(id)] = next;
        ++next;
    }
    m_toolbarIds.push_back(toolbarId);
    return TRUE;
}

void CMenuDrawManager::Destroy()
{
    m_images.DeleteImageList();
    m_imageMap.clear();
    m_imageSize = SIZE{0, 0};
    m_buttonSize = SIZE{0, 0};
    m_toolbarIds.clear();
    m_menuFont.DeleteObject();
    m_defaultItemFont.DeleteObject();
    m_keys.Clear();
}

void CMenuDrawManager::Refresh()
{
    CUIntArray toolbars = m_toolbarIds;
    Destroy();
    for (UINT id : toolbars)
        MenuDrawLoadToolbar(id);
}

int CMenuDrawManager::ImageOf(UINT command) const
{
    auto it = m_imageMap.find(WORD(command));
    return it == m_imageMap.end() ? -1 : it->second;
}

MenuItemData* CMenuDrawManager::OwnItemData(ULONG_PTR itemData) const
{
    auto* data = reinterpret_cast<const MenuItemData*>(itemData);
    auto it = m_itemData.find(data);
    if (it == m_itemData.end())
        return nullptr;
    assert(it->second->magic == MenuItemData::kMagic);
    return it->second.get();
}

MenuItemData* CMenuDrawManager::NewItemData(UINT type, int image)
{
    auto data = std::make_unique<MenuItemData>();
    data->type = type;
    data->image = image;
    MenuItemData* raw = data.get();
    m_itemData.emplace(raw, std::move(data));
    return raw;
}

void CMenuDrawManager::FreeItemData(MenuItemData* data)
{
    m_itemData.erase(data);
}

HFONT CMenuDrawManager::MenuFont()
{
    if (!m_menuFont.GetSafeHandle()) {
        LOGFONTA font{};
        if (GetMenuFont(font))
            m_menuFont.CreateFontIndirect(font);
        else
            m_menuFont.CreateFromStock(DEFAULT_GUI_FONT);
    }
    return m_menuFont;
}

HFONT CMenuDrawManager::DefaultItemFont()
{
    if (!m_defaultItemFont.GetSafeHandle()) {
        LOGFONTA font{};
        GetObjectA(MenuFont(), sizeof font, &font);
        font.lfWeight = FW_BOLD;
        m_defaultItemFont.CreateFontIndirect(font);
    }
    return m_defaultItemFont;
}

LRESULT CMenuDrawManager::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOLORCHANGE:
    case WM_WININICHANGE:
        Refresh();
        break;
    case WM_DRAWITEM:
        if (OnDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)))
            return 1;
        break;
    case WM_MEASUREITEM:
        if (OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
            return 1;
        break;
    case WM_INITMENUPOPUP:
        // The frame sets its commands' states first.
        SubclassWindowProc(message, wParam, lParam);
        OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        break;
    case WM_MENUCHAR:
        if (LRESULT answer = OnMenuChar(LOBYTE(LOWORD(wParam)), HIWORD(wParam),
                                        reinterpret_cast<HMENU>(lParam)))
            return answer;
        break;
    default:
        break;
    }
    return SubclassWindowProc(message, wParam, lParam);
}

void CMenuDrawManager::OnInitMenuPopup(HMENU menu, UINT, BOOL systemMenu)
{
    if (m_bAutoAccel)
        m_keys.Load(m_pFrame ? m_pFrame->GetDefaultAccelerator() : nullptr);
    ConvertMenu(menu, systemMenu, m_bConvert);
}

void CMenuDrawManager::ConvertMenu(HMENU menu, BOOL systemMenu, BOOL toOwnerDraw)
{
    const bool withKeys = m_bAutoAccel && m_keys.IsLoaded();
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        char buffer[kMaxItemText + 1] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_TYPE | MIIM_DATA | MIIM_STATE;
        info.dwTypeData = buffer;
        info.cch = sizeof buffer;
        if (!GetMenuItemInfoA(menu, UINT(position), TRUE, &info))
            continue;
        // The system keeps no text for an owner-drawn item and may say so by
        // changing the text pointer.
        // A text of the buffer's size or more fills it without a terminator.
        std::string read =
            info.dwTypeData == buffer ? std::string(buffer, strnlen(buffer, sizeof buffer)) : std::string();
        MenuItemData* data = OwnItemData(info.dwItemData);
        const bool ownerDrawn = (info.fType & MFT_OWNERDRAW) != 0;
        if ((info.dwItemData || ownerDrawn) && !data)
            continue;  // somebody else's item
        if (systemMenu && info.wID >= 0xF000)
            continue;  // the system's own commands
        if (info.fType & MFT_BITMAP)
            continue;  // its text pointer is its picture

        UINT changed = 0;
        std::string text;
        if (toOwnerDraw) {
            if (!ownerDrawn) {
                info.fType |= MFT_OWNERDRAW;
                changed |= MIIM_TYPE;
            }
            if (!data) {
                data = NewItemData(info.fType, ImageOf(info.wID));
                info.dwItemData = reinterpret_cast<ULONG_PTR>(data);
                changed |= MIIM_DATA;
            }
            // An item that is ours already keeps its text: the system holds none for it.
            if (!ownerDrawn)
                data->text = read;
            data->isDefault = (info.fState & MFS_DEFAULT) != 0;
            if (std::find(m_convertedMenus.begin(), m_convertedMenus.end(), menu) ==
                m_convertedMenus.end())
                m_convertedMenus.push_front(menu);
            if (withKeys && !(info.fType & MFT_SEPARATOR))
                m_keys.AppendText(data->text, info.wID);
            // Where the system reads an owner-drawn item's value from the text pointer.
            info.dwTypeData = reinterpret_cast<LPSTR>(data);
        } else {
            if (ownerDrawn) {
                info.fType &= ~UINT(MFT_OWNERDRAW);
                changed |= MIIM_TYPE;
                text = data->text;
            } else {
                text = read;
            }
            if (data) {
                info.dwItemData = 0;
                changed |= MIIM_DATA;
                FreeItemData(data);
            }
            const bool stringItem = !(info.fType & MFT_SEPARATOR);
            if (withKeys && stringItem && m_keys.AppendText(text, info.wID))
                changed |= MIIM_TYPE;
            if (text.size() > kMaxItemText)
                text.resize(kMaxItemText);
            info.dwTypeData = text.data();
            info.cch = UINT(text.size());
        }
        if (changed) {
            info.fMask = changed;
            SetMenuItemInfoA(menu, UINT(position), TRUE, &info);
        }
    }
}

void CMenuDrawManager::OnMenuSelect(UINT, UINT flags, HMENU menu)
{
    if (flags != 0xFFFF || menu)
        return;
    // The menu closed.
    while (!m_convertedMenus.empty()) {
        HMENU converted = m_convertedMenus.front();
        m_convertedMenus.pop_front();
        ConvertMenu(converted, FALSE, FALSE);
    }
}

BOOL CMenuDrawManager::OnMeasureItem(MEASUREITEMSTRUCT* item)
{
    MenuItemData* data = item && item->CtlType == ODT_MENU ? OwnItemData(item->itemData) : nullptr;
    if (!data)
        return FALSE;
    const int menuHeight = GetSystemMetrics(SM_CYMENU);
    if (data->type & MFT_SEPARATOR) {
        item->itemHeight = UINT(menuHeight >> 1);
        item->itemWidth = 0;
        return TRUE;
    }
    CClientDC dc(nullptr);
    HGDIOBJ oldFont = dc.SelectObject(ItemFont(*data));
    CRect text;
    dc.DrawText(data->text, text, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    dc.SelectObject(oldFont);
    item->itemHeight = UINT(std::max<int>(text.Height(), menuHeight));
    // The system adds a check mark's width of its own.
    int width = text.Width() + 4 + 1 + 2 * m_buttonSize.cx - (GetSystemMetrics(SM_CXMENUCHECK) - 1);
    item->itemWidth = UINT(std::max(width, 0));
    return TRUE;
}

LRESULT CMenuDrawManager::OnMenuChar(UINT character, UINT, HMENU menu)
{
    std::vector<int> matches;
    int highlighted = -1;
    const int typed = std::toupper(int(character & 0xFF));
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_DATA;
        if (!GetMenuItemInfoA(menu, UINT(position), TRUE, &info))
            continue;
        if (info.fState & MFS_HILITE)
            highlighted = position;
        MenuItemData* data = (info.fType & MFT_OWNERDRAW) ? OwnItemData(info.dwItemData) : nullptr;
        if (!data)
            continue;
        size_t amp = data->text.find('&');
        if (amp == std::string::npos)
            continue;
        unsigned char mnemonic = amp + 1 < data->text.size() ? data->text[amp + 1] : 0;
        if (std::toupper(mnemonic) == typed)
            matches.push_back(position);
    }
    if (matches.empty())
        return 0;
    if (matches.size() == 1)
        return MAKELRESULT(matches.front(), MNC_EXECUTE);
    auto after = std::find_if(matches.begin(), matches.end(), [&](int p) { return p > highlighted; });
    return MAKELRESULT(after != matches.end() ? *after : matches.front(), MNC_SELECT);
}
