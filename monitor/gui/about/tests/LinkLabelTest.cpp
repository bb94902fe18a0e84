// The link label as a window: clicks on each kind of link, the hand cursor,
// painting, laying out again, and the About box that carries one.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "AboutDlg.h"
#include "AboutResourceIds.h"
#include "LinkLabel.h"
#include "ProductVersion.h"
#include "UiTestSupport.h"

namespace {

constexpr UINT kLabelId = 200;

// The label's parent: keeps the commands and notifications the label sends.
class LabelParent : public CWnd {
public:
    LabelParent() { CreateEx(0, nullptr, "Link Label Test", WS_POPUP | WS_VISIBLE, CRect(0, 0, 640, 120), nullptr, 0); }
    ~LabelParent() override { DestroyWindow(); }

    int commands = 0;
    std::vector<std::string> notified;

protected:
    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {
            OnCommand<kLabelId, &LabelParent::OnLabelCommand>(),
            OnNotify<UINT(NM_CLICK), kLabelId, &LabelParent::OnLabelClick>(),
        };
        static const MessageMap map = MakeMessageMap(CWnd::GetMessageMap(), entries);
        return &map;
    }

private:
    void OnLabelCommand() { ++commands; }
    void OnLabelClick(NMHDR* header, LRESULT*)
    {
        auto* notify = reinterpret_cast<LinkLabelNotify*>(header);
        EXPECT_EQ(header->idFrom, kLabelId);
        notified.push_back(notify->target);
    }
};

// The middle of the first segment with that text.
POINT CentreOf(const CLinkLabel& label, const std::string& text)
{
    for (const LabelSegment& s : label.Layout().segments)
        if (s.text == text)
            return POINT{(s.rect.left + s.rect.right) / 2, (s.rect.top + s.rect.bottom) / 2};
    ADD_FAILURE() << "no segment \"" << text << "\"";
    return POINT{-1, -1};
}

void ClickAt(CLinkLabel& label, POINT point)
{
    label.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    label.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
}

class LinkLabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(parent.m_hWnd, nullptr);
        ASSERT_TRUE(label.Create("Plain ~cmd~ ~note|Nthe target~ ~shell|Sc:\\docs\\readme.txt~ "
                                 "~context|W42~ ~topic|hpm_hex_dump.htm~",
                                 WS_CHILD | WS_VISIBLE | SS_LEFT, CRect(10, 10, 630, 40), &parent, kLabelId));
        TestApp().helpTopics.clear();
    }

    LabelParent parent;
    CLinkLabel label;
};

TEST_F(LinkLabelTest, AClickOnEachKindOfLinkReachesItsReceiver)
{
    std::vector<ShellRequest> shell;
    ScopedSeam<ShellAnswer> shellSeam(SetShellAnswer, [&](const ShellRequest& request) {
        shell.push_back(request);
        return reinterpret_cast<HINSTANCE>(33);
    });
    std::vector<HelpRequest> help;
    ScopedSeam<HelpAnswer> helpSeam(SetHelpAnswer, [&](const HelpRequest& request) {
        help.push_back(request);
        return TRUE;
    });
    EXPECT_TRUE(label.GetStyle() & SS_NOTIFY);
    ASSERT_EQ(label.Layout().links.size(), 5u);

    ClickAt(label, CentreOf(label, "Plain "));
    ClickAt(label, CentreOf(label, "cmd"));
    EXPECT_EQ(parent.commands, 1);
    ClickAt(label, CentreOf(label, "note"));
    EXPECT_EQ(parent.notified, std::vector<std::string>{"the target"});
    ClickAt(label, CentreOf(label, "shell"));
    ASSERT_EQ(shell.size(), 1u);
    EXPECT_EQ(shell[0].verb, "open");
    EXPECT_EQ(shell[0].file, "c:\\docs\\readme.txt");
    EXPECT_EQ(shell[0].parameters, "");
    EXPECT_EQ(shell[0].show, SW_SHOWNORMAL);
    ClickAt(label, CentreOf(label, "context"));
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0].command, UINT(HELP_CONTEXT));
    EXPECT_EQ(help[0].data, 42u);
    ClickAt(label, CentreOf(label, "topic"));
    EXPECT_EQ(TestApp().helpTopics, std::vector<std::string>{"pm_hex_dump.htm"});
    // Nothing else was reached.
    EXPECT_EQ(parent.commands, 1);
    EXPECT_EQ(parent.notified.size(), 1u);
    EXPECT_EQ(shell.size(), 1u);
}

TEST_F(LinkLabelTest, TheHandShowsOverLinksOnly)
{
    auto cursorOver = [&](POINT client) {
        POINT screen = client;
        ClientToScreen(label.m_hWnd, &screen);
        SetCursorPos(screen.x, screen.y);
        SetCursor(nullptr);
        label.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(label.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    HCURSOR overLink = cursorOver(CentreOf(label, "cmd"));
    HCURSOR overText = cursorOver(CentreOf(label, "Plain "));
    EXPECT_NE(overLink, nullptr);
    EXPECT_NE(overLink, overText);
    EXPECT_EQ(overText, reinterpret_cast<HCURSOR>(GetClassLongPtrA(label.m_hWnd, GCLP_HCURSOR)));
}

TEST_F(LinkLabelTest, LinksArePaintedInBlueAndPlainTextIsNot)
{
    label.Invalidate();
    label.UpdateWindow();
    auto bluePixels = [&](const std::string& text) {
        RECT r{};
        for (const LabelSegment& s : label.Layout().segments)
            if (s.text == text)
                r = s.rect;
        HDC dc = GetDC(label.m_hWnd);
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                count += GetPixel(dc, x, y) == CLinkLabel::kLinkColour;
        ReleaseDC(label.m_hWnd, dc);
        return count;
    };
    EXPECT_GT(bluePixels("shell"), 0);
    EXPECT_EQ(bluePixels("Plain "), 0);
}

TEST_F(LinkLabelTest, NewTextFontOrSizeLaysTheLabelOutAgain)
{
    label.SetWindowText("Only ~one|Sa~ link");
    ASSERT_EQ(label.Layout().links.size(), 1u);
    EXPECT_EQ(label.Layout().links[0].target, "a");

    const int lineHeight = label.Layout().segments[0].rect.bottom - label.Layout().segments[0].rect.top;
    LOGFONTA big{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof big, &big);
    big.lfHeight = -40;
    HFONT font = CreateFontIndirectA(&big);
    label.SetFont(font);
    EXPECT_GT(label.Layout().segments[0].rect.bottom - label.Layout().segments[0].rect.top, lineHeight);
    const int wideRight = label.Layout().segments[0].rect.right;

    // Narrower: the words go onto lines of their own.
    label.MoveWindow(CRect(10, 10, 10 + wideRight + 2, 200));
    std::vector<int> tops;
    for (const LabelSegment& s : label.Layout().segments)
        if (!s.text.empty())
            tops.push_back(s.rect.top);
    EXPECT_GT(tops.back(), tops.front());
    label.DestroyWindow();
    DeleteObject(font);
}

TEST(AboutBox, ShowsTheProductVersionAndOpensTheMakersPageThroughTheShell)
{
    std::vector<std::string> opened;
    ScopedSeam<ShellAnswer> shell(SetShellAnswer, [&](const ShellRequest& request) {
        opened.push_back(request.verb + " " + request.file);
        return reinterpret_cast<HINSTANCE>(33);
    });
    ModalSteps driver([&](CWnd& modal) {
        auto* about = dynamic_cast<CAboutDlg*>(&modal);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(TextOf(about->m_hWnd), "About Pelko Monitor");
        EXPECT_EQ(TextOf(about->GetDlgItem(IDC_ABOUT_VERSION)), "Version " QUEL_PRODUCT_VERSION_TEXT);
        EXPECT_EQ(CWnd::FromHandle(about->GetDlgItem(IDC_ABOUT_LINK)), &about->m_link);
        const LabelLayout& layout = about->m_link.Layout();
        ASSERT_EQ(layout.links.size(), 1u);
        EXPECT_EQ(layout.links[0].kind, LinkShell);
        ClickAt(about->m_link, CentreOf(about->m_link, "www.pelko.example"));
        Click(about->m_hWnd, IDOK);
    });
    CAboutDlg about;
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_EQ(driver.runs, 1);
    EXPECT_EQ(opened, std::vector<std::string>{"open http://www.pelko.example/"});
}

TEST(AboutBox, ThePictureStandsOnTheDialogsFace)
{
    ModalSteps driver([&](CWnd& modal) {
        HWND picture = modal.GetDlgItem(IDC_ABOUT_PICTURE);
        ASSERT_NE(picture, nullptr);
        RECT area{};
        GetWindowRect(picture, &area);
        EXPECT_GE(area.right - area.left, 32);  // the whole picture shows
        auto bitmap = reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(bitmap, nullptr);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        EXPECT_EQ(GetPixel(dc, 0, 0), GetSysColor(COLOR_BTNFACE));
        SelectObject(dc, old);
        DeleteDC(dc);
        Click(modal.m_hWnd, IDOK);
    });
    CAboutDlg about;
    EXPECT_EQ(about.DoModal(), IDOK);
}

TEST(AboutBox, DISABLED_Scene_AboutBox)
{
    ModalSteps driver([&](CWnd& modal) {
        SetWindowPos(modal.m_hWnd, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        HoldForScreenshot();
        Click(modal.m_hWnd, IDOK);
    });
    CAboutDlg about;
    about.DoModal();
}

}  // namespace
