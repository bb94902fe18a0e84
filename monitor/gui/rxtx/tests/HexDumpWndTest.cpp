// The hex-dump view as a window, through direct calls: its scroll bar and top
// line after appends, scroll requests, wheel turns, resizing and clearing, the
// pixels it paints, and the text it saves.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "FrameWnd.h"
#include "HexDumpWnd.h"
#include "HexLayout.h"
#include "HexPaint.h"
#include "HexTestBytes.h"
#include "HexTestFiles.h"
#include "MessageMap.h"
#include "RxTxTestSupport.h"
#include "WindowHook.h"
#include "ViewPixels.h"

using namespace hexview_test;

namespace {

// A plain frame whose pane is the view under test.
class ViewHost : public CFrameWnd {
public:
    CHexDumpWnd view;

protected:
    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {OnWmCreate<&ViewHost::OnCreate>()};
        static const MessageMap map = MakeMessageMap(CFrameWnd::GetMessageMap(), entries);
        return &map;
    }
    int OnCreate(CREATESTRUCTA* cs)
    {
        if (CFrameWnd::OnCreate(cs) == -1)
            return -1;
        return view.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(), this, IDW_PANE_FIRST) ? 0 : -1;
    }
};

// Counts the paints of a window.
class PaintCount : public CWindowHook {
public:
    explicit PaintCount(HWND window) { SubclassHook(window); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        paints += message == WM_PAINT;
        return SubclassWindowProc(message, wParam, lParam);
    }
    int paints = 0;
};

struct Bar {
    int max, page, pos;
};

bool operator==(const Bar& a, const Bar& b)
{
    return a.max == b.max && a.page == b.page && a.pos == b.pos;
}

void PrintTo(const Bar& b, std::ostream* os)
{
    *os << "{max " << b.max << ", page " << b.page << ", pos " << b.pos << "}";
}

class HexDumpWndTest : public RxTxTest {
protected:
    void SetUp() override
    {
        RxTxTest::SetUp();
        host_ = new ViewHost;
        ASSERT_TRUE(host_->Create(nullptr, "Hex view", WS_OVERLAPPEDWINDOW, CRect(0, 0, 700, 300)));
        host_->ShowWindow(SW_SHOW);
        SizeClient(640, 160);  // 11 lines a page, the last one cut
    }
    void TearDown() override
    {
        if (host_)
            host_->DestroyWindow();
        RxTxTest::TearDown();
    }

    CHexDumpWnd& view() { return host_->view; }

    // Makes the view's client area `width` x `height` pixels.
    void SizeClient(int width, int height)
    {
        const CRect client = view().GetClientRect();
        const CRect outer = host_->GetWindowRect();
        host_->MoveWindow(CRect(outer.left, outer.top, outer.right + width - client.Width(),
                                outer.bottom + height - client.Height()));
        ASSERT_EQ(view().GetClientRect().Height(), height);
    }

    Bar ScrollBar() const
    {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        GetScrollInfo(host_->view.m_hWnd, SB_VERT, &info);
        return {info.nMax, int(info.nPage), info.nPos};
    }

    // The dump line at the top of the view.
    int TopLine() const
    {
        const HexDumpModel& model = host_->view.model();
        if (model.topRun() == model.runs().end())
            return -1;
        int line = model.topOffset();
        for (auto run = model.runs().begin(); run != model.topRun(); ++run)
            line += int(run->lines);
        return line;
    }

    void Append(HexDirection direction, const std::vector<uint8_t>& bytes)
    {
        EXPECT_EQ(view().HexViewAppend(direction, bytes.data(), uint32_t(bytes.size())), bytes.size());
    }

    // The bar placed at `position` as a person leaves it, and the view moved there.
    void ScrollTo(int position)
    {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_POS;
        info.nPos = position;
        SetScrollInfo(view().m_hWnd, SB_VERT, &info, TRUE);
        view().SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position));
    }

    ViewHost* host_ = nullptr;
};

TEST_F(HexDumpWndTest, AppendsSetTheBarToTheLastPageAndFollowTheNewestLine)
{
    EXPECT_EQ(view().linesPerPage(), 11);
    // The system keeps a page no larger than the range.
    Append(Rx, Counting(3));
    EXPECT_EQ(ScrollBar(), (Bar{1, 2, 0}));
    EXPECT_EQ(TopLine(), 0);

    Append(Rx, Counting(16 * 99 - 3));
    EXPECT_EQ(ScrollBar(), (Bar{99, 11, 89}));
    EXPECT_EQ(TopLine(), 89);

    // A byte of the other direction is a run, and a line, of its own.
    Append(Tx, {0x01});
    EXPECT_EQ(ScrollBar(), (Bar{100, 11, 90}));
    EXPECT_EQ(TopLine(), 90);
    EXPECT_EQ(view().used(), 16u * 99 + 1);

    // Nothing to take changes nothing.
    EXPECT_EQ(view().HexViewAppend(Rx, nullptr, 0), 0u);
    EXPECT_EQ(ScrollBar(), (Bar{100, 11, 90}));
}

TEST_F(HexDumpWndTest, ScrollRequestsAndWheelTurnsMoveTheBarAndTheView)
{
    Append(Rx, Counting(16 * 100));  // 100 lines; the last page starts at 90
    const auto scroll = [this](int code) { view().SendMessage(WM_VSCROLL, MAKEWPARAM(code, 0)); };
    const auto wheel = [this](short delta) {
        view().SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(delta)), MAKELPARAM(10, 10));
    };
    const struct {
        const char* name;
        int from;
        std::function<void()> request;
        int to;
    } cases[] = {
        {"line up at the top", 0, [&] { scroll(SB_LINEUP); }, 0},
        {"line up", 5, [&] { scroll(SB_LINEUP); }, 4},
        {"line down", 5, [&] { scroll(SB_LINEDOWN); }, 6},
        {"line down on the last page", 90, [&] { scroll(SB_LINEDOWN); }, 90},
        {"page up near the top", 3, [&] { scroll(SB_PAGEUP); }, 0},
        {"page up", 50, [&] { scroll(SB_PAGEUP); }, 39},
        {"page down to the last page", 85, [&] { scroll(SB_PAGEDOWN); }, 90},
        {"top", 50, [&] { scroll(SB_TOP); }, 0},
        {"bottom: one line above the last page", 0, [&] { scroll(SB_BOTTOM); }, 89},
        {"end scroll", 50, [&] { scroll(SB_ENDSCROLL); }, 50},
        {"a wheel notch up", 50, [&] { wheel(120); }, 49},
        {"two notches up", 50, [&] { wheel(240); }, 48},
        {"a notch down", 50, [&] { wheel(-120); }, 51},
        {"less than a notch", 50, [&] { wheel(60); }, 50},
        {"three notches down near the end", 89, [&] { wheel(-360); }, 90},
        {"three notches up near the top", 1, [&] { wheel(360); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScrollTo(c.from);
        ASSERT_EQ(TopLine(), c.from);
        c.request();
        EXPECT_EQ(ScrollBar(), (Bar{100, 11, c.to}));
        EXPECT_EQ(TopLine(), c.to);
    }
}

TEST_F(HexDumpWndTest, TheThumbGoesToLinesBeyondWhatSixteenSignedBitsCarry)
{
    // Runs of one byte each are a line each: 40001 lines.
    host_->ShowWindow(SW_HIDE);
    for (int i = 0; i <= 40000; ++i)
        Append(i % 2 ? Tx : Rx, {uint8_t(i)});
    host_->ShowWindow(SW_SHOW);
    ASSERT_EQ(view().model().totalLines(), 40001);
    ScrollTo(0);
    ScrollTo(39000);
    EXPECT_EQ(ScrollBar().pos, 39000);
    EXPECT_EQ(TopLine(), 39000);
}

TEST_F(HexDumpWndTest, ResizingKeepsThePositionUnlessItLiesBeyondTheNewLastPage)
{
    Append(Tx, Counting(16 * 100));
    ScrollTo(50);
    SizeClient(640, 320);  // 21 lines: the last page starts at 80
    EXPECT_EQ(view().linesPerPage(), 21);
    EXPECT_EQ(ScrollBar(), (Bar{100, 21, 50}));
    EXPECT_EQ(TopLine(), 50);

    ScrollTo(80);
    SizeClient(640, 480);  // 31 lines: the last page starts at 70
    EXPECT_EQ(ScrollBar(), (Bar{100, 31, 70}));
    EXPECT_EQ(TopLine(), 70);
}

TEST_F(HexDumpWndTest, ClearLeavesAWhiteViewAndTheNextAppendRestoresTheBar)
{
    Append(Tx, Counting(16 * 100));
    view().UpdateWindow();
    ASSERT_GT(CaptureClient(view()).CountOf(kHexTxColour), 0);

    view().HexViewClear();
    EXPECT_EQ(view().used(), 0u);
    EXPECT_TRUE(view().model().runs().empty());
    EXPECT_EQ(ScrollBar(), (Bar{100, 11, 90}));
    view().UpdateWindow();
    const ViewPixels cleared = CaptureClient(view());
    EXPECT_EQ(cleared.CountOf(GetSysColor(COLOR_WINDOW)), cleared.width * cleared.height);

    Append(Rx, Counting(3));
    EXPECT_EQ(ScrollBar(), (Bar{1, 2, 0}));
    EXPECT_EQ(TopLine(), 0);
}

TEST_F(HexDumpWndTest, PaintsEachRunsLabelAndBytesInItsColourOnTheWindowColour)
{
    Append(Tx, {0x41, 0x0D, 0x42});
    Append(Rx, {0x06});
    view().UpdateWindow();
    const ViewPixels pixels = CaptureClient(view());
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    const int line = kHexLineHeight;
    // Labels, hex digits and characters where the layout puts them.
    const struct {
        const char* what;
        CRect cells;
        COLORREF ink;
    } inked[] = {
        {"TX label", CRect(0, 0, 16, line), kHexTxColour},
        {"41", CRect(32, 0, 48, line), kHexTxColour},
        {"42", CRect(80, 0, 96, line), kHexTxColour},
        {"A.B", CRect(432, 0, 456, line), kHexTxColour},
        {"RX label", CRect(0, line, 16, 2 * line), kHexRxColour},
        {"06", CRect(32, line, 48, 2 * line), kHexRxColour},
        {".", CRect(432, line, 440, 2 * line), kHexRxColour},
    };
    for (const auto& c : inked) {
        SCOPED_TRACE(c.what);
        EXPECT_GT(pixels.CountOf(c.ink, c.cells), 0);
        EXPECT_EQ(pixels.CountOf(c.ink, c.cells) + pixels.CountOf(background, c.cells), c.cells.Width() * c.cells.Height());
    }
    // Gaps and everything below the last line stay the window colour.
    const CRect blank[] = {
        CRect(16, 0, 32, 2 * line),            // between label and hex column
        CRect(48, 0, 56, 2 * line),            // the blank of a byte's cell
        CRect(104, 0, 432, line),              // after the third byte
        CRect(456, 0, pixels.width, line),     // after the characters
        CRect(0, 2 * line, pixels.width, pixels.height),
    };
    for (const CRect& r : blank)
        EXPECT_EQ(pixels.CountOf(background, r), r.Width() * r.Height())
            << r.left << "," << r.top << " - " << r.right << "," << r.bottom;
}

// Records that arrive in quick succession, with the loop running between them
// as it does while a port is busy, are painted together: the view keeps up
// with the data, and what it shows is what painting each one would leave.
TEST_F(HexDumpWndTest, AppendsInQuickSuccessionReachTheScreenTogetherAsEachAloneWouldLeaveIt)
{
    Append(Tx, Counting(16 * 20));
    PumpPending();
    const ViewPixels before = CaptureWindow(view());
    PaintCount count(view().m_hWnd);
    for (int i = 0; i < 30; ++i) {
        Append(i % 2 ? Tx : Rx, Counting(20, uint8_t(i)));
        PumpPending();
    }
    EXPECT_LE(count.paints, 5);
    EXPECT_EQ(ScrollBar(), (Bar{80, 11, 70}));
    EXPECT_EQ(TopLine(), 70);

    ASSERT_TRUE(PumpUntil([&] { return !view().showPending() && !GetUpdateRect(view().m_hWnd, nullptr, FALSE); }));
    const ViewPixels shown = CaptureWindow(view());
    RedrawWindow(view().m_hWnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    const ViewPixels repainted = CaptureWindow(view());
    EXPECT_TRUE(shown.colours == repainted.colours);
    EXPECT_FALSE(shown.colours == before.colours);
}

TEST_F(HexDumpWndTest, SavesTheDumpAsTextLineByLine)
{
    Append(Tx, {0x41, 0x0D, 0x42});
    Append(Rx, {0x06});
    const std::string path = TempPath("view.txt");
    ASSERT_TRUE(view().HexViewSaveText(path.c_str()));
    EXPECT_EQ(FileContents(path), "TX  41 0d 42 " + std::string(3 * 14, ' ') + "A.B\r\n" +
                                   "RX  06 " + std::string(3 * 16, ' ') + ".\r\n");
    DeleteFileA(path.c_str());

    SetLastError(0);
    EXPECT_FALSE(view().HexViewSaveText(TempPath("no-such-folder\\view.txt").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

}  // namespace
