// The frame as the program runs it: keys through pre-translation and accelerators,
// the layout of bars and pane, prompts in the status bar, closing and deletion.
#include <windows.h>
#include <commctrl.h>

#include <stdexcept>

#include "DemoIds.h"
#include "Shell.h"
#include "TestSupport.h"

namespace {

using FrameTest = DemoAppTest;

void PostKey(HWND window, UINT key)
{
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

TEST_F(FrameTest, PreTranslationConsumesTheFramesKeyBeforeDispatch)
{
    PostKey(frame->m_notes.m_hWnd, VK_ESCAPE);
    PumpPending();
    EXPECT_EQ(frame->m_escapes, 1);
    EXPECT_EQ(PaneText(0), "Esc pressed");
}

TEST_F(FrameTest, AnAcceleratorRunsItsCommandOncePerKeyPress)
{
    PostKey(frame->m_notes.m_hWnd, VK_F5);
    PumpPending();
    EXPECT_EQ(app.m_notesAdded, 1);
    EXPECT_EQ(PaneText(1), "1 note");
    PostKey(frame->m_notes.m_hWnd, VK_F5);
    PumpPending();
    EXPECT_EQ(app.m_notesAdded, 2);
}

struct Layout {
    CRect client, toolbar, status, pane;
};

Layout LayoutOf(CDemoFrame* frame)
{
    auto inFrame = [frame](HWND child) {
        CRect r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, frame->m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    return {frame->GetClientRect(), inFrame(frame->m_toolBar.m_hWnd), inFrame(frame->m_statusBar.m_hWnd),
            inFrame(frame->m_notes.m_hWnd)};
}

TEST_F(FrameTest, BarsAndPaneShareTheClientAreaAfterResizeAndHiding)
{
    for (CRect size : {CRect(0, 0, 640, 480), CRect(10, 10, 410, 310), CRect(0, 0, 800, 600)}) {
        frame->MoveWindow(size);
        Layout l = LayoutOf(frame);
        SCOPED_TRACE(testing::Message() << "client " << l.client.Width() << "x" << l.client.Height());
        EXPECT_EQ(l.toolbar.top, 0);
        EXPECT_EQ(l.toolbar.Width(), l.client.Width());
        EXPECT_GT(l.toolbar.Height(), 15);
        EXPECT_EQ(l.status.bottom, l.client.bottom);
        EXPECT_EQ(l.status.Width(), l.client.Width());
        EXPECT_GT(l.status.Height(), 0);
        EXPECT_EQ(l.pane, CRect(0, l.toolbar.bottom, l.client.right, l.status.top));
    }

    Command(ID_VIEW_TOOLBAR);
    Layout hidden = LayoutOf(frame);
    EXPECT_EQ(hidden.pane, CRect(0, 0, hidden.client.right, hidden.status.top));
    Command(ID_VIEW_STATUS_BAR);
    EXPECT_EQ(LayoutOf(frame).pane, frame->GetClientRect());
}

TEST_F(FrameTest, MenuAndToolbarPromptsShowInTheFirstPane)
{
    EXPECT_EQ(PaneText(0), "Ready");
    HMENU file = GetSubMenu(frame->GetMenu(), 0);
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_NOTE_ADD, MF_HILITE), reinterpret_cast<LPARAM>(file));
    EXPECT_EQ(PaneText(0), "Add a note at the end of the list");
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP | MF_HILITE),
                       reinterpret_cast<LPARAM>(frame->GetMenu()));
    EXPECT_EQ(PaneText(0), "");
    frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(PaneText(0), "Ready");

    NMTBHOTITEM hot{};
    hot.hdr = {frame->m_toolBar.m_hWnd, IDW_TOOLBAR, UINT(TBN_HOTITEMCHANGE)};
    hot.idNew = ID_SETTINGS;
    hot.dwFlags = HICF_MOUSE;
    frame->SendMessage(WM_NOTIFY, IDW_TOOLBAR, reinterpret_cast<LPARAM>(&hot));
    EXPECT_EQ(PaneText(0), "Change the program's settings");
    hot.dwFlags = HICF_LEAVING;
    frame->SendMessage(WM_NOTIFY, IDW_TOOLBAR, reinterpret_cast<LPARAM>(&hot));
    EXPECT_EQ(PaneText(0), "Ready");
}

TEST_F(FrameTest, ToolbarTooltipsAreTheTextsAfterTheNewline)
{
    NMTTDISPINFOA tip{};
    tip.hdr = {nullptr, ID_NOTE_ADD, UINT(TTN_GETDISPINFOA)};
    frame->SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
    EXPECT_STREQ(tip.szText, "Add Note");
    NMTTDISPINFOW wide{};
    wide.hdr = {nullptr, ID_EDIT_COPY, UINT(TTN_GETDISPINFOW)};
    frame->SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&wide));
    EXPECT_STREQ(wide.szText, L"Copy");
}

TEST_F(FrameTest, CloseAsksAndTheFrameDeletesItselfOnceItsWindowIsGone)
{
    {
        MessageBoxLog boxes(IDCANCEL);
        frame->SendMessage(WM_CLOSE);
        ASSERT_EQ(boxes.texts, std::vector<std::string>{"Close Frame Demo?"});
        EXPECT_EQ(boxes.types[0], UINT(MB_OKCANCEL | MB_ICONQUESTION));
        EXPECT_TRUE(IsWindow(frame->m_hWnd));
        EXPECT_EQ(CDemoFrame::LiveCount(), 1);
    }
    MessageBoxLog boxes(IDOK);
    HWND window = frame->m_hWnd;
    frame->SendMessage(WM_CLOSE);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(CDemoFrame::LiveCount(), 0);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    frame = nullptr;
}

TEST_F(FrameTest, DeletingAFrameWhoseWindowLivesDestroysTheWindowOnce)
{
    HWND window = frame->m_hWnd;
    app.m_pMainWnd = nullptr;
    delete frame;
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(CDemoFrame::LiveCount(), 0);
}

// A frame whose creation fails, by its own refusal or by an exception.
class FailingFrame : public CDemoFrame {
public:
    explicit FailingFrame(bool throws) : m_throws(throws) {}

protected:
    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {OnWmCreate<&FailingFrame::OnCreate>()};
        static const MessageMap map = MakeMessageMap(CDemoFrame::GetMessageMap(), entries);
        return &map;
    }
    int OnCreate(CREATESTRUCTA*)
    {
        if (m_throws)
            throw std::runtime_error("no resources");
        return -1;
    }
    bool m_throws;
};

TEST_F(FrameTest, AFrameThatFailsToCreateIsDeletedAndReportsFailure)
{
    for (bool throws : {false, true}) {
        MessageBoxLog boxes;
        auto* failing = new FailingFrame(throws);
        EXPECT_EQ(CDemoFrame::LiveCount(), 2);
        EXPECT_FALSE(failing->LoadFrame(IDR_MAINFRAME));
        EXPECT_EQ(CDemoFrame::LiveCount(), 1) << "throws " << throws;
        EXPECT_EQ(boxes.texts, throws ? std::vector<std::string>{"no resources"} : std::vector<std::string>{});
    }
}

// A frame of a class that other programs find by its name.
class NamedFrame : public CDemoFrame {
public:
    static constexpr char kClass[] = "QuelFwTest.NamedFrame";

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override
    {
        CDemoFrame::PreCreateWindow(cs);
        cs.lpszClass = RegisterNamedWndClass(kClass, 0);
        return cs.lpszClass != nullptr;
    }
};

TEST_F(FrameTest, AFrameOfANamedClassIsFoundByTheNameAndServedByItsMap)
{
    auto* named = new NamedFrame;
    ASSERT_TRUE(named->LoadFrame(IDR_MAINFRAME));
    EXPECT_EQ(FindWindowA(NamedFrame::kClass, nullptr), named->m_hWnd);
    EXPECT_EQ(CWnd::FromHandle(named->m_hWnd), named);
    EXPECT_NE(named->m_notes.m_hWnd, nullptr) << "its WM_CREATE ran";
    EXPECT_STREQ(RegisterNamedWndClass(NamedFrame::kClass, CS_DBLCLKS), NamedFrame::kClass);
    named->DestroyWindow();
    EXPECT_EQ(CDemoFrame::LiveCount(), 1);

    // A name that a class of another window procedure holds is refused.
    WNDCLASSA foreign{};
    foreign.lpfnWndProc = DefWindowProcA;
    foreign.hInstance = GetModuleHandleA(nullptr);
    foreign.lpszClassName = "QuelFwTest.Foreign";
    ASSERT_TRUE(RegisterClassA(&foreign));
    EXPECT_EQ(RegisterNamedWndClass("QuelFwTest.Foreign", 0), nullptr);
    EXPECT_EQ(RegisterNamedWndClass("", 0), nullptr);
}

TEST(NotifyIcon, TheSeamGetsEveryRequestWithItsRecordAndAnswersForTheShell)
{
    std::vector<std::pair<DWORD, NOTIFYICONDATAA>> requests;
    ScopedSeam<NotifyIconAnswer> seam(SetNotifyIconAnswer, [&](DWORD message, const NOTIFYICONDATAA& data) {
        requests.emplace_back(message, data);
        return message != NIM_DELETE;
    });
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.uID = 7;
    data.uFlags = NIF_TIP;
    lstrcpyA(data.szTip, "tip");
    EXPECT_TRUE(NotifyIcon(NIM_ADD, &data));
    EXPECT_FALSE(NotifyIcon(NIM_DELETE, &data));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].first, DWORD(NIM_ADD));
    EXPECT_EQ(requests[1].first, DWORD(NIM_DELETE));
    EXPECT_EQ(requests[0].second.uID, 7u);
    EXPECT_STREQ(requests[0].second.szTip, "tip");
}

}  // namespace
