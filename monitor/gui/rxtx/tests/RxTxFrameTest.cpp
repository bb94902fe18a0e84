// RX/TX windows against the log-service stand-in on the service's own pipe:
// each window's channel and opening request, each view with only its port's
// data, records that are cut short, closing one window while data flows, a
// record that arrives after its window was closed, Save, Clear and Close.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "CommonDialogs.h"
#include "HexTestBytes.h"
#include "HexTestFiles.h"
#include "LogPeer.h"
#include "Records.h"
#include "RxTxFrame.h"
#include "QuelIds.h"
#include "RxTxMonitor.h"
#include "RxTxTestSupport.h"
#include "VspManagerTesting.h"
#include "gui/ThreadDispatcher.h"
#include "runtime/RefOwner.h"
#include "runtime/TrackedBlock.h"

using namespace logpeer;
using hexview_test::FileContents;
using hexview_test::TempPath;

namespace {

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

std::string Blanks(int groups)
{
    return std::string(3 * groups, ' ');
}

// A window that outlives its window handle, so that a test can look at its
// view after the window was destroyed.
class KeptRxTxFrame : public CRxTxFrame {
public:
    using CRxTxFrame::CRxTxFrame;

protected:
    void PostNcDestroy() override {}
};

class RxTxFrameTest : public RxTxTest {
protected:
    void SetUp() override
    {
        RxTxTest::SetUp();
        PeerOptions options;
        options.tcp = false;  // the service's pipe, as the windows connect to it on NT
        peer_ = std::make_unique<LogPeer>(options);
        ASSERT_NO_THROW(peer_->StartListening());
    }
    void TearDown() override
    {
        TestApp().RxTxFrames().DestroyAllWindows();
        peer_.reset();
        RxTxTest::TearDown();
    }

    // Opens a window for `port` as the program's command does, listed at the tail.
    static CRxTxFrame* Open(const char* port)
    {
        CRxTxFrame* frame = CRxTxFrame::Open(port);
        if (frame)
            TestApp().RxTxFrameListAdd(frame);
        return frame;
    }

    // The connection whose opening request names `port`.
    std::shared_ptr<Connection> ConnectionFor(const std::string& port)
    {
        for (auto& c : connections_)
            if (c->openingRequest() && c->openingRequest()->filter == port)
                return c;
        while (auto c = peer_->WaitConnection(10000)) {
            if (!c->WaitOpeningRequest(10000))
                return nullptr;
            connections_.push_back(c);
            if (c->openingRequest() && c->openingRequest()->filter == port)
                return c;
        }
        return nullptr;
    }

    // A window for `port` with its connection, the link's own records done with.
    void OpenConnected(const char* port, CRxTxFrame** frame, std::shared_ptr<Connection>* connection)
    {
        *frame = Open(port);
        ASSERT_TRUE(*frame);
        *connection = ConnectionFor(port);
        ASSERT_TRUE(*connection);
        PumpFor(200);
    }

    static size_t Listed() { return TestApp().RxTxFrames().Count(); }

    // The view's text as Save writes it.
    std::string Dump(CRxTxFrame* frame)
    {
        const std::string path = TempPath("dump.txt");
        if (!frame->View().HexViewSaveText(path.c_str()))
            return "<not saved>";
        std::string text = FileContents(path);
        DeleteFileA(path.c_str());
        return text;
    }

    std::unique_ptr<LogPeer> peer_;
    std::vector<std::shared_ptr<Connection>> connections_;
};

TEST_F(RxTxFrameTest, EachWindowOpensItsOwnChannelAndShowsOnlyItsPortsData)
{
    CRxTxFrame* com1 = Open("COM1");
    CRxTxFrame* com2 = Open("COM2");
    ASSERT_TRUE(com1 && com2);
    EXPECT_EQ(com1->GetWindowText(), "RX/TX data for COM1");
    EXPECT_EQ(Listed(), 2u);
    auto c1 = ConnectionFor("COM1");
    auto c2 = ConnectionFor("COM2");
    ASSERT_TRUE(c1 && c2);
    // One opening request each: the dump flag, then the port with its NUL.
    EXPECT_EQ(c1->frames().front(), (Bytes{1, 0, 0, 0, 'C', 'O', 'M', '1', 0}));
    EXPECT_EQ(c2->frames().front(), (Bytes{1, 0, 0, 0, 'C', 'O', 'M', '2', 0}));

    peer_->Publish(kTxData, "COM1", Text("AT\r"));
    peer_->Publish(kRxData, "COM2", Text("PING"));
    peer_->Publish(kDeviceOpened, "COM1", {});
    peer_->Publish(kRxData, "COM1", Text("OK\r\n"));
    peer_->Publish(kRxData, "COM3", Text("not for these windows"));
    peer_->Publish(kTxData, "COM2", Text("ECHO"));
    ASSERT_TRUE(PumpUntil([&] { return com1->View().used() == 7 && com2->View().used() == 8; }));
    PumpFor(100);
    EXPECT_EQ(Dump(com1), "TX  41 54 0d " + Blanks(14) + "AT.\r\n" + "RX  4f 4b 0d 0a " + Blanks(13) + "OK..\r\n");
    EXPECT_EQ(Dump(com2), "RX  50 49 4e 47 " + Blanks(13) + "PING\r\n" + "TX  45 43 48 4f " + Blanks(13) + "ECHO\r\n");
}

TEST_F(RxTxFrameTest, RecordsCutShortOrWithoutANameAndRecordsOfOtherCodesShowNothing)
{
    CRxTxFrame* com1 = Open("COM1");
    ASSERT_TRUE(com1);
    auto c1 = ConnectionFor("COM1");
    ASSERT_TRUE(c1);
    const Bytes cutShort[] = {
        {10, 0, 0, 0},                          // shorter than the two header words
        {10, 0, 0, 0, 0, 0, 0, 0},              // no name
        {10, 0, 0, 0, 0, 0, 0, 0, 'C', 'O', 'M', '1', 'x', 'y'},  // a name without its NUL
    };
    for (const Bytes& record : cutShort)
        ASSERT_TRUE(c1->SendFrame(record));
    c1->SendRecord(kConnectResult, "COM1", StatusPayload(0, TcpAddressRecord(Ipv4(10, 0, 0, 1), 4001)));
    c1->SendRecord(kRxData, "COM1", {});  // no data at all
    c1->SendRecord(kRxData, "COM1", {0x5A});
    ASSERT_TRUE(PumpUntil([&] { return com1->View().used() != 0; }));
    PumpFor(100);
    EXPECT_EQ(Dump(com1), "RX  5a " + Blanks(16) + "Z\r\n");
}

TEST_F(RxTxFrameTest, ClosingOneWindowWhileDataFlowsLeavesTheOtherWorking)
{
    CRxTxFrame* com1 = Open("COM1");
    CRxTxFrame* com2 = Open("COM2");
    ASSERT_TRUE(com1 && com2);
    auto c1 = ConnectionFor("COM1");
    auto c2 = ConnectionFor("COM2");
    ASSERT_TRUE(c1 && c2);

    std::atomic<bool> stop{false};
    std::thread feeder([&] {
        for (uint8_t n = 0; !stop; ++n) {
            peer_->Publish(kRxData, "COM1", Bytes(64, n));
            peer_->Publish(kTxData, "COM2", Bytes(64, n));
            Sleep(2);
        }
    });
    const bool bothFed = PumpUntil([&] { return com1->View().used() >= 64 * 20 && com2->View().used() >= 64 * 20; });
    com1->SendMessage(WM_COMMAND, MAKEWPARAM(ID_RXTX_CLOSE, 0));  // the window is gone, and so is the frame
    const bool closedAtThePeer = PumpUntil([&] { return c1->closed(); });
    const uint32_t before = com2->View().used();
    const bool stillFed = PumpUntil([&] { return com2->View().used() >= before + 64 * 20; });
    stop = true;
    feeder.join();

    EXPECT_TRUE(bothFed);
    EXPECT_TRUE(closedAtThePeer);
    EXPECT_TRUE(stillFed);
    EXPECT_FALSE(c2->closed());
    EXPECT_EQ(Listed(), 1u);
    EXPECT_EQ(TestApp().RxTxFrames().First(), com2);
}

// Feeds one port with 1 KiB records, each of its own byte and of alternating
// direction, from a thread of its own: the stand-in waits for room rather
// than discarding, so whatever the window misses was lost by the window.
class PortFeeder {
public:
    static constexpr size_t kRecordBytes = 1024;

    PortFeeder(Connection& connection, size_t records)
        : thread_([this, &connection, records] {
              for (size_t n = 0; n < records && !stop_; ++n)
                  if (connection.SendRecord(n % 2 ? kRxData : kTxData, "COM1", Record(n)))
                      ++sent_;
          })
    {
    }
    ~PortFeeder()
    {
        stop_ = true;
        thread_.join();
    }

    static Bytes Record(size_t n) { return Bytes(kRecordBytes, static_cast<uint8_t>(n * 7 + 1)); }
    // What a view of `capacity` bytes shows once the first `records` are in: the newest ones.
    static Bytes Newest(size_t records, size_t capacity)
    {
        Bytes bytes;
        for (size_t n = records - capacity / kRecordBytes; n < records; ++n) {
            const Bytes record = Record(n);
            bytes.insert(bytes.end(), record.begin(), record.end());
        }
        return bytes;
    }
    size_t sent() const { return sent_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<size_t> sent_{0};
    std::thread thread_;
};

// Waits without handling the thread's messages: the window takes nothing meanwhile.
bool WaitUnpumped(const std::function<bool()>& done)
{
    const DWORD start = GetTickCount();
    while (!done())
        if (GetTickCount() - start > 20000)
            return false;
        else
            Sleep(5);
    return true;
}

TEST_F(RxTxFrameTest, DataTheWindowCannotTakeYetWaitsAtTheServiceAndAllOfItIsShownInOrder)
{
    CRxTxFrame* frame = nullptr;
    std::shared_ptr<Connection> c1;
    ASSERT_NO_FATAL_FAILURE(OpenConnected("COM1", &frame, &c1));
    constexpr size_t kRecords = 1024;  // four times what the link queues before it waits
    PortFeeder feeder(*c1, kRecords);
    // Far more than the link's bound goes out while the window's thread is busy elsewhere.
    ASSERT_TRUE(WaitUnpumped([&] { return feeder.sent() >= kRecords / 2; }));

    const uint32_t capacity = frame->View().model().capacity();
    const Bytes newest = PortFeeder::Newest(kRecords, capacity);
    ASSERT_TRUE(PumpUntil([&] {
        return feeder.sent() == kRecords && frame->View().used() == capacity &&
               hexview_test::HeldBytes(frame->View().model()) == newest;
    }));
    EXPECT_EQ(frame->View().model().runs().size(), capacity / PortFeeder::kRecordBytes);
    EXPECT_EQ(c1->discarded(), 0u);
}

TEST_F(RxTxFrameTest, ClosingTheWindowWhileDataIsQueuedAndHeldBackLeavesNothingBehind)
{
    CRxTxFrame* frame = nullptr;
    std::shared_ptr<Connection> c1;
    ASSERT_NO_FATAL_FAILURE(OpenConnected("COM1", &frame, &c1));
    PortFeeder feeder(*c1, 2048);
    ASSERT_TRUE(WaitUnpumped([&] { return feeder.sent() >= 1024; }));
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_RXTX_CLOSE, 0));
    EXPECT_EQ(Listed(), 0u);
    // The link goes with its window; the fixture finds every block released.
    EXPECT_TRUE(PumpUntil([&] { return c1->closed(); }));
}

TEST_F(RxTxFrameTest, ARecordDeliveredAfterTheWindowWasDestroyedTouchesNothing)
{
    auto* frame = new KeptRxTxFrame("COM1");
    ASSERT_TRUE(frame->Create(nullptr, "RX/TX data for COM1", WS_OVERLAPPEDWINDOW));
    TestApp().RxTxFrameListAdd(frame);
    auto c1 = ConnectionFor("COM1");
    ASSERT_TRUE(c1);
    // The first data are shown: the window's thread takes calls from the link.
    c1->SendRecord(kRxData, "COM1", Text("early"));
    ASSERT_TRUE(PumpUntil([&] { return frame->View().used() == 5; }));
    RefOwner<CRxTxMonitor> monitor = RefOwner<CRxTxMonitor>::AddRef(frame->Monitor());

    c1->SendRecord(kRxData, "COM1", Text("late"));
    // The record waits in the window thread's queue, bound for the link.
    MSG queued;
    const DWORD start = GetTickCount();
    while (!PeekMessageA(&queued, nullptr, kServiceWindowMessage, kServiceWindowMessage, PM_NOREMOVE) &&
           GetTickCount() - start < 10000)
        Sleep(5);
    ASSERT_EQ(queued.message, kServiceWindowMessage);
    frame->DestroyWindow();
    EXPECT_EQ(Listed(), 0u);
    EXPECT_EQ(monitor->view(), nullptr);
    PumpFor(200);
    EXPECT_EQ(frame->View().used(), 5u);

    monitor.reset();
    delete frame;
}

TEST_F(RxTxFrameTest, ClearIsEnabledInMenuAndToolbarExactlyWhileTheViewHoldsAByte)
{
    CRxTxFrame* frame = Open("COM1");
    ASSERT_TRUE(frame);
    const auto enabled = [frame] {
        PumpPending();  // the toolbar is updated at idle
        const bool button = frame->ToolBar().SendMessage(TB_ISBUTTONENABLED, ID_RXTX_CLEAR) != 0;
        HMENU file = GetSubMenu(frame->GetMenu(), 0);
        frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
        const bool item = !(GetMenuState(file, ID_RXTX_CLEAR, MF_BYCOMMAND) & MF_GRAYED);
        EXPECT_EQ(button, item);
        return button && item;
    };
    EXPECT_FALSE(enabled());
    const uint8_t byte = 0x31;
    frame->View().HexViewAppend(HexDirection::Tx, &byte, 1);
    EXPECT_TRUE(enabled());
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_RXTX_CLEAR, 0));
    EXPECT_EQ(frame->View().used(), 0u);
    EXPECT_FALSE(enabled());
}

TEST_F(RxTxFrameTest, TheToolbarDocksAtAnySideWithItsGripperAndTheViewTakesTheRest)
{
    CRxTxFrame* frame = Open("COM1");
    ASSERT_TRUE(frame);
    CToolBar& bar = frame->ToolBar();
    EXPECT_EQ(bar.GetDockSide(), DockSide::Top);
    EXPECT_EQ(bar.GetDockAlignments(), DWORD(CBRS_ALIGN_ANY));
    EXPECT_EQ(frame->GetDockAlignments(), DWORD(CBRS_ALIGN_ANY));
    EXPECT_NE(bar.GetBarStyle() & CBRS_GRIPPER, 0u);

    frame->DockControlBar(&bar, DockSide::Bottom);
    CRect client = frame->GetClientRect();
    CRect toolbar = bar.GetWindowRect(), view = frame->View().GetWindowRect();
    MapWindowPoints(nullptr, frame->m_hWnd, reinterpret_cast<POINT*>(&toolbar), 2);
    MapWindowPoints(nullptr, frame->m_hWnd, reinterpret_cast<POINT*>(&view), 2);
    EXPECT_EQ(toolbar, CRect(0, client.bottom - toolbar.Height(), client.right, client.bottom));
    EXPECT_EQ(view, CRect(0, 0, client.right, toolbar.top));
    // The gripper stands before the buttons, outside the control's client area.
    CRect inside = bar.GetClientRect();
    EXPECT_LT(inside.Width(), toolbar.Width() - 6);
}

TEST_F(RxTxFrameTest, SaveWritesTheChosenFileAndSaysWhenItCannot)
{
    CRxTxFrame* frame = Open("COM1");
    ASSERT_TRUE(frame);
    frame->View().HexViewAppend(HexDirection::Rx, reinterpret_cast<const uint8_t*>("hi"), 2);
    // What the save-as dialog was asked for, and the file a person picks (none: Cancel).
    struct {
        BOOL open = TRUE;
        std::string defaultExt, filter;
        DWORD flags = 0;
    } asked;
    std::string answer;
    ScopedSeam<CommonDialogAnswer> seam(SetCommonDialogAnswer, [&](CCommonDialog& dialog) {
        auto& file = static_cast<CFileDialog&>(dialog);
        asked.open = file.m_bOpenFileDialog;
        asked.defaultExt = file.m_ofn.lpstrDefExt ? file.m_ofn.lpstrDefExt : "";
        asked.filter.clear();
        for (const char* part = file.m_ofn.lpstrFilter; part && *part; part += strlen(part) + 1)
            asked.filter.append(part).append("|");
        asked.flags = file.m_ofn.Flags;
        if (answer.empty())
            return INT_PTR(IDCANCEL);
        file.SetPathName(answer.c_str());
        return INT_PTR(IDOK);
    });
    MessageBoxLog boxes;
    const auto save = [frame] { frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_RXTX_SAVE, 0)); };

    const std::string path = TempPath("saved.txt");
    answer = path;
    save();
    EXPECT_FALSE(asked.open);
    EXPECT_EQ(asked.defaultExt, "txt");
    EXPECT_EQ(asked.filter, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
    EXPECT_EQ(asked.flags & (OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT), DWORD(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT));
    EXPECT_EQ(FileContents(path), "RX  68 69 " + Blanks(15) + "hi\r\n");
    DeleteFileA(path.c_str());

    answer = TempPath("no-such-folder\\saved.txt");
    save();
    answer.clear();
    save();  // cancelled: no file, no message
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Unable to save hex dump"});
    EXPECT_EQ(boxes.types, std::vector<UINT>{MB_ICONERROR});
    EXPECT_EQ(frame->View().used(), 2u);
}

TEST_F(RxTxFrameTest, HelpShowsTheHexDumpTopicAndCloseClosesTheWindow)
{
    CRxTxFrame* frame = Open("COM1");
    ASSERT_TRUE(frame);
    HELPINFO help{};
    help.cbSize = sizeof help;
    EXPECT_EQ(frame->SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&help)), TRUE);
    // The application was never started: its help file has no folder here.
    EXPECT_EQ(TestApp().LastHelpAddress(), "::/pm_hex_dump.htm");

    HWND window = frame->m_hWnd;
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_RXTX_CLOSE, 0));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Listed(), 0u);
}

TEST_F(RxTxFrameTest, AWindowWithoutItsLinkOpensAndStaysEmpty)
{
    BlockAllocFailAfter(0);
    CRxTxFrame* frame = Open("COM1");
    BlockAllocFailAfter(-1);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Monitor(), nullptr);
    peer_->Publish(kRxData, "COM1", Text("data"));
    PumpFor(200);
    EXPECT_EQ(frame->View().used(), 0u);
    EXPECT_EQ(peer_->connections().size(), 0u);
}

// Command 32786 of the application: the port chooser, then a window for the
// chosen port, shown and listed; Cancel opens nothing.
class RxTxDataCommandTest : public RxTxFrameTest {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(vspmanager_test::RegisterServer(L"/s"), 0u);
        vspmanager_test::ClearConfiguration();
    }
    static void TearDownTestSuite() { vspmanager_test::RegisterServer(L"/u /s"); }

    // The command as the menus send it, with the chooser worked by `drive`.
    void RxTxData(const std::function<void(CWnd& chooser)>& drive)
    {
        ScopedSeam<ModalDriver> driver(SetModalDriver, drive);
        TestApp().OnCmdMsg(ID_RXTX_DATA, 0, nullptr);
    }
};

TEST_F(RxTxDataCommandTest, OpensAListedWindowForTheChosenPortAndNothingOnCancel)
{
    RxTxData([](CWnd& chooser) { chooser.SendMessage(WM_COMMAND, IDCANCEL); });
    EXPECT_EQ(Listed(), 0u);

    RxTxData([](CWnd& chooser) {
        chooser.SendDlgItemMessage(IDC_VSP_COMBO, CB_SETCURSEL, 1);
        chooser.SendMessage(WM_COMMAND, IDOK);
    });
    ASSERT_EQ(Listed(), 1u);
    auto* frame = static_cast<CRxTxFrame*>(TestApp().RxTxFrames().First());
    EXPECT_EQ(frame->GetWindowText(), "RX/TX data for COM2");
    EXPECT_TRUE(frame->IsWindowVisible());
    EXPECT_EQ(frame->DeviceName(), "COM2");
    EXPECT_TRUE(ConnectionFor("COM2"));
}

}  // namespace
