// Modal dialogs and property sheets run by the demo's commands, answered by the
// modal driver, message box and common dialog seams.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <cstring>
#include <functional>

#include "CommonDialogs.h"
#include "DemoIds.h"
#include "Dialog.h"
#include "PropertySheet.h"
#include "SettingsPages.h"
#include "TestSupport.h"

namespace {

void Click(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Type(HWND dialog, int id, const char* text)
{
    SetDlgItemTextA(dialog, id, text);
}

// Drives every modal window that comes up with the given steps; counts the runs.
class Driver {
public:
    explicit Driver(std::function<void(CWnd&)> steps)
        : seam_(SetModalDriver, [this, steps](CWnd& modal) {
              ++runs;
              steps(modal);
          })
    {
    }
    int runs = 0;

private:
    ScopedSeam<ModalDriver> seam_;
};

using DialogTest = DemoAppTest;

TEST_F(DialogTest, TheDialogShowsTheOptionsAndOkTakesTheChangedOnes)
{
    Driver driver([](CWnd& modal) {
        HWND d = modal.m_hWnd;
        EXPECT_EQ(TextOf(GetDlgItem(d, IDC_NAME)), "Note");
        EXPECT_EQ(TextOf(GetDlgItem(d, IDC_COUNT)), "1");
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_LEFT), UINT(BST_CHECKED));
        EXPECT_EQ(SendDlgItemMessageA(d, IDC_COLOUR, CB_GETCOUNT, 0, 0), 4);
        EXPECT_EQ(SendDlgItemMessageA(d, IDC_COLOUR, CB_GETCURSEL, 0, 0), 0);
        Type(d, IDC_NAME, "Memo");
        Type(d, IDC_COUNT, " 3 ");
        CheckDlgButton(d, IDC_UPPER, BST_CHECKED);
        CheckRadioButton(d, IDC_LEFT, IDC_RIGHT, IDC_RIGHT);
        SendDlgItemMessageA(d, IDC_COLOUR, CB_SETCURSEL, 2, 0);
        Click(d, IDOK);
    });
    Command(ID_NOTE_OPTIONS);
    EXPECT_EQ(driver.runs, 1);
    EXPECT_EQ(app.m_note.name, "Memo");
    EXPECT_EQ(app.m_note.count, 3);
    EXPECT_EQ(app.m_note.upper, 1);
    EXPECT_EQ(app.m_note.side, 1);
    EXPECT_EQ(app.m_note.colour, 2);

    Command(ID_NOTE_ADD);
    EXPECT_EQ(PaneText(1), "3 notes");
}

TEST_F(DialogTest, AFailingExchangeKeepsTheDialogOpenWithTheFocusOnTheControl)
{
    struct Case {
        const char* count;
        const char* message;
    } cases[] = {
        {"abc", "Please enter a whole number."},
        {"", "Please enter a whole number."},
        {"12x", "Please enter a whole number."},
        {"99999999999", "Please enter a whole number."},
        {"0", "The count must lie between 1 and 99."},
        {"100", "The count must lie between 1 and 99."},
    };
    MessageBoxLog boxes;
    Driver driver([&](CWnd& modal) {
        HWND d = modal.m_hWnd;
        for (const Case& c : cases) {
            boxes.texts.clear();
            Type(d, IDC_NAME, "Changed");
            Type(d, IDC_COUNT, c.count);
            SetFocus(GetDlgItem(d, IDC_NAME));
            Click(d, IDOK);
            EXPECT_TRUE(IsWindowVisible(d)) << c.count;
            EXPECT_EQ(boxes.texts, std::vector<std::string>{c.message}) << c.count;
            EXPECT_EQ(GetFocus(), GetDlgItem(d, IDC_COUNT)) << c.count;
        }
        Click(d, IDCANCEL);
    });
    Command(ID_NOTE_OPTIONS);
    EXPECT_EQ(driver.runs, 1);
    EXPECT_EQ(app.m_note.name, "Note");  // Cancel keeps the options
    EXPECT_EQ(app.m_note.count, 1);
}

CPropertySheet& SheetOf(CWnd& modal)
{
    auto* sheet = dynamic_cast<CPropertySheet*>(&modal);
    EXPECT_NE(sheet, nullptr);
    return *sheet;
}

TEST_F(DialogTest, ThePropertySheetsOkCopiesEveryPagesValuesBack)
{
    Driver driver([](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        EXPECT_EQ(TextOf(sheet.m_hWnd), "Frame Demo Settings");
        HWND general = sheet.GetActivePage()->m_hWnd;
        EXPECT_EQ(TextOf(GetDlgItem(general, IDC_PREFIX)), "> ");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(general, IDC_FILE_PATH)));
        Type(general, IDC_PREFIX, "# ");
        CheckDlgButton(general, IDC_WRITE_FILE, BST_CHECKED);
        Click(general, IDC_WRITE_FILE);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(general, IDC_FILE_PATH)));
        Type(general, IDC_FILE_PATH, "today.txt");

        sheet.SetActivePage(1);
        EXPECT_EQ(sheet.GetActivePage(), sheet.GetPage(1));
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_OK);
    });
    Command(ID_SETTINGS);
    EXPECT_EQ(driver.runs, 1);
    EXPECT_EQ(app.m_settings.prefix, "# ");
    EXPECT_EQ(app.m_settings.writeFile, 1);
    EXPECT_EQ(app.m_settings.filePath, "today.txt");
}

TEST_F(DialogTest, CancellingTheSheetDropsThePagesValues)
{
    Driver driver([](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        Type(sheet.GetActivePage()->m_hWnd, IDC_PREFIX, "changed");
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_CANCEL);
    });
    Command(ID_SETTINGS);
    EXPECT_EQ(driver.runs, 1);
    EXPECT_EQ(app.m_settings.prefix, "> ");
}

TEST_F(DialogTest, PagesAnswerHelpAndUseTheFileFontAndSoundSeams)
{
    std::vector<std::string> sounds;
    ScopedSeam<SoundAnswer> sound(SetSoundAnswer, [&](const std::string& file, UINT flags) {
        sounds.push_back(file + (flags & SND_ASYNC ? " async" : ""));
        return TRUE;
    });
    int fileDialogs = 0, fontDialogs = 0, colourDialogs = 0;
    ScopedSeam<CommonDialogAnswer> dialogs(SetCommonDialogAnswer, [&](CCommonDialog& dialog) -> INT_PTR {
        if (auto* file = dynamic_cast<CFileDialog*>(&dialog)) {
            ++fileDialogs;
            EXPECT_TRUE(file->m_bOpenFileDialog);
            EXPECT_STREQ(file->m_ofn.lpstrDefExt, "txt");
            EXPECT_EQ(file->GetPathName(), "notes.txt");  // the edit's text comes first
            EXPECT_EQ(std::strcmp(file->m_ofn.lpstrFilter, "Text Files (*.txt)"), 0);
            file->SetPathName("C:\\notes\\today.txt");
            return IDOK;
        }
        if (auto* font = dynamic_cast<CFontDialog*>(&dialog)) {
            ++fontDialogs;
            EXPECT_TRUE(font->m_cf.Flags & CF_INITTOLOGFONTSTRUCT);
            EXPECT_EQ(font->m_cf.rgbColors, RGB(0, 0, 128));
            std::strcpy(font->m_lf.lfFaceName, "Arial");
            font->m_lf.lfWeight = FW_BOLD;
            font->m_cf.rgbColors = RGB(192, 0, 0);
            return IDOK;
        }
        if (auto* colour = dynamic_cast<CColorDialog*>(&dialog)) {
            ++colourDialogs;
            EXPECT_EQ(colour->m_cc.rgbResult, RGB(192, 0, 0));  // the font dialog's choice
            colour->m_cc.rgbResult = RGB(0, 128, 0);
            return IDOK;
        }
        return IDCANCEL;
    });
    Driver driver([&](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        HWND general = sheet.GetActivePage()->m_hWnd;
        HELPINFO help{sizeof help, HELPINFO_WINDOW, IDC_PREFIX, GetDlgItem(general, IDC_PREFIX), 0, {}};
        SendMessageA(GetDlgItem(general, IDC_PREFIX), WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
        EXPECT_EQ(GetDemoApp()->m_lastHelpTopic, "general.htm");
        CheckDlgButton(general, IDC_WRITE_FILE, BST_CHECKED);
        Click(general, IDC_WRITE_FILE);
        Click(general, IDC_BROWSE);
        EXPECT_EQ(TextOf(GetDlgItem(general, IDC_FILE_PATH)), "C:\\notes\\today.txt");
        Click(general, IDC_PLAY);

        sheet.SetActivePage(1);
        HWND display = sheet.GetActivePage()->m_hWnd;
        SendMessageA(display, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
        EXPECT_EQ(GetDemoApp()->m_lastHelpTopic, "display.htm");
        Click(display, IDC_FONT);
        Click(display, IDC_PICK_COLOUR);

        // The sample is drawn in the chosen colour over the page's usual brush.
        HWND sample = GetDlgItem(display, IDC_SAMPLE);
        HDC dc = GetDC(sample);
        LRESULT brush = SendMessageA(display, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(sample));
        EXPECT_NE(brush, 0);
        EXPECT_EQ(GetTextColor(dc), RGB(0, 128, 0));
        ReleaseDC(sample, dc);
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_OK);
    });
    Command(ID_SETTINGS);
    EXPECT_EQ(fileDialogs, 1);
    EXPECT_EQ(fontDialogs, 1);
    EXPECT_EQ(sounds, std::vector<std::string>{"ding.wav async"});
    EXPECT_EQ(app.m_settings.filePath, "C:\\notes\\today.txt");
    EXPECT_STREQ(app.m_settings.font.lfFaceName, "Arial");
    EXPECT_EQ(app.m_settings.font.lfWeight, FW_BOLD);
    EXPECT_EQ(colourDialogs, 1);
    EXPECT_EQ(app.m_settings.colour, RGB(0, 128, 0));
}

TEST_F(DialogTest, TheTreesStateImagesCarryTheEntriesChecks)
{
    Driver driver([](CWnd& modal) {
        CPropertySheet& sheet = SheetOf(modal);
        sheet.SetActivePage(1);
        auto* page = dynamic_cast<CDisplayPage*>(sheet.GetActivePage());
        ASSERT_NE(page, nullptr);
        auto states = reinterpret_cast<HIMAGELIST>(page->m_tree.SendMessage(TVM_GETIMAGELIST, TVSIL_STATE));
        ASSERT_NE(states, nullptr);
        EXPECT_EQ(ImageList_GetImageCount(states), 4);
        // The magenta mask colour is transparent: a white ground stays white.
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP ground = CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ old = SelectObject(dc, ground);
        PatBlt(dc, 0, 0, 16, 16, WHITENESS);
        ImageList_Draw(states, 1, dc, 0, 0, ILD_TRANSPARENT);
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
        EXPECT_NE(GetPixel(dc, 2, 7), RGB(255, 255, 255));  // the box's border
        SelectObject(dc, old);
        DeleteObject(ground);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        HTREEITEM first = page->m_tree.GetRootItem();
        HTREEITEM third = page->m_tree.GetNextSiblingItem(page->m_tree.GetNextSiblingItem(first));
        EXPECT_EQ(page->m_tree.GetItemText(first), "Plain notes");
        EXPECT_EQ(page->m_tree.GetItemState(first, TVIS_STATEIMAGEMASK) >> 12, 2u);  // checked
        EXPECT_EQ(page->m_tree.GetItemState(third, TVIS_STATEIMAGEMASK) >> 12, 1u);  // unchecked
        page->m_tree.SetItemState(first, INDEXTOSTATEIMAGEMASK(1), TVIS_STATEIMAGEMASK);
        page->m_tree.SetItemState(third, INDEXTOSTATEIMAGEMASK(2), TVIS_STATEIMAGEMASK);
        PropSheet_PressButton(sheet.m_hWnd, PSBTN_OK);
    });
    Command(ID_SETTINGS);
    EXPECT_EQ(app.m_settings.entries[0].shown, 0);
    EXPECT_EQ(app.m_settings.entries[1].shown, 1);
    EXPECT_EQ(app.m_settings.entries[2].shown, 1);
}

}  // namespace
