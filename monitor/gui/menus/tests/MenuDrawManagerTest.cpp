// The drawn menus on a frame with a manager installed: the menu messages are
// sent to the frame as the system sends them, and the items read back.
#include <windows.h>

#include <string>
#include <vector>

#include "CmdUI.h"
#include "FrameWnd.h"
#include "MenuDrawManager.h"
#include "MenuTestIds.h"
#include "UiTestSupport.h"

namespace {

class MenuTestFrame : public CFrameWnd {
public:
    CMenuDrawManager manager;

protected:
    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {
            OnWmCreate<&MenuTestFrame::OnCreate>(),
            OnCommand<ID_TEST_NEW, &MenuTestFrame::OnNothing>(),
            OnCommand<ID_TEST_OPEN, &MenuTestFrame::OnNothing>(),
            OnCommand<ID_EDIT_COPY, &MenuTestFrame::OnNothing>(),
            OnCommand<ID_TEST_LONG, &MenuTestFrame::OnNothing>(),
            OnUpdateCommand<ID_TEST_CHECKED, &MenuTestFrame::OnUpdateChecked>(),
            OnUpdateCommand<ID_TEST_RADIO, &MenuTestFrame::OnUpdateRadio>(),
        };  // ID_TEST_CLOSE has no handler: greyed
        static const MessageMap map = MakeMessageMap(CFrameWnd::GetMessageMap(), entries);
        return &map;
    }

private:
    int OnCreate(CREATESTRUCTA* cs)
    {
        if (CFrameWnd::OnCreate(cs) == -1)
            return -1;
        manager.MenuDrawInstall(this);
        manager.MenuDrawLoadToolbar(IDR_MENUTEST);
        return 0;
    }
    void OnNothing() {}
    void OnUpdateChecked(CCmdUI* ui) { ui->SetCheck(1); }
    void OnUpdateRadio(CCmdUI* ui) { ui->SetRadio(TRUE); }
};

struct Item {
    UINT type = 0;
    UINT state = 0;
    ULONG_PTR data = 0;
    std::string text;  // of a plain item
};

Item ReadItem(HMENU menu, int position)
{
    char text[512] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_DATA | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, UINT(position), TRUE, &info);
    Item item{info.fType, info.fState, info.dwItemData, {}};
    if (!(info.fType & MFT_OWNERDRAW))
        item.text = text;
    return item;
}

class MenuDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frame = new MenuTestFrame;
        ASSERT_TRUE(frame->LoadFrame(IDR_MENUTEST, WS_OVERLAPPEDWINDOW));
        frame->ShowWindow(SW_SHOW);
        file = GetSubMenu(frame->GetMenu(), 0);
        ASSERT_NE(file, nullptr);
    }
    void TearDown() override
    {
        if (frame)
            frame->DestroyWindow();  // the frame deletes itself
    }

    void Open(HMENU popup) { frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0); }
    void CloseMenu() { frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0); }

    MEASUREITEMSTRUCT Measure(HMENU popup, int position)
    {
        MEASUREITEMSTRUCT item{ODT_MENU, 0, 0, 0, 0, ReadItem(popup, position).data};
        EXPECT_EQ(frame->SendMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&item)), 1);
        return item;
    }

    MenuItemData* Data(HMENU popup, int position)
    {
        return frame->manager.OwnItemData(ReadItem(popup, position).data);
    }

    std::vector<std::string> HeldTexts(HMENU popup)
    {
        std::vector<std::string> texts;
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            MenuItemData* data = Data(popup, i);
            texts.push_back(data ? data->text : "<not ours>");
        }
        return texts;
    }

    std::vector<std::string> PlainTexts(HMENU popup)
    {
        std::vector<std::string> texts;
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            Item item = ReadItem(popup, i);
            texts.push_back(item.type & MFT_OWNERDRAW ? "<owner-drawn>" : item.text);
        }
        return texts;
    }

    MenuTestFrame* frame = nullptr;
    HMENU file = nullptr;
};

const std::vector<std::string> kFileTexts = {
    "&New\tF5, Ctrl+N", "&Open...", "&Copy\tCtrl+C", "&Close", "", "Chec&ked", "&Radio", "&More"};

TEST_F(MenuDrawTest, AnOpeningPopupIsOwnerDrawnWithItsImagesAndKeysAndClosingGivesThePlainItemsBack)
{
    Open(file);
    EXPECT_EQ(HeldTexts(file), kFileTexts);
    for (int i = 0; i < GetMenuItemCount(file); ++i)
        EXPECT_TRUE(ReadItem(file, i).type & MFT_OWNERDRAW) << i;
    EXPECT_EQ(Data(file, 0)->image, 0);
    EXPECT_EQ(Data(file, 1)->image, 1);
    EXPECT_EQ(Data(file, 2)->image, 2);
    EXPECT_EQ(Data(file, 3)->image, -1);
    EXPECT_TRUE(Data(file, 4)->type & MFT_SEPARATOR);
    // The frame's own update ran first.
    EXPECT_TRUE(ReadItem(file, 3).state & MFS_GRAYED);
    EXPECT_TRUE(ReadItem(file, 5).state & MFS_CHECKED);

    CloseMenu();
    EXPECT_EQ(PlainTexts(file), kFileTexts);
    for (int i = 0; i < GetMenuItemCount(file); ++i)
        EXPECT_EQ(ReadItem(file, i).data, 0u) << i;
    EXPECT_TRUE(ReadItem(file, 4).type & MFT_SEPARATOR);
    EXPECT_EQ(frame->manager.ItemDataCount(), 0u);
}

TEST_F(MenuDrawTest, APopupOpenedAgainInOneMenuKeepsItsTexts)
{
    HMENU more = GetSubMenu(file, 7);
    Open(file);
    Open(more);
    Open(file);
    Open(more);
    EXPECT_EQ(HeldTexts(file), kFileTexts);
    EXPECT_EQ(HeldTexts(more), std::vector<std::string>{"&Long\tAlt+Ctrl+Shift+L"});
    CloseMenu();
    EXPECT_EQ(PlainTexts(file), kFileTexts);
    EXPECT_EQ(PlainTexts(more), std::vector<std::string>{"&Long\tAlt+Ctrl+Shift+L"});
    EXPECT_EQ(frame->manager.ItemDataCount(), 0u);
}

TEST_F(MenuDrawTest, ATextLongerThanAnItemHoldsIsCutWhenItGoesBack)
{
    HMENU more = GetSubMenu(file, 7);
    const std::string longText = "&Long " + std::string(245, 'x');  // 250 characters
    ModifyMenuA(more, 0, MF_BYPOSITION | MF_STRING, ID_TEST_LONG, longText.c_str());
    Open(more);
    const std::string full = longText + "\tAlt+Ctrl+Shift+L";
    EXPECT_EQ(HeldTexts(more), std::vector<std::string>{full});
    CloseMenu();
    EXPECT_EQ(PlainTexts(more), std::vector<std::string>{full.substr(0, 255)});
}

TEST_F(MenuDrawTest, AnItemTextLongerThanTheReadBufferIsReadOnlyUpToIt)
{
    const std::string longText(300, 'y');
    ModifyMenuA(file, 3, MF_BYPOSITION | MF_STRING, ID_TEST_CLOSE, longText.c_str());
    Open(file);
    const std::string held = HeldTexts(file)[3];
    EXPECT_LE(held.size(), 256u);
    EXPECT_EQ(held, longText.substr(0, held.size()));
}

TEST_F(MenuDrawTest, SomebodyElsesOwnerDrawnItemsAreLeftAlone)
{
    AppendMenuA(file, MF_OWNERDRAW, 34001, reinterpret_cast<const char*>(5));  // item data 5
    AppendMenuA(file, MF_OWNERDRAW, 34002, nullptr);                         // item data 0
    const int foreign = GetMenuItemCount(file) - 2;
    Open(file);
    EXPECT_EQ(ReadItem(file, foreign).data, 5u);
    EXPECT_EQ(ReadItem(file, foreign + 1).data, 0u);
    EXPECT_TRUE(ReadItem(file, foreign + 1).type & MFT_OWNERDRAW);

    // Their measuring and drawing go on to the frame, which does nothing with them.
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, 34001, 0, 77, 5};
    EXPECT_EQ(frame->SendMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), 0);
    EXPECT_EQ(measure.itemWidth, 0u);
    EXPECT_EQ(measure.itemHeight, 77u);
    HDC screen = GetDC(nullptr);
    DRAWITEMSTRUCT draw{ODT_MENU, 0, 34001, ODA_DRAWENTIRE, 0, reinterpret_cast<HWND>(file), screen,
                        {0, 0, 100, 20}, 5};
    EXPECT_EQ(frame->SendMessage(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)), 0);
    ReleaseDC(nullptr, screen);

    CloseMenu();
    EXPECT_EQ(ReadItem(file, foreign).data, 5u);
    EXPECT_TRUE(ReadItem(file, foreign).type & MFT_OWNERDRAW);
    EXPECT_TRUE(ReadItem(file, foreign + 1).type & MFT_OWNERDRAW);
}

TEST_F(MenuDrawTest, ItemsMeasureTheirTextAndSeparatorsHalfAMenuLine)
{
    Open(file);
    MEASUREITEMSTRUCT separator = Measure(file, 4);
    EXPECT_EQ(separator.itemHeight, UINT(GetSystemMetrics(SM_CYMENU) / 2));
    EXPECT_EQ(separator.itemWidth, 0u);
    MEASUREITEMSTRUCT close = Measure(file, 3), copy = Measure(file, 2);
    EXPECT_GE(close.itemHeight, UINT(GetSystemMetrics(SM_CYMENU)));
    // Both button columns (the image's and the same on the right) are counted in.
    EXPECT_GT(close.itemWidth, UINT(2 * frame->manager.ButtonSize().cx));
    EXPECT_GT(copy.itemWidth, close.itemWidth);
}

TEST_F(MenuDrawTest, TheUnderlinedLetterRunsTheOnlyItemOrMovesTheHighlightAmongSeveral)
{
    Open(file);
    auto menuChar = [&](char c) {
        return frame->SendMessage(WM_MENUCHAR, MAKEWPARAM(c, MF_POPUP), reinterpret_cast<LPARAM>(file));
    };
    auto highlight = [&](int position) {
        for (int i = 0; i < GetMenuItemCount(file); ++i) {
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_STATE;
            GetMenuItemInfoA(file, UINT(i), TRUE, &info);
            info.fState = i == position ? (info.fState | MFS_HILITE) : (info.fState & ~UINT(MFS_HILITE));
            SetMenuItemInfoA(file, UINT(i), TRUE, &info);
        }
    };
    EXPECT_EQ(menuChar('n'), MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_EQ(menuChar('K'), MAKELRESULT(5, MNC_EXECUTE));
    EXPECT_EQ(menuChar('c'), MAKELRESULT(2, MNC_SELECT));  // Copy and Close
    highlight(2);
    EXPECT_EQ(menuChar('C'), MAKELRESULT(3, MNC_SELECT));
    highlight(3);
    EXPECT_EQ(menuChar('c'), MAKELRESULT(2, MNC_SELECT));
    EXPECT_EQ(menuChar('z'), 0);  // no such letter: the frame's answer
}

TEST_F(MenuDrawTest, ToolbarsOfTheFirstImageSizeAddTheirImagesOthersAreRefused)
{
    CMenuDrawManager& manager = frame->manager;
    EXPECT_EQ(manager.ImageSize().cx, 16);
    EXPECT_EQ(manager.ImageSize().cy, 15);
    EXPECT_EQ(manager.ButtonSize().cx, 20);
    EXPECT_EQ(manager.ButtonSize().cy, 19);
    EXPECT_FALSE(manager.MenuDrawLoadToolbar(IDR_TOOLBAR_TALL));
    EXPECT_FALSE(manager.MenuDrawLoadToolbar(IDR_TOOLBAR_NO_BITMAP));
    EXPECT_FALSE(manager.MenuDrawLoadToolbar(999));
    EXPECT_EQ(manager.ImageOf(ID_TEST_CLOSE), -1);

    ASSERT_TRUE(manager.MenuDrawLoadToolbar(IDR_TOOLBAR_MORE));
    EXPECT_EQ(manager.ImageOf(ID_EDIT_COPY), 2);  // its first image stays
    EXPECT_EQ(manager.ImageOf(ID_TEST_CLOSE), 4);
    EXPECT_EQ(manager.ImageOf(ID_TEST_LONG), 5);

    // A change of the system colours loads both toolbars again.
    frame->SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(manager.ImageOf(ID_TEST_NEW), 0);
    EXPECT_EQ(manager.ImageOf(ID_TEST_LONG), 5);
    EXPECT_EQ(manager.ImageSize().cy, 15);
}

// Draws one item into a bitmap, with the text colour the system sets for its
// state, and tells which colours came out.
class ItemPicture {
public:
    ItemPicture(MenuTestFrame& frame, HMENU menu, int position, UINT state)
    {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, kWidth, kHeight);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        RECT all{0, 0, kWidth, kHeight};
        FillRect(dc_, &all, GetSysColorBrush(COLOR_MENU));
        SetTextColor(dc_, GetSysColor(state & ODS_SELECTED ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
        Item item = ReadItem(menu, position);
        DRAWITEMSTRUCT draw{ODT_MENU, 0, GetMenuItemID(menu, position), ODA_DRAWENTIRE, state,
                            reinterpret_cast<HWND>(menu), dc_, all, item.data};
        drawn = frame.SendMessage(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
    }
    ~ItemPicture()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    bool Has(COLORREF colour, int width = kWidth) const { return Count(colour, width) > 0; }
    // Pixels of the colour in the item's left part of that width.
    int Count(COLORREF colour, int width = kWidth) const
    {
        int count = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < width; ++x)
                count += GetPixel(dc_, x, y) == colour;
        return count;
    }
    LRESULT drawn = 0;

private:
    static constexpr int kWidth = 160, kHeight = 22;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

TEST_F(MenuDrawTest, ItemsAreDrawnWithTheirImageEmbossedWhenDisabledAndWithMarksWhenChecked)
{
    Open(file);
    const COLORREF imageBlue = RGB(0, 0, 0xc0);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    {
        ItemPicture normal(*frame, file, 0, 0);
        EXPECT_EQ(normal.drawn, 1);
        EXPECT_TRUE(normal.Has(imageBlue));
        EXPECT_FALSE(normal.Has(highlight));
    }
    {
        ItemPicture selected(*frame, file, 0, ODS_SELECTED);
        EXPECT_TRUE(selected.Has(imageBlue));
        EXPECT_TRUE(selected.Has(highlight));
    }
    {
        ItemPicture disabled(*frame, file, 0, ODS_GRAYED);
        EXPECT_FALSE(disabled.Has(imageBlue));
        EXPECT_TRUE(disabled.Has(shadow));
    }
    {
        ItemPicture checked(*frame, file, 5, ODS_CHECKED);  // no image: a check button
        EXPECT_EQ(checked.drawn, 1);
        EXPECT_TRUE(checked.Has(shadow));
    }
    {
        // The mark stays dark on the button while the item is highlighted.
        const int buttonWidth = frame->manager.ButtonSize().cx;
        ItemPicture checked(*frame, file, 5, ODS_CHECKED | ODS_SELECTED);
        EXPECT_TRUE(checked.Has(GetSysColor(COLOR_MENUTEXT), buttonWidth));
        EXPECT_TRUE(checked.Has(highlight));
    }
    {
        ItemPicture radio(*frame, file, 6, ODS_CHECKED);
        EXPECT_TRUE(radio.Has(shadow));
    }
    {
        ItemPicture unchecked(*frame, file, 3, 0);  // no image, no mark: no button
        EXPECT_FALSE(unchecked.Has(shadow));
    }
    {
        ItemPicture separator(*frame, file, 4, 0);
        EXPECT_EQ(separator.drawn, 1);
        EXPECT_TRUE(separator.Has(shadow));
    }
}

TEST_F(MenuDrawTest, TheDefaultItemIsMeasuredAndDrawnInBold)
{
    // Ink is what is not the menu's face: a bold text, smoothed or not, covers more of it.
    const COLORREF face = GetSysColor(COLOR_MENU);
    Open(file);
    const UINT plainWidth = Measure(file, 3).itemWidth;
    const int plainFace = ItemPicture(*frame, file, 3, 0).Count(face);
    CloseMenu();

    SetMenuDefaultItem(file, 3, TRUE);
    Open(file);
    EXPECT_TRUE(Data(file, 3)->isDefault);
    EXPECT_FALSE(Data(file, 2)->isDefault);
    EXPECT_GT(Measure(file, 3).itemWidth, plainWidth);
    EXPECT_LT(ItemPicture(*frame, file, 3, 0).Count(face), plainFace);
}

TEST_F(MenuDrawTest, APopupStillConvertedWhenTheFrameGoesGetsItsPlainItemsBack)
{
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, ID_EDIT_COPY, "&Copy");
    AppendMenuA(popup, MF_STRING, ID_TEST_OPEN, "&Open");
    Open(popup);
    EXPECT_TRUE(ReadItem(popup, 0).type & MFT_OWNERDRAW);
    frame->DestroyWindow();
    frame = nullptr;
    EXPECT_EQ(PlainTexts(popup), (std::vector<std::string>{"&Copy\tCtrl+C", "&Open"}));
    EXPECT_EQ(ReadItem(popup, 0).data, 0u);
    DestroyMenu(popup);
}

// Once the File menu is open: the highlight goes down two items, then the menu closes.
void CALLBACK WorkTheOpenMenu(HWND window, UINT, UINT_PTR id, DWORD)
{
    static bool moved = false;
    if (!moved) {
        moved = true;
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
        SetTimer(window, id, ScreenshotHoldMs(), WorkTheOpenMenu);
        return;
    }
    KillTimer(window, id);
    EndMenu();
}

TEST_F(MenuDrawTest, DISABLED_Scene_OpenMenu)
{
    frame->MoveWindow(CRect(20, 20, 420, 300));
    SetForegroundWindow(frame->m_hWnd);
    PumpPending();
    SetTimer(frame->m_hWnd, 1, 300, WorkTheOpenMenu);
    frame->PostMessage(WM_SYSCOMMAND, SC_KEYMENU, 'f');  // Alt+F
    PumpPending();
    EXPECT_EQ(frame->manager.ItemDataCount(), 0u);
}

}  // namespace
