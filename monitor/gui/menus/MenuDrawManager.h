#pragma once
// Menus with the look of the frame's toolbar. The manager hooks its frame and,
// whenever a popup opens, turns the popup's items into owner-drawn items: each
// command that has a toolbar button shows the button's image left of its text,
// check and radio marks are drawn as small sunken buttons, disabled images are
// embossed, and the shortcut keys from the frame's accelerator table stand
// right-aligned after the text. When the menu closes every converted popup gets
// its plain text items back, so nobody else ever sees the owner-drawn ones.
//
// The manager recognises its own items by their item data: a block it made and
// still holds. Items with any other item data (another owner-drawn menu's) are
// never touched.
#include <windows.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "AcceleratorKeys.h"
#include "Collections.h"
#include "Gdi.h"
#include "ImageList.h"
#include "WindowHook.h"

class CDC;
class CFrameWnd;

// What a converted item points to in its item data.
struct MenuItemData {
    static constexpr uint32_t kMagic = 0x3064696D;  // "mid0"
    uint32_t magic = kMagic;
    std::string text;  // the item's text, with the shortcut after a tab
    UINT type = 0;     // the item's type bits, owner-draw included
    int image = -1;    // index into the manager's images, -1 for none
    bool isDefault = false;  // the menu's default item, shown in bold
};

class CMenuDrawManager : public CWindowHook {
public:
    RUNTIME_CLASS_DECLARE(CMenuDrawManager)
public:
    CMenuDrawManager();
    ~CMenuDrawManager() override;

    // Hooks the frame's window (null unhooks).
    void MenuDrawInstall(CFrameWnd* frame);
    // Adds a toolbar's images for its commands. FALSE when its bitmap or toolbar
    // resource is missing, or when its image size differs from the first toolbar's.
    BOOL MenuDrawLoadToolbar(UINT toolbarId);

    // Drops the images, the sizes, the toolbar list, the menu font and the keys.
    virtual void Destroy();
    // Loads the same toolbars again (system colours or settings changed).
    virtual void Refresh();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The manager's own block behind an item-data word, or null.
    MenuItemData* OwnItemData(ULONG_PTR itemData) const;
    // The image of a command, -1 for none.
    int ImageOf(UINT command) const;
    SIZE ImageSize() const { return m_imageSize; }
    SIZE ButtonSize() const { return m_buttonSize; }
    // How many item-data blocks are alive (all of them belong to open popups).
    size_t ItemDataCount() const { return m_itemData.size(); }

    BOOL m_bConvert = TRUE;   // popups become owner-drawn when they open
    BOOL m_bAutoAccel = TRUE;  // shortcut texts come from the frame's accelerator table

protected:
    virtual void OnInitMenuPopup(HMENU menu, UINT position, BOOL systemMenu);
    virtual BOOL OnMeasureItem(MEASUREITEMSTRUCT* item);
    virtual BOOL OnDrawItem(DRAWITEMSTRUCT* item);
    virtual LRESULT OnMenuChar(UINT character, UINT flags, HMENU menu);
    virtual void OnMenuSelect(UINT item, UINT flags, HMENU menu);

private:
    void ConvertMenu(HMENU menu, BOOL systemMenu, BOOL toOwnerDraw);
    MenuItemData* NewItemData(UINT type, int image);
    void FreeItemData(MenuItemData* data);
    HFONT MenuFont();
    HFONT DefaultItemFont();
    HFONT ItemFont(const MenuItemData& data) { return data.isDefault ? DefaultItemFont() : MenuFont(); }

    // Drawing (MenuItemPainting.cpp).
    BOOL DrawCheckButton(CDC& dc, const RECT& rect, bool selected, HBITMAP bitmap);
    void DrawEmbossed(CDC& dc, POINT at, int image);
    static void DrawMenuText(CDC& dc, const RECT& rect, const std::string& text, COLORREF colour);

    CFrameWnd* m_pFrame = nullptr;
    CUIntArray m_toolbarIds;
    CImageList m_images;
    std::map<WORD, int> m_imageMap;
    AcceleratorKeys m_keys;
    std::list<HMENU> m_convertedMenus;  // popups converted since the menu opened, newest first
    SIZE m_imageSize{0, 0};
    SIZE m_buttonSize{0, 0};  // the image size + 4 each way
    CFont m_menuFont;
    CFont m_defaultItemFont;  // the menu font in bold
    std::map<const MenuItemData*, std::unique_ptr<MenuItemData>> m_itemData;
};
