// The port chooser against the stand-in manager, registered in the test
// prefix: the devices in the manager's order with the first selected, a port
// lookup that fails, ports and devices whose names fail, are null, empty, do
// not convert or are too long, no devices, no manager, and a manager that frees
// each device with its last reference.
//
// The names above Latin-1 use the euro sign, which both code pages the tests
// run with (1252 and 1251) hold, and U+4E2D, which neither holds.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ChooseVspDlg.h"
#include "QuelIds.h"
#include "RxTxTestSupport.h"
#include "VspManagerTesting.h"
#include "channel/ChannelClient.h"

using namespace vspmanager_test;

namespace {

// What the chooser showed when it came up.
struct Shown {
    std::vector<std::string> items;
    int selected = -2;
};

void Press(CWnd& dialog, int button)
{
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                       reinterpret_cast<LPARAM>(dialog.GetDlgItem(button)));
}

void Select(CChooseVspDlg& dialog, int index)
{
    dialog.m_combo.SetCurSel(index);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_VSP_COMBO, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(dialog.m_combo.m_hWnd));
}

bool IsOpen(CWnd& dialog)
{
    return dialog.m_hWnd && IsWindowVisible(dialog.m_hWnd);
}

class ChooseVspDlgTest : public RxTxTest {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(RegisterServer(L"/s"), 0u);
        ClearConfiguration();
    }
    static void TearDownTestSuite() { RegisterServer(L"/u /s"); }

    // Runs the chooser; `drive` works it once it is up, after its contents were noted.
    INT_PTR Run(CChooseVspDlg& chooser, const std::function<void(CChooseVspDlg&)>& drive)
    {
        ScopedSeam<ModalDriver> driver(SetModalDriver, [&](CWnd& modal) {
            auto& dialog = static_cast<CChooseVspDlg&>(modal);
            for (int i = 0; i < dialog.m_combo.GetCount(); ++i)
                shown.items.push_back(dialog.m_combo.GetLBText(i));
            shown.selected = dialog.m_combo.GetCurSel();
            drive(dialog);
        });
        return chooser.DoModal();
    }

    Shown shown;
};

TEST_F(ChooseVspDlgTest, ListsTheDevicesInTheManagersOrderAndGivesTheChosenPort)
{
    // The euro sign lies in both code pages the tests run with, at different
    // places; the Cyrillic letters only in 1251.
    const bool cyrillic = GetACP() == 1251;
    const std::string euro = cyrillic ? "\x88" : "\x80";
    const std::wstring localWide = cyrillic ? L"\x041A\x041E\x041C" L"2" : L"COM2";
    const std::string local = cyrillic ? "\xCA\xCE\xCC" "2" : "COM2";
    const struct {
        const char* name;
        Settings settings;
        int choose;  // -1: keep the selection
        std::vector<std::string> items;
        std::string port;
    } cases[] = {
        {"the demo's ports by default", {std::nullopt, L"", false}, -1,
         {"Virtual serial port COM1", "Virtual serial port COM2"}, "COM1"},
        {"the configured order", {std::vector<std::wstring>{L"COM7", L"COM3", L"COM12"}, L"", false}, 2,
         {"Virtual serial port COM7", "Virtual serial port COM3", "Virtual serial port COM12"}, "COM12"},
        {"a name above Latin-1 in the ANSI code page", {std::vector<std::wstring>{L"COM\x20AC"}, L"", false}, -1,
         {"Virtual serial port COM" + euro}, "COM" + euro},
        {"a Cyrillic name where the ANSI code page has it", {std::vector<std::wstring>{localWide}, L"", false}, -1,
         {"Virtual serial port " + local}, local},
        {"a device whose name call fails shows an empty line",
         {std::vector<std::wstring>{L"COM1"}, L"", false, L"fail"}, -1, {""}, "COM1"},
        {"a device with a null name", {std::vector<std::wstring>{L"COM1"}, L"", false, L"null"}, -1, {""}, "COM1"},
        {"a device with an empty name", {std::vector<std::wstring>{L"COM1"}, L"", false, L"empty"}, -1, {""}, "COM1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedConfiguration configuration(c.settings);
        ASSERT_TRUE(configuration.applied());
        shown = Shown();
        CChooseVspDlg chooser;
        EXPECT_EQ(Run(chooser,
                      [&](CChooseVspDlg& dialog) {
                          if (c.choose >= 0)
                              Select(dialog, c.choose);
                          Press(dialog, IDOK);
                      }),
                  IDOK);
        EXPECT_EQ(shown.items, c.items);
        EXPECT_EQ(shown.selected, 0);
        EXPECT_EQ(chooser.PortName(), c.port);
    }
}

// A port without a name that filters would open a window showing every
// port's traffic, and one too long for the opening request a window that never
// connects: the chooser says so and stays open.
TEST_F(ChooseVspDlgTest, OkWithoutAPortToGiveKeepsTheChooserOpen)
{
    const std::vector<std::string> refused = {"The port of this device has no name that can be monitored."};
    const std::vector<std::string> silent;
    const std::function<void(CChooseVspDlg&)> cancel = [](CChooseVspDlg& dialog) { Press(dialog, IDCANCEL); };
    const std::wstring longest(kMaxDeviceFilterLength, L'C');
    const struct {
        const char* name;
        Settings settings;
        size_t items;
        int selected;
        std::function<void(CChooseVspDlg&)> then;
        INT_PTR result;
        std::string port;
        const std::vector<std::string>& boxes;
    } cases[] = {
        {"the first device's port lookup fails", {std::nullopt, L"COM1", false}, 2, 0,
         [](CChooseVspDlg& dialog) {
             Select(dialog, 1);
             Press(dialog, IDOK);
         },
         IDOK, "COM2", silent},
        {"no devices, so nothing is selected", {std::vector<std::wstring>{}, L"", false}, 0, -1, cancel, IDCANCEL,
         "", silent},
        {"the port's name call fails", {std::nullopt, L"", false, L"", L"fail"}, 2, 0, cancel, IDCANCEL, "", refused},
        {"a null port name", {std::nullopt, L"", false, L"", L"null"}, 2, 0, cancel, IDCANCEL, "", refused},
        {"an empty port name", {std::nullopt, L"", false, L"", L"empty"}, 2, 0, cancel, IDCANCEL, "", refused},
        {"a port name the ANSI code page holds no exact form of",
         {std::vector<std::wstring>{L"COM\x4E2D", L"COM2"}, L"", false}, 2, 0,
         [](CChooseVspDlg& dialog) {
             Select(dialog, 1);
             Press(dialog, IDOK);
         },
         IDOK, "COM2", refused},
        {"a port name one longer than an opening request carries",
         {std::vector<std::wstring>{longest + L"C", longest}, L"", false}, 2, 0,
         [](CChooseVspDlg& dialog) {
             Select(dialog, 1);
             Press(dialog, IDOK);
         },
         IDOK, std::string(kMaxDeviceFilterLength, 'C'), refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedConfiguration configuration(c.settings);
        ASSERT_TRUE(configuration.applied());
        shown = Shown();
        bool openAfterOk = false;
        MessageBoxLog boxes;
        CChooseVspDlg chooser;
        EXPECT_EQ(Run(chooser,
                      [&](CChooseVspDlg& dialog) {
                          Press(dialog, IDOK);
                          openAfterOk = IsOpen(dialog);
                          c.then(dialog);
                      }),
                  c.result);
        EXPECT_EQ(shown.items.size(), c.items);
        EXPECT_EQ(shown.selected, c.selected);
        EXPECT_TRUE(openAfterOk);
        EXPECT_EQ(chooser.PortName(), c.port);
        EXPECT_EQ(boxes.texts, c.boxes);
    }
}

TEST_F(ChooseVspDlgTest, WithoutAManagerItSaysSoAndCancels)
{
    ASSERT_EQ(RegisterServer(L"/u /s"), 0u);
    MessageBoxLog boxes;
    CChooseVspDlg chooser;
    const INT_PTR result = Run(chooser, [](CChooseVspDlg& dialog) { Press(dialog, IDOK); });
    ASSERT_EQ(RegisterServer(L"/s"), 0u);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Cannot create RuzuManager object"});
    EXPECT_EQ(boxes.types, std::vector<UINT>{MB_OK});
    EXPECT_EQ(chooser.PortName(), "");
}

// The manager keeps no device alive: the chooser's own references keep those
// it shows, and give them back with the chooser.
TEST_F(ChooseVspDlgTest, DevicesThatLiveOnlyByTheChoosersReferencesStayUntilItGoes)
{
    ScopedConfiguration configuration({std::nullopt, L"", true});
    ASSERT_TRUE(configuration.applied());
    LONG liveWhileShown = -1;
    {
        CChooseVspDlg chooser;
        EXPECT_EQ(Run(chooser,
                      [&](CChooseVspDlg& dialog) {
                          liveWhileShown = LiveDevices();
                          Select(dialog, 1);
                          Press(dialog, IDOK);
                      }),
                  IDOK);
        EXPECT_EQ(chooser.PortName(), "COM2");
        EXPECT_EQ(shown.items, (std::vector<std::string>{"Virtual serial port COM1", "Virtual serial port COM2"}));
    }
    EXPECT_EQ(liveWhileShown, 2);
    EXPECT_EQ(LiveDevices(), 0);
}

}  // namespace
