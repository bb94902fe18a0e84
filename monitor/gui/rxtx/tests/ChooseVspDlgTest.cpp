// The port chooser against the stand-in manager, registered in the test
// prefix: the devices in the manager's order with the first selected, a port
// lookup that fails, no devices, no manager, and a manager that frees each
// device with its last reference.
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
    const struct {
        const char* name;
        std::optional<std::vector<std::wstring>> ports;
        int choose;  // -1: keep the selection
        std::vector<std::string> items;
        std::string port;
    } cases[] = {
        {"the demo's ports by default", std::nullopt, -1,
         {"Virtual serial port COM1", "Virtual serial port COM2"}, "COM1"},
        {"the configured order", std::vector<std::wstring>{L"COM7", L"COM3", L"COM12"}, 2,
         {"Virtual serial port COM7", "Virtual serial port COM3", "Virtual serial port COM12"}, "COM12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedConfiguration configuration({c.ports, L"", false});
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

TEST_F(ChooseVspDlgTest, OkWithoutAPortToGiveKeepsTheChooserOpen)
{
    const struct {
        const char* name;
        Settings settings;
        size_t items;
        int selected;
        std::function<void(CChooseVspDlg&)> then;
        INT_PTR result;
        std::string port;
    } cases[] = {
        {"the first device's port lookup fails", {std::nullopt, L"COM1", false}, 2, 0,
         [](CChooseVspDlg& dialog) {
             Select(dialog, 1);
             Press(dialog, IDOK);
         },
         IDOK, "COM2"},
        {"no devices, so nothing is selected", {std::vector<std::wstring>{}, L"", false}, 0, -1,
         [](CChooseVspDlg& dialog) { Press(dialog, IDCANCEL); }, IDCANCEL, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedConfiguration configuration(c.settings);
        ASSERT_TRUE(configuration.applied());
        shown = Shown();
        bool openAfterOk = false;
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
