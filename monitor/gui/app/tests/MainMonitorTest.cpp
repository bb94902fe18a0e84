// The main monitor object as the main window runs it: each record of the
// channel becomes the right line, in its severity's format, in a real rich-edit
// view and in the log file, or the right text in the connection pane; records
// that are malformed, or arrive once the window is going, change nothing.
#include "AppTesting.h"
#include "EventLine.h"
#include "MainMonitor.h"
#include "LogPeer.h"
#include "Records.h"
#include "runtime/BlockOwner.h"
#include "runtime/RefOwner.h"
#include "WindowHook.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <regex>

namespace {

using logpeer::Bytes;

constexpr COLORREF kInfoColour = 0x808000, kWarningColour = 0x008080, kErrorColour = 0x000080;

Bytes Status(uint32_t status)
{
    Bytes payload;
    logpeer::PutU32(payload, status);
    return payload;
}

class MainMonitorTest : public GuiCoreTest {
protected:
    void SetUp() override
    {
        GuiCoreTest::SetUp();
        ProviderListInit(&providers);
        provider.answers = {
            {1, {S_OK, QUEL_MSG_INFO, L"Device opened"}},
            {3, {S_OK, QUEL_MSG_WARNING, L"Connection slow"}},
            {4, {S_OK, QUEL_MSG_ERROR, L"Connection refused"}},
            {7, {S_OK, QUEL_MSG_INFO, L"Accepted"}},
            {11, {E_FAIL, QUEL_MSG_ERROR, L"not to be shown"}},
            {12, {S_OK, QUEL_MSG_WARNING, nullptr}},
            {13, {S_OK, QUEL_MESSAGE_TYPE(7), L"odd severity"}},
        };
        AppendProvider(&providers, &provider);
        LoadSettingsDefaults(settings);
        settings.MessagePrefix = "%p (%m): ";
        host = ViewHost::Make();
        ASSERT_NE(host, nullptr);
        monitor.reset(CMainMonitor::Create(&providers, &settings));
        ASSERT_TRUE(monitor);
        monitor->Connect(&host->view, nullptr);  // records are handed in by the test
    }
    void TearDown() override
    {
        monitor.reset();
        if (host)
            host->DestroyWindow();
        ProviderListDestroy(&providers);
        EXPECT_EQ(provider.references(), 0);
        GuiCoreTest::TearDown();
    }

    void Deliver(const Bytes& record)
    {
        BufferHandle handle{const_cast<uint8_t*>(record.data()), nullptr, 0, uint32_t(record.size())};
        monitor->OnMessage(&handle);
        host->view.ShowHeldLines();  // as when the view's batch interval is over
    }
    void Deliver(uint32_t code, const std::string& device, const Bytes& payload = {})
    {
        Deliver(logpeer::MonitorRecord(code, device, payload));
    }
    std::string Pane() { return host->status.GetPaneText(1); }

    TableProvider provider{1, 100};
    ProviderList providers{};
    MonitorSettings settings{};
    ViewHost* host = nullptr;
    RefOwner<CMainMonitor> monitor;
};

struct LineCase {
    const char* what;
    const char* prefix;
    uint32_t code;
    const char* device;
    Bytes payload;
    const char* line;  // none: no line
    COLORREF colour;
    bool bold;
    const char* pane;  // what the connection pane then shows
};

TEST_F(MainMonitorTest, EachRecordBecomesItsLineInItsFormatOrItsConnectionText)
{
    const LineCase cases[] = {
        {"prefix without placeholders", "> ", 1, "COM1", {}, "> Device opened\r\n", kInfoColour, false, "-"},
        {"placeholders in order", "%m|%p|%m: ", 1, "COM1", {}, "INFO|COM1|INFO: Device opened\r\n", kInfoColour,
         false, "-"},
        {"a %p inside the port name is not expanded again", "[%p] ", 1, "%p", {}, "[%p] Device opened\r\n",
         kInfoColour, false, "-"},
        {"%m inside the port name is replaced, %t is not", "[%p] ", 1, "%t%m", {}, "[%tINFO] Device opened\r\n",
         kInfoColour, false, "-"},
        {"warning", "%p (%m): ", 3, "COM2", {}, "COM2 (WARNING): Connection slow\r\n", kWarningColour, false, "-"},
        {"error, in bold", "%p (%m): ", 4, "COM2", {}, "COM2 (ERROR): Connection refused\r\n", kErrorColour, true,
         "-"},
        {"code 7 like any event", "%p (%m): ", 7, "main_channel", {}, "main_channel (INFO): Accepted\r\n",
         kInfoColour, false, "-"},
        {"a code no provider serves", "%p (%m): ", 15, "COM3", {}, "COM3 (INFO): unknown msg (15/0x0000000f)\r\n",
         kInfoColour, false, "-"},
        {"a provider that fails", "%p (%m): ", 11, "COM3", {}, "COM3 (ERROR): unknown msg (11/0x0000000b)\r\n",
         kErrorColour, true, "-"},
        {"a provider without text", "%p (%m): ", 12, "COM3", {}, "COM3 (WARNING): \r\n", kWarningColour, false,
         "-"},
        {"an unknown severity is Info", "%p (%m): ", 13, "COM3", {}, "COM3 (INFO): odd severity\r\n", kInfoColour,
         false, "-"},
        {"code 6, status 0", "", 6, "main_channel", Status(0), nullptr, 0, false, "CONNECTED"},
        {"code 6, status 2", "", 6, "main_channel", Status(2), nullptr, 0, false, "CAN'T CONNECT (2)"},
        {"code 6, status 0xC000020D", "", 6, "main_channel", Status(0xC000020D), nullptr, 0, false,
         "CAN'T CONNECT (c000020d)"},
        {"code 6 without its status", "", 6, "main_channel", {0, 0}, nullptr, 0, false, "-"},
        {"code 8", "", 8, "main_channel", Status(0), nullptr, 0, false, "DISCONNECTED"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.what);
        host->view.SetWindowText("");
        host->status.SetPaneText(1, "-");
        settings.MessagePrefix = c.prefix;
        Deliver(c.code, c.device, c.payload);
        EXPECT_EQ(Pane(), c.pane);
        if (!c.line) {
            EXPECT_EQ(ViewText(host->view), "");
            continue;
        }
        EXPECT_EQ(ViewText(host->view), c.line);
        const CHARFORMATA format = FormatOf(host->view, 0, long(std::strlen(c.line)) - 2);
        EXPECT_EQ(format.crTextColor, c.colour);
        EXPECT_EQ((format.dwEffects & CFE_BOLD) != 0, c.bold);
    }
}

TEST_F(MainMonitorTest, TheDateAndTimeStandFirstWhenThePrefixAsksForThem)
{
    settings.MessagePrefix = "%t - %p: ";
    Deliver(1, "COM1");
    EXPECT_TRUE(std::regex_match(ViewText(host->view),
                                 std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d - COM1: Device opened\r\n)")))
        << ViewText(host->view);
}

TEST_F(MainMonitorTest, ASeverityWhoseLogFlagIsOffLeavesNoLineWhileTheOthersStillShow)
{
    TemporaryFile file("quel_flags");
    settings.WriteLogFile = 1;
    settings.LogFileName = file.path();
    settings.Warning.Log = 0;
    Deliver(1, "COM1");
    Deliver(3, "COM1");
    Deliver(4, "COM1");
    const std::string expected = "COM1 (INFO): Device opened\r\nCOM1 (ERROR): Connection refused\r\n";
    EXPECT_EQ(ViewText(host->view), expected);
    EXPECT_EQ(file.Read(), expected);
}

TEST_F(MainMonitorTest, LinesAreAppendedToTheLogFileAsTheyStandWhenItIsEnabled)
{
    TemporaryFile file("quel_events");
    ASSERT_TRUE(file.Write("earlier line\r\n"));
    Deliver(1, "COM1");  // not enabled yet
    settings.WriteLogFile = 1;
    settings.LogFileName = file.path();
    Deliver(3, "COM2");
    Deliver(4, "COM2");
    EXPECT_EQ(file.Read(), "earlier line\r\nCOM2 (WARNING): Connection slow\r\nCOM2 (ERROR): Connection refused\r\n");

    // A file that cannot be opened does not keep the line from the view.
    settings.LogFileName = file.path() + "\\no such directory\\vsp.log";
    Deliver(1, "COM3");
    EXPECT_NE(ViewText(host->view).find("COM3 (INFO): Device opened\r\n"), std::string::npos);
}

TEST_F(MainMonitorTest, MalformedRecordsAndRecordsAfterTheWindowWentChangeNothing)
{
    host->status.SetPaneText(1, "-");
    const Bytes malformed[] = {
        {},
        {1, 0, 0, 0, 0, 0},                                  // shorter than code, word and name
        {1, 0, 0, 0, 0, 0, 0, 0},                            // no name at all
        {6, 0, 0, 0, 0, 0, 0, 0, 'm', 'a', 'i', 'n', 0, 0},  // connect result, status cut short
        {1, 0, 0, 0, 0, 0, 0, 0, 'C', 'O', 'M', '1'},        // a name without its NUL
    };
    for (const Bytes& record : malformed)
        Deliver(record);
    EXPECT_EQ(ViewText(host->view), "");
    EXPECT_EQ(Pane(), "-");

    monitor->DetachWindow();
    Deliver(1, "COM1");
    Deliver(6, "main_channel", Status(0));
    EXPECT_EQ(ViewText(host->view), "");
    EXPECT_EQ(Pane(), "-");
}

TEST_F(MainMonitorTest, AFullViewDropsItsOldestCharactersSoThatTheNewLineFits)
{
    settings.MessagePrefix = "";
    provider.answers[1] = {S_OK, QUEL_MSG_INFO, L"0123456789abc"};  // 15 characters with the line end
    host->view.LimitText(40);
    std::string all;
    for (int i = 0; i < 4; ++i) {
        Deliver(1, "COM1");
        all += "0123456789abc\r\n";
        EXPECT_EQ(ViewText(host->view), all.substr(all.size() > 40 ? all.size() - 40 : 0)) << "line " << i;
    }
}

TEST_F(MainMonitorTest, ACutThatWouldEndInsideALineEndTakesTheWholeLineEnd)
{
    struct Case {
        const char* what;
        long limit;
        const char* before;
        const char* line;
        const char* shown;
    };
    const Case cases[] = {
        {"the cut ends between CR and LF", 20, "ab\r\n", "0123456789abcdefg\r\n", "0123456789abcdefg\r\n"},
        {"the cut ends right after a line end", 20, "ab\r\ncd\r\n", "0123456789abcd\r\n",
         "cd\r\n0123456789abcd\r\n"},
        {"the cut ends between CR and LF of a later line", 20, "ab\r\ncd\r\n", "0123456789abcdefg\r\n",
         "0123456789abcdefg\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host->view.SetWindowText("");
        host->view.LimitText(c.limit);
        LogViewAppend(host->view, nullptr, c.before);
        LogViewAppend(host->view, nullptr, c.line);
        EXPECT_EQ(ViewText(host->view), c.shown);
    }
}

TEST_F(MainMonitorTest, TheViewFollowsItsLastLine)
{
    settings.MessagePrefix = "%p: ";
    for (int i = 0; i < 200; ++i)
        Deliver(1, "COM" + std::to_string(i));
    const int lines = host->view.GetLineCount();
    const int first = int(host->view.SendMessage(EM_GETFIRSTVISIBLELINE));
    EXPECT_GT(first, lines - 40) << "lines " << lines;
}

// The texts that pane 1 of a status bar is given, in order.
class PaneLog : public CWindowHook {
public:
    std::vector<std::string> texts;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == SB_SETTEXTA && LOBYTE(wParam) == 1)
            texts.push_back(reinterpret_cast<const char*>(lParam));
        return SubclassWindowProc(message, wParam, lParam);
    }
};

TEST_F(MainMonitorTest, TheChannelsRecordsReachTheViewOnItsThreadAndThePaneFollowsTheLink)
{
    logpeer::PeerOptions options;
    options.tcp = false;
    options.pipeName = "quel_app_test_" + std::to_string(GetCurrentProcessId());
    logpeer::LogPeer peer(options);
    peer.StartListening();
    PaneLog panes;
    panes.SubclassHook(host->status.m_hWnd);

    RefOwner<CMainMonitor> linked = RefOwner<CMainMonitor>::Adopt(CMainMonitor::Create(&providers, &settings));
    ASSERT_TRUE(linked);
    linked->Connect(&host->view,
                    BlockOwner<AddressRecord>(PipeAddressFromNameA(options.pipeName.c_str(), nullptr, 0)).get());
    std::shared_ptr<logpeer::Connection> link = peer.WaitConnection(20000);
    ASSERT_TRUE(link && link->WaitOpeningRequest(20000));
    EXPECT_EQ(link->frames().at(0), (Bytes{0, 0, 0, 0})) << "all devices, no port data";

    link->SendRecord(1, "COM1", {});
    link->SendRecord(4, "COM2", {});
    const std::string lines = "COM1 (INFO): Device opened\r\nCOM2 (ERROR): Connection refused\r\n";
    EXPECT_TRUE(PumpUntil([&] { return ViewText(host->view) == lines; })) << ViewText(host->view);

    peer.StopListening();
    link->Close();
    EXPECT_TRUE(PumpUntil([&] { return panes.texts.size() >= 3; })) << panes.texts.size();
    EXPECT_EQ(panes.texts, (std::vector<std::string>{"CONNECTED", "DISCONNECTED", "CAN'T CONNECT (2)"}));

    linked->DetachWindow();
    linked.reset();
    PumpPending();
}

// The paints a window gets.
class PaintCount : public CWindowHook {
public:
    int paints = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        paints += message == WM_PAINT;
        return SubclassWindowProc(message, wParam, lParam);
    }
};

TEST_F(MainMonitorTest, AStreamOfLinesWithoutAPauseIsStillPaintedEveryTenthOfASecond)
{
    PumpPending();
    PaintCount count;
    count.SubclassHook(host->view.m_hWnd);
    int lines = 0;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 450; ++lines)
        Deliver(1, "COM1");  // no message loop meanwhile
    EXPECT_TRUE(host->view.IsWindowVisible()) << "painting is held back only while a line goes in";
    EXPECT_GE(count.paints, 2) << lines << " lines";
}

}  // namespace
