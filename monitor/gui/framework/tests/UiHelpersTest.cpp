// The UI helper routines over plain window handles.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "AccelHook.h"
#include "ComboHelpers.h"
#include "DemoIds.h"
#include "DlgItems.h"
#include "ListViewHelpers.h"
#include "PopupMenuTable.h"
#include "UiFonts.h"
#include "WindowGeometry.h"

namespace {

class Parent {
public:
    Parent()
    {
        handle = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    }
    ~Parent() { DestroyWindow(handle); }
    HWND Child(const char* cls, DWORD style, int id = 1)
    {
        return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, 10, 10, 200, 150, handle,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleA(nullptr),
                               nullptr);
    }
    HWND handle;
};

// A top-level window of its own class with the given procedure.
HWND TestWindow(const char* className, WNDPROC procedure)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(0, className, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

std::string Text(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::vector<std::string> Items(HWND combo)
{
    std::vector<std::string> items;
    int count = int(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

using Strings = std::vector<std::string>;

TEST(ComboHistory, RecentTextsGoToTheTopOnce)
{
    struct Step {
        const char* add;
        Strings items;
    } steps[] = {
        {"A", {"A"}}, {"B", {"B", "A"}}, {"C", {"C", "B", "A"}},
        {"C", {"C", "B", "A"}},  // already first: no change
        {"A", {"A", "C", "B"}},  // third: moves to the top
        {"a", {"a", "A", "C", "B"}},  // a different text
    };
    Parent parent;
    HWND combo = parent.Child("COMBOBOX", CBS_DROPDOWN);
    for (const Step& s : steps) {
        EXPECT_TRUE(ComboAddRecent(combo, s.add));
        EXPECT_EQ(Items(combo), s.items) << "after " << s.add;
        EXPECT_EQ(Text(combo), s.add);
    }
    EXPECT_FALSE(ComboAddRecent(combo, nullptr));
}

TEST(ComboHistory, TheExtendedComboKeepsItsHistoryTheSameWay)
{
    Parent parent;
    HWND combo = parent.Child(WC_COMBOBOXEXA, CBS_DROPDOWN);
    for (const char* text : {"one", "two", "one"})
        EXPECT_TRUE(ComboExAddRecent(combo, text));
    EXPECT_EQ(Items(combo), (Strings{"one", "two"}));
}

class RegistryKey {
public:
    RegistryKey()
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QuelFrameworkTest\\ComboHistory", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
    }
    ~RegistryKey()
    {
        RegCloseKey(key);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QuelFrameworkTest\\ComboHistory");
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QuelFrameworkTest");
    }
    void Set(DWORD type, const std::string& bytes)
    {
        RegSetValueExA(key, "History", 0, type, reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()));
    }
    HKEY key = nullptr;
};

TEST(ComboHistory, SavingAndLoadingRoundTripsTheEditTextAndTheList)
{
    RegistryKey registry;
    Parent parent;
    HWND saved = parent.Child("COMBOBOX", CBS_DROPDOWN, 1);
    for (const char* text : {"B", "C"})
        SendMessageA(saved, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SetWindowTextA(saved, "A");
    EXPECT_EQ(ComboSaveToRegistry(saved, registry.key, "History", 10), 2);

    HWND loaded = parent.Child("COMBOBOX", CBS_DROPDOWN, 2);
    EXPECT_EQ(ComboLoadFromRegistry(parent.handle, 2, registry.key, "History"), 3);
    EXPECT_EQ(Text(loaded), "A");
    EXPECT_EQ(Items(loaded), (Strings{"B", "C"}));

    EXPECT_EQ(ComboSaveToRegistry(saved, registry.key, "History", 1), 1);
    EXPECT_EQ(ComboLoadFromRegistry(loaded, registry.key, "History"), 2);
    EXPECT_EQ(Items(loaded), Strings{"B"});
    EXPECT_EQ(ComboLoadFromRegistry(parent.handle, 99, registry.key, "History"), -1);
}

TEST(ComboHistory, StoredValuesAreReadOnlyWithinTheirOwnBytes)
{
    struct Case {
        const char* what;
        DWORD type;
        std::string bytes;
        int count;
        const char* edit;
        Strings items;
    } cases[] = {
        {"no terminators", REG_MULTI_SZ, std::string("A\0B\0C", 5), 3, "A", {"B", "C"}},
        {"odd byte count", REG_MULTI_SZ, std::string("AB\0CDE", 6), 2, "AB", {"CDE"}},
        {"one string without its NUL", REG_SZ, "ABC", 1, "ABC", {}},
        {"an empty string ends the list", REG_MULTI_SZ, std::string("A\0\0B\0\0", 6), 1, "A", {}},
        {"empty value", REG_MULTI_SZ, std::string(), 1, "", {}},
        {"another type", REG_BINARY, "AB", 0, "", {}},
    };
    RegistryKey registry;
    Parent parent;
    for (const Case& c : cases) {
        HWND combo = parent.Child("COMBOBOX", CBS_DROPDOWN);
        registry.Set(c.type, c.bytes);
        EXPECT_EQ(ComboLoadFromRegistry(combo, registry.key, "History"), c.count) << c.what;
        EXPECT_EQ(Text(combo), c.edit) << c.what;
        EXPECT_EQ(Items(combo), c.items) << c.what;
        DestroyWindow(combo);
    }
    HWND combo = parent.Child("COMBOBOX", CBS_DROPDOWN);
    EXPECT_EQ(ComboLoadFromRegistry(combo, registry.key, "Missing"), 0);
}

TEST(ComboHelpers, TablesFillAndSelectByTextOrData)
{
    static const ComboTableItem table[] = {{"red", 10}, {"green", 20}, {"blue", 30}, {nullptr, 0}};
    Parent parent;
    HWND combo = parent.Child("COMBOBOX", CBS_DROPDOWNLIST, 5);
    EXPECT_EQ(ComboFillItems(parent.handle, 5, table), 0);
    EXPECT_EQ(Items(combo), (Strings{"red", "green", "blue"}));
    EXPECT_EQ(ComboSelectData(combo, 30), 2);
    EXPECT_EQ(ComboSelectString(parent.handle, 5, "GREEN"), 1);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(ComboSelectData(combo, 99), -1);
    EXPECT_EQ(ComboSelectString(combo, "violet"), -1);
    EXPECT_EQ(ComboFillMultiString(combo, nullptr), 0);
    EXPECT_EQ(ComboSelectData(parent.handle, 6, 10), -1);
}

TEST(PopupMenuTable, ADashBetweenTwoEntriesMakesASeparator)
{
    static const MenuTableItem table[] = {
        {"&Open", 101, 0}, {"-", 0, 0}, {"&Close", 102, MFS_GRAYED}, {nullptr, 0, 0}};
    HMENU menu = BuildPopupMenu(table);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    struct Expect {
        UINT type, id, state;
        const char* text;
    } expected[] = {{MFT_STRING, 101, 0, "&Open"}, {MFT_SEPARATOR, 0, 0, ""}, {MFT_STRING, 102, MFS_GRAYED, "&Close"}};
    for (UINT i = 0; i < 3; ++i) {
        char text[32] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_TYPE | MIIM_ID | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &info));
        EXPECT_EQ(info.fType & MFT_SEPARATOR, expected[i].type & MFT_SEPARATOR) << i;
        EXPECT_EQ(info.wID, expected[i].id) << i;
        EXPECT_EQ(info.fState & MFS_GRAYED, expected[i].state) << i;
        EXPECT_STREQ(text, expected[i].text) << i;
    }
    DestroyMenu(menu);
}

int g_commands = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == 77)
        ++g_commands;
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(AccelHook, OneHookAtATimeAndOneCommandPerKeyPress)
{
    HWND window = TestWindow("AccelHookTest", CountingProc);
    ACCEL entry{FVIRTKEY, VK_F7, 77};
    HACCEL table = CreateAcceleratorTableA(&entry, 1);

    AccelHook first, second;
    EXPECT_TRUE(AccelHookInstall(&first, window, table));
    EXPECT_FALSE(AccelHookInstall(&second, window, table));
    EXPECT_FALSE(AccelHookInstall(&first, window, table));  // not even the active one again

    g_commands = 0;
    PostMessageA(window, WM_KEYDOWN, VK_F7, 1);
    MSG msg;
    for (int peek = 0; peek < 3; ++peek)
        ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(g_commands, 0);
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    DispatchMessageA(&msg);  // WM_NULL now: the hook ran the command
    EXPECT_EQ(g_commands, 1);
    EXPECT_EQ(msg.message, UINT(WM_NULL));

    AccelHookRemove(&first);
    EXPECT_EQ(first.hook, nullptr);
    EXPECT_TRUE(AccelHookInstall(&second, window, table));
    AccelHookRemove(&second);
    DestroyAcceleratorTable(table);
    DestroyWindow(window);
}

struct HoverLog {
    int calls = 0;
    int item = -2;
    LPARAM value = 0;
};
HoverLog g_hover;

LRESULT CALLBACK HoverNotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP + 5) {
        ++g_hover.calls;
        g_hover.item = reinterpret_cast<LVHITTESTINFO*>(wParam)->iItem;
        g_hover.value = lParam;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(ListViewHover, MovesOverItemsNotifyAndTheRecordGoesWithTheWindow)
{
    HWND notify = TestWindow("HoverNotifyTest", HoverNotifyProc);
    Parent parent;
    HWND list = parent.Child(WC_LISTVIEWA, LVS_LIST);
    for (const char* text : {"first", "second"}) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = 99;
        item.iImage = 4;
        item.pszText = const_cast<char*>(text);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    EXPECT_TRUE(HookListViewHover(list, notify, WM_APP + 5, 1234));
    EXPECT_FALSE(HookListViewHover(list, notify, WM_APP + 5, 1234));

    RECT first{LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    g_hover = {};
    SendMessageA(list, WM_MOUSEMOVE, 0, MAKELPARAM(first.left + 2, first.top + 2));
    EXPECT_EQ(g_hover.calls, 1);
    EXPECT_EQ(g_hover.item, 0);
    EXPECT_EQ(g_hover.value, 1234);
    SendMessageA(list, WM_MOUSEMOVE, 0, MAKELPARAM(190, 140));  // below the items
    EXPECT_EQ(g_hover.calls, 1);

    EXPECT_EQ(ListViewGetItemImage(list, 1), 4);
    EXPECT_EQ(ListViewSelectAll(list, TRUE), 2);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 2);
    ListViewSetItemSelected(list, 0, FALSE);
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);

    EXPECT_TRUE(DestroyWindow(list));  // the record is freed after its procedure was read
    DestroyWindow(notify);
}

TEST(UiFonts, APointFontKeepsAtMostThirtyOneCharactersOfItsFace)
{
    struct Case {
        std::string face;
        std::string kept;
    } cases[] = {{"Arial", "Arial"},
                 {std::string(31, 'x'), std::string(31, 'x')},
                 {std::string(40, 'y'), std::string(31, 'y')}};
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (const Case& c : cases) {
        HFONT font = CreatePointFont(c.face.c_str(), 10);
        ASSERT_NE(font, nullptr);
        LOGFONTA described{};
        GetObjectA(font, sizeof described, &described);
        EXPECT_EQ(std::string(described.lfFaceName), c.kept);
        EXPECT_EQ(described.lfHeight, -(10 * dpi / 72));
        DeleteObject(font);
    }
    LOGFONTA menu{};
    EXPECT_TRUE(GetMenuFont(menu));
    EXPECT_NE(menu.lfFaceName[0], '\0');
}

TEST(UiHelpers, DialogItemShortcutsReportMissingControls)
{
    Parent parent;
    HWND edit = parent.Child("EDIT", ES_MULTILINE, 7);
    EXPECT_TRUE(EnableDlgItem(parent.handle, 7, FALSE));
    EXPECT_FALSE(IsWindowEnabled(edit));
    EXPECT_FALSE(EnableDlgItem(parent.handle, 8, FALSE));
    EXPECT_TRUE(SendDlgItemCommand(parent.handle, 7, EN_CHANGE));
    EXPECT_FALSE(SendDlgItemCommand(parent.handle, 8, EN_CHANGE));
    ShowDlgItem(parent.handle, 7, SW_HIDE);
    EXPECT_FALSE(GetWindowLongA(edit, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(ShowDlgItem(parent.handle, 8, SW_SHOW), 0);
    EXPECT_NE(SetEditTabStops(edit, 8), 0);
}

TEST(UiHelpers, WindowsMoveAndGrowByDeltas)
{
    Parent parent;
    HWND child = parent.Child("STATIC", 0);
    ResizeWindowBy(nullptr, child, 20, -50);
    HDWP batch = BeginDeferWindowPos(1);
    MoveWindowBy(batch, child, 5, 7);
    EndDeferWindowPos(batch);
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent.handle, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 15);
    EXPECT_EQ(r.top, 17);
    EXPECT_EQ(r.right - r.left, 220);
    EXPECT_EQ(r.bottom - r.top, 100);
    RedrawTree(parent.handle, TRUE);
}

TEST(UiHelpers, ImageListsComeFromBitmapResources)
{
    HIMAGELIST list = LoadImageList(GetModuleHandleA(nullptr), IDB_STATES, 16, 16, RGB(255, 0, 255));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 4);
    ImageList_Destroy(list);
    EXPECT_EQ(LoadImageList(GetModuleHandleA(nullptr), 9999, 16, 16, 0), nullptr);
}

}  // namespace
