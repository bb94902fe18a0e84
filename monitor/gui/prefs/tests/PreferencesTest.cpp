// The Preferences sheet run as the Preferences command runs it, worked through
// the modal driver, with the file, font, sound and message-box seams answering.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <cstring>
#include <string>
#include <vector>

#include "CommonDialogs.h"
#include "EventsPage.h"
#include "GeneralPage.h"
#include "PreferencesSheet.h"
#include "PrefsResourceIds.h"
#include "PropertySheet.h"
#include "UiTestSupport.h"

namespace {

CPropertySheet& SheetOf(CWnd& modal)
{
    auto* sheet = dynamic_cast<CPropertySheet*>(&modal);
    EXPECT_NE(sheet, nullptr);
    return *sheet;
}

void SetCheckAndClick(HWND page, int id, bool on)
{
    CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
    Click(page, id);
}

// Whether any pixel of the icon's picture has that colour (telling the coloured
// icons from their grey twins).
bool IconHasColour(HICON icon, COLORREF colour)
{
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return false;
    BITMAP bitmap{};
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmColor);
    bool found = false;
    for (int y = 0; y < bitmap.bmHeight && !found; ++y)
        for (int x = 0; x < bitmap.bmWidth && !found; ++x)
            found = GetPixel(dc, x, y) == colour;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return found;
}

HICON ButtonIcon(HWND page, int id)
{
    return reinterpret_cast<HICON>(SendDlgItemMessageA(page, id, BM_GETIMAGE, IMAGE_ICON, 0));
}

// The colours that only the enabled icons have.
constexpr COLORREF kFolderYellow = RGB(0xe0, 0xc0, 0x40);
constexpr COLORREF kPlayGreen = RGB(0x20, 0xb0, 0x20);

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadSettingsDefaults(settings);
        settings.LogFileName = "C:\\logs\\vsp.log";
        settings.Warning.Log = 0;
    }

    // The sheet as the Preferences command runs it, saving under the scratch key.
    INT_PTR Run() { return RunPreferencesSheet(settings, nullptr, scratch.Get()); }

    bool Saved() const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(scratch.Get(), kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    MonitorSettings Reloaded() const
    {
        MonitorSettings stored;
        LoadSettingsDefaults(stored);
        EXPECT_TRUE(LoadSettings(stored, scratch.Get()));
        return stored;
    }

    MonitorSettings settings;
    ScratchKey scratch;
};

TEST_F(PreferencesTest, TheGeneralPagesChecksEnableTheirControlsAndSwitchTheirIcons)
{
    // After each step: which of the dependent controls are enabled.
    const int dependents[] = {IDC_POPUP_WINDOW, IDC_BLINK_ICON, IDC_PLAY_SOUND, IDC_SOUND_FILE,
                              IDC_BROWSE_SOUND, IDC_PLAY_BUTTON, IDC_LOG_FILE, IDC_BROWSE_LOG};
    struct Step {
        int check;  // 0: the page as it opens
        bool on;
        bool enabled[8];
    } steps[] = {
        {0, false, {1, 1, 1, 1, 1, 1, 0, 0}},
        {IDC_NOTIFY_ERRORS, false, {0, 0, 0, 0, 0, 0, 0, 0}},
        {IDC_WRITE_LOG, true, {0, 0, 0, 0, 0, 0, 1, 1}},
        {IDC_NOTIFY_ERRORS, true, {1, 1, 1, 1, 1, 1, 1, 1}},
        {IDC_PLAY_SOUND, false, {1, 1, 1, 0, 0, 0, 1, 1}},
        {IDC_WRITE_LOG, false, {1, 1, 1, 0, 0, 0, 0, 0}},
        {IDC_PLAY_SOUND, true, {1, 1, 1, 1, 1, 1, 0, 0}},
    };
    ModalSteps driver([&](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        HWND page = sheet.GetActivePage()->m_hWnd;
        for (const Step& step : steps) {
            if (step.check)
                SetCheckAndClick(page, step.check, step.on);
            for (int i = 0; i < 8; ++i)
                EXPECT_EQ(IsWindowEnabled(GetDlgItem(page, dependents[i])) != FALSE, step.enabled[i])
                    << "control " << dependents[i] << " after " << step.check << (step.on ? " on" : " off");
            bool sound = step.enabled[4], log = step.enabled[7];
            EXPECT_EQ(IconHasColour(ButtonIcon(page, IDC_BROWSE_SOUND), kFolderYellow), sound);
            EXPECT_EQ(IconHasColour(ButtonIcon(page, IDC_PLAY_BUTTON), kPlayGreen), sound);
            EXPECT_EQ(IconHasColour(ButtonIcon(page, IDC_BROWSE_LOG), kFolderYellow), log);
        }
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(page, IDC_BROWSE_SOUND), GWL_STYLE) & BS_TOP);
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_CANCEL);
    });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(driver.runs, 1);
}

TEST_F(PreferencesTest, OkTakesTheGeneralFieldsBackAndSavesEverything)
{
    settings.PopupOrBlinkIcon = 0;
    settings.LogServerIp = 0x0A000102;  // 10.0.1.2
    settings.LogServerPort = 4321;
    ModalSteps driver([&](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        EXPECT_EQ(TextOf(sheet.m_hWnd), "Pelko Monitor Preferences");
        HWND page = sheet.GetActivePage()->m_hWnd;
        EXPECT_EQ(TextOf(GetDlgItem(page, IDC_PREFIX)), "%t - %p (%m): ");
        EXPECT_EQ(TextOf(GetDlgItem(page, IDC_LOG_FILE)), "C:\\logs\\vsp.log");
        EXPECT_EQ(IsDlgButtonChecked(page, IDC_POPUP_WINDOW), UINT(BST_CHECKED));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_LOG_SERVER_IP)));
        DWORD address = 0;
        EXPECT_EQ(SendDlgItemMessageA(page, IDC_LOG_SERVER_IP, IPM_GETADDRESS, 0,
                                      reinterpret_cast<LPARAM>(&address)), 4);
        EXPECT_EQ(address, 0x0A000102u);
        EXPECT_EQ(TextOf(GetDlgItem(page, IDC_LOG_SERVER_PORT)), "4321");

        SetDlgItemTextA(page, IDC_PREFIX, "%m: ");
        CheckRadioButton(page, IDC_POPUP_WINDOW, IDC_BLINK_ICON, IDC_BLINK_ICON);
        SetCheckAndClick(page, IDC_WRITE_LOG, true);
        SetDlgItemTextA(page, IDC_LOG_FILE, "D:\\events.log");
        SetCheckAndClick(page, IDC_AUTORUN, false);
        SendDlgItemMessageA(page, IDC_LOG_SERVER_IP, IPM_SETADDRESS, 0, 0xC0A80001);
        SetDlgItemTextA(page, IDC_LOG_SERVER_PORT, "-7");
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_OK);
    });
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(settings.MessagePrefix, "%m: ");
    EXPECT_EQ(settings.PopupOrBlinkIcon, 1u);
    EXPECT_EQ(settings.WriteLogFile, 1u);
    EXPECT_EQ(settings.LogFileName, "D:\\events.log");
    EXPECT_EQ(settings.Autorun, 0u);
    EXPECT_EQ(settings.LogServerIp, 0xC0A80001u);
    EXPECT_EQ(settings.LogServerPort, uint32_t(-7));

    MonitorSettings stored = Reloaded();
    EXPECT_EQ(stored.MessagePrefix, "%m: ");
    EXPECT_EQ(stored.LogFileName, "D:\\events.log");
    EXPECT_EQ(stored.LogServerIp, 0xC0A80001u);
    EXPECT_EQ(stored.Warning.Log, 0u);  // the live entries are saved too
}

TEST_F(PreferencesTest, AnIncompleteAddressOrAPortThatIsNoNumberKeepsTheSheetOnThePage)
{
    struct Case {
        bool clearAddress;
        const char* port;
        const char* message;
    } cases[] = {
        {true, "50001", "Please fill in all four parts of the address."},
        {false, "50x01", "Please enter a whole number."},
        {false, "", "Please enter a whole number."},
    };
    MessageBoxLog boxes;
    ModalSteps driver([&](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        HWND page = sheet.GetActivePage()->m_hWnd;
        for (const Case& c : cases) {
            boxes.texts.clear();
            SendDlgItemMessageA(page, IDC_LOG_SERVER_IP, IPM_SETADDRESS, 0, 0x7F000001);
            if (c.clearAddress)
                SendDlgItemMessageA(page, IDC_LOG_SERVER_IP, IPM_CLEARADDRESS, 0, 0);
            SetDlgItemTextA(page, IDC_LOG_SERVER_PORT, c.port);
            SetDlgItemTextA(page, IDC_PREFIX, "changed");
            PropSheet_PressButton(sheet.m_hWnd, PSBTN_OK);
            PumpPending();  // the press is posted
            EXPECT_TRUE(IsWindow(sheet.m_hWnd)) << c.port;
            EXPECT_EQ(sheet.GetActivePage(), sheet.GetPage(0)) << c.port;
            EXPECT_EQ(boxes.texts, std::vector<std::string>{c.message}) << c.port;
        }
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_CANCEL);
    });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(driver.runs, 1);
    EXPECT_EQ(settings.MessagePrefix, "%t - %p (%m): ");
    EXPECT_FALSE(Saved());
}

TEST_F(PreferencesTest, CancelDropsTheGeneralCopyButKeepsWhatTheEventsPageTook)
{
    ModalSteps driver([&](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        SetDlgItemTextA(sheet.GetActivePage()->m_hWnd, IDC_PREFIX, "dropped");
        sheet.SetActivePage(1);
        auto* events = dynamic_cast<CEventsPage*>(sheet.GetActivePage());
        ASSERT_NE(events, nullptr);
        HTREEITEM info = events->m_tree.GetRootItem();
        events->m_tree.SetItemState(info, INDEXTOSTATEIMAGEMASK(1), TVIS_STATEIMAGEMASK);
        sheet.SetActivePage(0);  // leaving the page takes its check boxes
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_CANCEL);
    });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(settings.MessagePrefix, "%t - %p (%m): ");
    EXPECT_EQ(settings.Info.Log, 0u);
    EXPECT_FALSE(Saved());
}

// Clicks into the tree as the mouse does: the cursor there, button down and up.
void ClickTree(HWND tree, POINT client)
{
    POINT screen = client;
    ClientToScreen(tree, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    PostMessageA(tree, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    PumpPending();
}

TEST_F(PreferencesTest, TheEventsTreeTogglesOnlyOnAClickOnTheCheckBox)
{
    ModalSteps driver([&](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        sheet.SetActivePage(1);
        auto* page = dynamic_cast<CEventsPage*>(sheet.GetActivePage());
        ASSERT_NE(page, nullptr);
        CTreeCtrl& tree = page->m_tree;
        ASSERT_EQ(tree.GetCount(), 3u);
        std::vector<HTREEITEM> items;
        for (HTREEITEM item = tree.GetRootItem(); item; item = tree.GetNextSiblingItem(item))
            items.push_back(item);
        EXPECT_EQ(tree.GetItemText(items[0]), "Informational Messages");
        EXPECT_EQ(tree.GetItemText(items[1]), "Warning Messages");
        EXPECT_EQ(tree.GetItemText(items[2]), "Error Messages");
        EXPECT_EQ(page->GetCheck(items[0]), 1);
        EXPECT_EQ(page->GetCheck(items[1]), 0);

        RECT text{};
        TreeView_GetItemRect(tree.m_hWnd, items[1], &text, TRUE);
        const POINT onBox{text.left - 8, (text.top + text.bottom) / 2};
        const POINT onText{(text.left + text.right) / 2, (text.top + text.bottom) / 2};
        UINT flags = 0;
        ASSERT_EQ(tree.HitTest(onBox, &flags), items[1]);
        ASSERT_TRUE(flags & TVHT_ONITEMSTATEICON);

        ClickTree(tree.m_hWnd, onBox);
        EXPECT_EQ(page->GetCheck(items[1]), 1);
        ClickTree(tree.m_hWnd, onText);
        EXPECT_EQ(page->GetCheck(items[1]), 1);
        EXPECT_EQ(tree.GetSelectedItem(), items[1]);
        ClickTree(tree.m_hWnd, onBox);
        EXPECT_EQ(page->GetCheck(items[1]), 0);
        ClickTree(tree.m_hWnd, onBox);
        EXPECT_EQ(page->GetCheck(items[1]), 1);
        // A mixed box goes to unchecked.
        tree.SetItemState(items[2], INDEXTOSTATEIMAGEMASK(3), TVIS_STATEIMAGEMASK);
        TreeView_GetItemRect(tree.m_hWnd, items[2], &text, TRUE);
        ClickTree(tree.m_hWnd, POINT{text.left - 8, (text.top + text.bottom) / 2});
        EXPECT_EQ(page->GetCheck(items[2]), 0);

        EXPECT_EQ(settings.Warning.Log, 0u);  // only taken when the data are exchanged
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_OK);
    });
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(settings.Info.Log, 1u);
    EXPECT_EQ(settings.Warning.Log, 1u);
    EXPECT_EQ(settings.Error.Log, 0u);
    EXPECT_EQ(Reloaded().Error.Log, 0u);
}

TEST_F(PreferencesTest, TheSampleShowsTheSelectedEntryAndChangeFontSetsItsFormatAtOnce)
{
    std::vector<LOGFONTA> offered;
    std::vector<COLORREF> offeredColours;
    INT_PTR answer = IDCANCEL;
    ScopedSeam<CommonDialogAnswer> fonts(SetCommonDialogAnswer, [&](CCommonDialog& dialog) -> INT_PTR {
        auto* font = dynamic_cast<CFontDialog*>(&dialog);
        EXPECT_NE(font, nullptr);
        if (!font)
            return IDCANCEL;
        EXPECT_EQ(font->m_cf.Flags & (CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT),
                  DWORD(CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT));
        offered.push_back(font->m_lf);
        offeredColours.push_back(font->m_cf.rgbColors);
        std::strcpy(font->m_lf.lfFaceName, "Courier New");
        font->m_lf.lfHeight = -16;  // 12 points at 96 dots per inch
        font->m_lf.lfItalic = 1;
        font->m_cf.rgbColors = RGB(0, 128, 0);
        return answer;
    });
    const std::string originalFace = settings.Error.CharFormat.szFaceName;
    ModalSteps driver([&](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        sheet.SetActivePage(1);
        auto* page = dynamic_cast<CEventsPage*>(sheet.GetActivePage());
        ASSERT_NE(page, nullptr);
        HWND sample = GetDlgItem(page->m_hWnd, IDC_SAMPLE);
        EXPECT_EQ(TextOf(sample), "AaBbCcXxYxZz");
        EXPECT_FALSE(IsWindowVisible(sample));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page->m_hWnd, IDC_CHANGE_FONT)));

        HTREEITEM error = page->m_tree.GetNextSiblingItem(
            page->m_tree.GetNextSiblingItem(page->m_tree.GetRootItem()));
        page->m_tree.SelectItem(error);
        EXPECT_TRUE(IsWindowVisible(sample));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page->m_hWnd, IDC_CHANGE_FONT)));
        LOGFONTA shown{};
        GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(sample, WM_GETFONT, 0, 0)), sizeof shown, &shown);
        EXPECT_EQ(shown.lfFaceName, originalFace);
        EXPECT_EQ(shown.lfWeight, FW_BOLD);

        HDC dc = GetDC(sample);
        SendMessageA(page->m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(sample));
        EXPECT_EQ(GetTextColor(dc), COLORREF(0x000080));

        Click(page->m_hWnd, IDC_CHANGE_FONT);  // cancelled: nothing changes
        EXPECT_EQ(settings.Error.CharFormat.szFaceName, originalFace);
        answer = IDOK;
        Click(page->m_hWnd, IDC_CHANGE_FONT);
        EXPECT_STREQ(settings.Error.CharFormat.szFaceName, "Courier New");
        EXPECT_EQ(settings.Error.CharFormat.crTextColor, RGB(0, 128, 0));
        GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(sample, WM_GETFONT, 0, 0)), sizeof shown, &shown);
        EXPECT_STREQ(shown.lfFaceName, "Courier New");
        EXPECT_TRUE(shown.lfItalic);
        SendMessageA(page->m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(sample));
        EXPECT_EQ(GetTextColor(dc), RGB(0, 128, 0));
        ReleaseDC(sample, dc);
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_CANCEL);
    });
    EXPECT_EQ(Run(), IDCANCEL);
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0].lfFaceName, originalFace);
    EXPECT_EQ(offered[0].lfWeight, FW_BOLD);
    EXPECT_EQ(offeredColours[0], COLORREF(0x000080));
    // Kept after Cancel: the log lines of that severity use the new font.
    EXPECT_STREQ(settings.Error.CharFormat.szFaceName, "Courier New");
    EXPECT_EQ(settings.Error.CharFormat.yHeight, 240);
    EXPECT_TRUE(settings.Error.CharFormat.dwEffects & CFE_ITALIC);
    EXPECT_FALSE(Saved());
}

TEST_F(PreferencesTest, PagesBrowsePlayAndShowTheirHelpTopics)
{
    std::vector<std::string> sounds;
    ScopedSeam<SoundAnswer> sound(SetSoundAnswer, [&](const std::string& file, UINT flags) {
        sounds.push_back(file + (flags & SND_ASYNC ? " async" : ""));
        return FALSE;  // cannot be played: nothing to tell
    });
    struct Browse {
        int button, edit;
        const char* ext;
        const char* firstFilter;
        const char* chosen;
    } browses[] = {
        {IDC_BROWSE_SOUND, IDC_SOUND_FILE, "wav", "WAV files (*.wav)", "C:\\sounds\\bell.wav"},
        {IDC_BROWSE_LOG, IDC_LOG_FILE, "log", "Log files (*.log)", "C:\\logs\\today.log"},
    };
    std::vector<std::string> initialNames;
    const Browse* current = nullptr;
    ScopedSeam<CommonDialogAnswer> files(SetCommonDialogAnswer, [&](CCommonDialog& dialog) -> INT_PTR {
        auto* file = dynamic_cast<CFileDialog*>(&dialog);
        EXPECT_NE(file, nullptr);
        if (!file || !current)
            return IDCANCEL;
        EXPECT_TRUE(file->m_bOpenFileDialog);
        EXPECT_TRUE(file->m_ofn.Flags & OFN_HIDEREADONLY);
        EXPECT_STREQ(file->m_ofn.lpstrDefExt, current->ext);
        EXPECT_STREQ(file->m_ofn.lpstrFilter, current->firstFilter);
        initialNames.push_back(file->GetPathName());
        file->SetPathName(current->chosen);
        return IDOK;
    });
    settings.WriteLogFile = 1;
    TestApp().helpTopics.clear();
    ModalSteps driver([&](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        HWND page = sheet.GetActivePage()->m_hWnd;
        for (const Browse& b : browses) {
            current = &b;
            Click(page, b.button);
            EXPECT_EQ(TextOf(GetDlgItem(page, b.edit)), b.chosen);
        }
        Click(page, IDC_PLAY_BUTTON);
        HELPINFO help{sizeof help, HELPINFO_WINDOW, IDC_PREFIX, GetDlgItem(page, IDC_PREFIX), 0, {}};
        SendMessageA(GetDlgItem(page, IDC_PREFIX), WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
        sheet.SetActivePage(1);
        HWND events = sheet.GetActivePage()->m_hWnd;
        SendMessageA(events, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_OK);
    });
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(initialNames, (std::vector<std::string>{"ding.wav", "C:\\logs\\vsp.log"}));
    EXPECT_EQ(sounds, std::vector<std::string>{"C:\\sounds\\bell.wav async"});
    EXPECT_EQ(TestApp().helpTopics,
              (std::vector<std::string>{"pm_preferences_general.htm", "pm_preferences_events.htm"}));
    EXPECT_EQ(settings.SoundFileName, "C:\\sounds\\bell.wav");
    EXPECT_EQ(settings.LogFileName, "C:\\logs\\today.log");
}

TEST_F(PreferencesTest, DISABLED_Scene_BothPages)
{
    ModalSteps driver([&](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        SetWindowPos(sheet.m_hWnd, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        HoldForScreenshot();
        sheet.SetActivePage(1);
        auto* events = dynamic_cast<CEventsPage*>(sheet.GetActivePage());
        events->m_tree.SelectItem(events->m_tree.GetNextSiblingItem(
            events->m_tree.GetNextSiblingItem(events->m_tree.GetRootItem())));
        HoldForScreenshot();
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_CANCEL);
    });
    Run();
}

}  // namespace
