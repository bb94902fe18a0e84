// quel.exe against the bundled log-service stand-in on the log service's own
// pipe: CONNECTED, the demo's event lines read back through the log view with
// their colours, the link down when the service goes, the notification icon in
// Wine's notification area while it runs, and an exit within moments of the
// window closing, also while records stream in; and over TCP port 50001 as on
// Windows 9x.
#include "Demo.h"
#include "InstanceControl.h"
#include "LogPeer.h"
#include "QuelIds.h"
#include "QuelProcess.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <atomic>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

namespace {

constexpr DWORD kWaitMs = 20000;

// The log's lines without their "MM/DD/YY HH:MM:SS - " stamps.
std::vector<std::string> Lines(const std::string& text)
{
    static const std::regex stamp(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d - )");
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::regex_replace(line, stamp, ""));
    }
    return lines;
}

// Polls until the condition holds; false after the time-out.
template <class Condition>
bool WaitFor(Condition done, DWORD timeoutMs = kWaitMs)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start > timeoutMs)
            return false;
    return true;
}

// The icons in Wine's notification area (its stand-alone tray window under Xvfb).
int TrayIconCount()
{
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    int count = 0;
    for (HWND icon = nullptr; tray && (icon = FindWindowExA(tray, icon, "__winex11_tray_icon", nullptr));)
        ++count;
    return count;
}

// The standard provider registered and the settings at their defaults.
class StandInTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(RunProgram("regsvr32.exe /s \"" + ProgramDirectory() + "quelstd.dll\"", 60000), 0);
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\PELKO\\DEZ Iviruzi");
    }
};

class QuelEndToEnd : public StandInTest {
protected:
    void SetUp() override
    {
        logpeer::PeerOptions options;
        options.tcp = false;
        peer = std::make_unique<logpeer::LogPeer>(options);
        peer->StartListening();
        ASSERT_TRUE(quel.Start(""));
        window = quel.MainWindow();
        ASSERT_NE(window, nullptr);
        link = peer->WaitConnection(kWaitMs);
        ASSERT_TRUE(link && link->WaitOpeningRequest(kWaitMs));
    }
    void TearDown() override
    {
        if (IsWindow(window))
            PostMessageA(window, WM_COMMAND, ID_STOP_INSTANCE, 0);
        EXPECT_EQ(quel.WaitExit(kWaitMs), 0);
    }
    std::string Pane() const { return quel.StatusPane(window, 1); }

    std::unique_ptr<logpeer::LogPeer> peer;
    QuelProcess quel;
    HWND window = nullptr;
    std::shared_ptr<logpeer::Connection> link;
};

TEST_F(QuelEndToEnd, ShowsTheDemosColouredLinesWhileConnectedAndDisconnectedWhenTheServiceGoes)
{
    EXPECT_EQ(link->frames().at(0), (logpeer::Bytes{0, 0, 0, 0})) << "main_channel: all devices, no port data";
    ASSERT_TRUE(WaitFor([&] { return Pane() == "CONNECTED"; })) << Pane();
    EXPECT_EQ(TrayIconCount(), 1);

    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    logpeer::RunDemo(*peer, 1, 10, stop);
    CloseHandle(stop);
    const std::vector<std::string> expected = {
        "COM1 (INFO): Device opened",
        "COM1 (INFO): Resolving host by name serial-gw.local...",
        "COM1 (INFO): Host successfully resolved to 192.168.1.20",
        "COM1 (INFO): Established TCP connection with 192.168.1.20:4001",
        "COM2 (INFO): Device opened",
        "COM2 (INFO): Listening on TCP port 4002",
        "COM2 (INFO): Resolving host by MAC-address 0.27.33.58.76.93...",
        "COM2 (INFO): Host successfully resolved to 192.168.1.21",
        "COM2 (ERROR): Unable to establish TCP connection with 192.168.1.21:4002 (connection refused)",
        "COM2 (INFO): Accepted TCP connection from 192.168.1.30:51234",
        "COM1 (INFO): Remote node 192.168.1.20:4001 closed TCP connection",
        "COM2 (INFO): TCP connection with 192.168.1.30:51234 closed (timed out)",
        "COM1 (INFO): Device closed",
        "COM2 (INFO): Device closed",
    };
    std::vector<std::string> shown;
    EXPECT_TRUE(WaitFor([&] { return (shown = Lines(QuelProcess::LogText(window))) == expected; }))
        << "shown: " << testing::PrintToString(shown);

    // Each line in its severity's format: Info teal, Error dark red and bold.
    const std::string text = QuelProcess::LogText(window);
    const long error = long(text.find("COM2 (ERROR)"));
    const long info = long(text.find("COM2 (INFO): Device opened"));
    ASSERT_GT(error, 0);
    const CHARFORMATA errorFormat = quel.LogFormat(window, error, error + 10);
    const CHARFORMATA infoFormat = quel.LogFormat(window, info, info + 10);
    EXPECT_EQ(errorFormat.crTextColor, COLORREF(0x000080));
    EXPECT_NE(errorFormat.dwEffects & CFE_BOLD, 0u);
    EXPECT_EQ(infoFormat.crTextColor, COLORREF(0x808000));
    EXPECT_EQ(infoFormat.dwEffects & CFE_BOLD, 0u);

    // The link reconnects at once after a loss, and that attempt fails within
    // milliseconds: "DISCONNECTED" gives way to its result before the pane can
    // be read from here (the channel's own test sees both, in order).
    peer->StopListening();
    link->Close();
    EXPECT_TRUE(WaitFor([&] { return Pane() != "CONNECTED"; }));
    EXPECT_TRUE(Pane() == "DISCONNECTED" || Pane() == "CAN'T CONNECT (2)") << Pane();

    PostMessageA(window, WM_COMMAND, ID_STOP_INSTANCE, 0);
    EXPECT_EQ(quel.WaitExit(kWaitMs), 0);
    EXPECT_EQ(TrayIconCount(), 0) << "the icon goes with the program";
}

TEST_F(QuelEndToEnd, EndsWithinMomentsOfItsWindowClosingWhileRecordsStreamIn)
{
    ASSERT_TRUE(WaitFor([&] { return Pane() == "CONNECTED"; })) << Pane();
    // Stopped and joined however the test ends: a failed assertion returns
    // early, and a joinable thread would terminate the test program.
    struct Flood {
        std::atomic<bool> on{true};
        std::thread thread;
        ~Flood()
        {
            on = false;
            if (thread.joinable())
                thread.join();
        }
    } flood;
    flood.thread = std::thread([&] {
        for (uint32_t n = 0; flood.on; ++n)
            link->SendRecord(1, "COM" + std::to_string(n % 8), {});
    });
    ASSERT_TRUE(WaitFor([&] { return QuelProcess::LogText(window).size() > 2000; }));

    PostMessageA(window, WM_COMMAND, ID_STOP_INSTANCE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(window); }));
    const DWORD closed = GetTickCount();
    const long code = quel.WaitExit(kWaitMs);
    const DWORD exitMs = GetTickCount() - closed;
    flood.on = false;
    flood.thread.join();
    EXPECT_EQ(code, 0);
    // Queued records held the link's objects: the core's shut-down waited its full 15 seconds.
    EXPECT_LT(exitMs, 5000u);
}

// On Windows 9x the main window reaches the log service over TCP on
// 127.0.0.1:50001 (Wine plays Windows 98 for quel.exe here). The pipe is off.
using QuelOverTcp = StandInTest;

TEST_F(QuelOverTcp, OnANonNtSystemTheMainWindowConnectsToTcpPort50001)
{
    ScopedRegistryValue win98(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\quel.exe", "Version", "win98");
    ASSERT_TRUE(win98.set());
    std::unique_ptr<logpeer::LogPeer> peer;
    ASSERT_NO_THROW(peer = logpeer::ListenAsTcpService());
    QuelProcess quel;
    ASSERT_TRUE(quel.Start(""));
    const HWND window = quel.MainWindow();
    ASSERT_NE(window, nullptr);
    std::shared_ptr<logpeer::Connection> link = peer->WaitConnection(kWaitMs);
    ASSERT_TRUE(link && link->WaitOpeningRequest(kWaitMs));
    EXPECT_EQ(link->name().compare(0, 3, "tcp"), 0) << link->name();
    EXPECT_TRUE(WaitFor([&] { return quel.StatusPane(window, 1) == "CONNECTED"; }));
    link->SendRecord(1, "COM1", {});
    EXPECT_TRUE(WaitFor([&] { return Lines(QuelProcess::LogText(window)) == std::vector<std::string>{
                                                                                 "COM1 (INFO): Device opened"}; }))
        << QuelProcess::LogText(window);
    PostMessageA(window, WM_COMMAND, ID_STOP_INSTANCE, 0);
    EXPECT_EQ(quel.WaitExit(kWaitMs), 0);
}

}  // namespace
