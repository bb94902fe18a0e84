// The same controls with real windows: the state reaches the windows through
// the wide API, and what the user does in a window comes back into the state.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <random>
#include <string>
#include <vector>

#include "forms/Application.h"
#include "forms/Button.h"
#include "forms/ComboBox.h"
#include "forms/Edit.h"
#include "forms/Form.h"
#include "forms/ListView.h"
#include "forms/MaskEdit.h"
#include "forms/Memo.h"
#include "forms/PageControl.h"
#include "forms/SpinEdit.h"
#include "forms/Static.h"
#include "forms/tests/Keyboard.h"
#include "rtl/Application.h"

namespace forms {
namespace {

using test::Press;
using test::PressAlt;

std::wstring TextOf(HWND window)
{
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return buffer;
}

// The window's text as the control gives it back, split into its lines.
std::vector<std::wstring> WindowLines(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], length + 1)));
    std::vector<std::wstring> lines;
    size_t begin = 0;
    for (size_t end; (end = text.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2)
        lines.push_back(text.substr(begin, end - begin));
    lines.push_back(text.substr(begin));
    return lines;
}

// The window's own visible flag, whether or not its parents are shown.
bool Shown(HWND window)
{
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rtl::StartRuntime();
        app = new TApplication();
        form = rtl::Create<TForm>(nullptr);
        form->SetBounds(0, 0, 640, 480);
        form->SetCaption(L"Form1");
    }
    void TearDown() override
    {
        form->Free();
        delete app;
        rtl::StopRuntime();
    }
    template <class T>
    T* Make(TControl* parent)
    {
        T* control = rtl::Create<T>(form);
        control->SetParent(parent);
        return control;
    }

    TApplication* app = nullptr;
    TForm* form = nullptr;
};

TEST_F(WindowTest, RussianTextsReadBackFromTheWindows)
{
    auto* button = Make<TButton>(form);
    button->SetCaption(L"Запустить");
    auto* label = Make<TLabel>(form);
    label->SetCaption(L"Введите команду");
    auto* list = Make<TListView>(form);
    list->AddColumn(L"IP", 150);
    list->AddColumn(L"Тип устройства", 100);
    list->Add(L"10.0.0.1", {L"Подключен"});
    form->Show();
    ASSERT_TRUE(IsWindowVisible(button->Handle()));
    ASSERT_TRUE(IsWindowUnicode(button->Handle()));
    EXPECT_EQ(TextOf(button->Handle()), L"Запустить");
    EXPECT_EQ(TextOf(label->Handle()), L"Введите команду");

    // Changes after the window exists reach it too.
    button->SetCaption(L"Остановить");
    EXPECT_EQ(TextOf(button->Handle()), L"Остановить");
    list->Add(L"10.0.0.2", {L"Отключен"});
    wchar_t text[64] = {};
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(list->Handle(), LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, L"Отключен");
    wchar_t header[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = header;
    column.cchTextMax = 64;
    SendMessageW(list->Handle(), LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    EXPECT_STREQ(header, L"Тип устройства");
    EXPECT_EQ(SendMessageW(list->Handle(), LVM_GETITEMCOUNT, 0, 0), 2);
    list->Delete(0);
    EXPECT_EQ(SendMessageW(list->Handle(), LVM_GETITEMCOUNT, 0, 0), 1);
}

TEST_F(WindowTest, MemoHoldsMoreThanTheDefaultEditLimit)
{
    auto* memo = Make<TMemo>(form);
    memo->SetAlign(TAlign::alClient);
    form->CreateHandle();
    const std::wstring line(99, L'ж');
    memo->Lines().BeginUpdate();
    for (int i = 0; i < 500; ++i)
        memo->Lines().Add(line);
    memo->Lines().EndUpdate();
    memo->ScrollToEnd();
    EXPECT_EQ(GetWindowTextLengthW(memo->Handle()), 500 * 99 + 499 * 2);
    EXPECT_EQ(memo->Width(), form->ClientRect().Width());

    // Text typed into the window becomes the line model.
    SendMessageW(memo->Handle(), EM_SETSEL, 0, -1);
    SendMessageW(memo->Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"one\r\ntwo"));
    ASSERT_EQ(memo->Lines().Count(), 2);
    EXPECT_EQ(memo->Lines()[1], L"two");
}

// A NUL would end the window's text and a CR or LF break its line: every
// control character shows as its code, and every line after it stays.
TEST_F(WindowTest, MemoShowsControlCharactersAndEveryLineAfterThem)
{
    auto* memo = Make<TMemo>(form);
    form->CreateHandle();
    std::wstring withNul = L"$127B";
    withNul += L'\0';
    withNul += L"AB\x01\x1F\x7F\x98";
    memo->Lines().Add(withNul);
    memo->Lines().BeginUpdate();
    memo->Lines().Add(L"a\rb\nc\td\x1B");
    memo->Lines().Add(L"$127BPING5C");
    memo->Lines().EndUpdate();
    memo->Lines().Add(L"Привет <0D>");
    const std::vector<std::wstring> expected = {L"$127B<00>AB<01><1F><7F><98>", L"a<0D>b<0A>c<09>d<1B>",
                                                L"$127BPING5C", L"Привет <0D>"};
    EXPECT_EQ(WindowLines(memo->Handle()), expected);
    EXPECT_EQ(SendMessageW(memo->Handle(), EM_GETLINECOUNT, 0, 0), 4);
    // The lines themselves keep what arrived.
    EXPECT_EQ(memo->Lines()[0], withNul);

    // Taken whole, after a line in the middle went, the text shows the same.
    memo->Lines().Delete(2);
    EXPECT_EQ(WindowLines(memo->Handle()), (std::vector<std::wstring>{expected[0], expected[1], expected[3]}));
}

// Edit by edit, brackets or not, the window shows exactly the lines.
TEST_F(WindowTest, MemoWindowFollowsEveryEdit)
{
    auto* memo = Make<TMemo>(form);
    form->CreateHandle();
    TLines& lines = memo->Lines();
    std::minstd_rand random(20240611);
    int next = 0;
    for (int step = 0; step < 600; ++step) {
        const unsigned kind = random() % 16;
        const bool bracket = random() % 2 == 0;
        if (bracket)
            lines.BeginUpdate();
        if (kind < 8 || lines.Count() == 0) {
            lines.Add(kind == 0 ? L"" : L"line " + std::to_wstring(++next));
        } else if (kind < 11) {
            lines.Delete(0);
        } else if (kind < 13) {
            lines.Delete(lines.Count() - 1);
        } else if (kind == 13) {
            lines.Delete(static_cast<int>(random() % static_cast<unsigned>(lines.Count())));
        } else if (kind == 14) {
            // The log's trim: the oldest lines dropped, then one added.
            for (int i = 0; i < 5 && lines.Count() > 0; ++i)
                lines.Delete(0);
            lines.Add(L"line " + std::to_wstring(++next));
        } else if (random() % 8 == 0) {
            lines.Clear();
        } else {
            lines.SetText(L"first\r\nsecond");
        }
        if (bracket)
            lines.EndUpdate();
        std::vector<std::wstring> expected;
        for (int i = 0; i < lines.Count(); ++i)
            expected.push_back(lines[i]);
        if (expected.empty())
            expected.push_back(L"");  // an empty window still has its one line
        ASSERT_EQ(WindowLines(memo->Handle()), expected) << "step " << step << ", kind " << kind;
    }
}

// Lines that come faster than the window takes them wait for its timer, with
// the scroll to the end; the window then shows them all at once.
TEST_F(WindowTest, MemoWindowTakesQuickLinesTogether)
{
    auto* memo = Make<TMemo>(form);
    form->Show();
    SetFocus(memo->Handle());
    TLines& lines = memo->Lines();
    // At least 30 lines, and more until some wait: on a slow machine a line
    // can come later than the interval and show at once. The scroll asked for
    // after them waits with them.
    int count = 0;
    while (count < 30 || (lines.PendingEdit().Empty() && count < 300))
        lines.Add(L"line " + std::to_wstring(count++));
    if (lines.PendingEdit().Empty())
        GTEST_SKIP() << "the machine was too slow: no line came within the interval after the one before";
    memo->ScrollToEnd();
    const DWORD start = GetTickCount();
    while (!lines.PendingEdit().Empty() && GetTickCount() - start < 5000) {
        rtl::Application()->ProcessMessages();
        Sleep(10);
    }
    ASSERT_TRUE(lines.PendingEdit().Empty()) << "the timer did not show the lines";
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(memo->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    const std::vector<std::wstring> shown = WindowLines(memo->Handle());
    ASSERT_EQ(shown.size(), static_cast<size_t>(count));
    EXPECT_EQ(shown.back(), L"line " + std::to_wstring(count - 1));
    EXPECT_EQ(selStart, static_cast<DWORD>(GetWindowTextLengthW(memo->Handle())));
    EXPECT_EQ(GetFocus(), memo->Handle());  // kept while the window took the lines
    EXPECT_TRUE(IsWindowVisible(memo->Handle()));
}

// A window whose showing again costs more than the memo's show interval, as
// its redraw does in an emulated PC under load.
LRESULT CALLBACK SlowToShow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_SHOWWINDOW && wParam)
        Sleep(150);
    return DefSubclassProc(window, message, wParam, lParam);
}

// The interval runs from the window shown again: a line right after a slow
// show waits with the next ones instead of costing another show of its own.
TEST_F(WindowTest, MemoLineRightAfterASlowShowWaitsForTheInterval)
{
    auto* memo = Make<TMemo>(form);
    form->Show();
    ASSERT_TRUE(SetWindowSubclass(memo->Handle(), SlowToShow, 1, 0));
    TLines& lines = memo->Lines();
    lines.Add(L"first");
    ASSERT_TRUE(lines.PendingEdit().Empty()) << "the first line shows at once";
    lines.Add(L"second");
    EXPECT_FALSE(lines.PendingEdit().Empty()) << "the second line was shown at once";
    RemoveWindowSubclass(memo->Handle(), SlowToShow, 1);
}

TEST_F(WindowTest, TabAndShiftTabMoveThroughTheControlsAndTheShownPage)
{
    auto* first = Make<TEdit>(form);
    auto* panel = Make<TPanel>(form);
    auto* button = Make<TButton>(panel);
    auto* memo = Make<TMemo>(panel);
    auto* label = Make<TLabel>(form);
    label->SetCaption(L"no stop");
    auto* pages = Make<TPageControl>(form);
    TTabSheet* sheets[2];
    for (TTabSheet*& sheet : sheets) {
        sheet = rtl::Create<TTabSheet>(form);
        sheet->SetCaption(L"Страница");
        sheet->SetPageControl(pages);
    }
    auto* onPage = Make<TEdit>(sheets[0]);
    auto* disabled = Make<TButton>(sheets[0]);
    disabled->SetEnabled(false);
    auto* pageButton = Make<TButton>(sheets[0]);
    auto* otherPage = Make<TEdit>(sheets[1]);
    first->SetText(L"typed");
    form->Show();
    // Activated, the form focuses its first control.
    ASSERT_EQ(GetFocus(), first->Handle());

    const HWND forward[] = {button->Handle(), memo->Handle(), pages->Handle(), onPage->Handle(),
                            pageButton->Handle(), first->Handle()};
    for (HWND expected : forward) {
        Press(VK_TAB);
        EXPECT_EQ(GetFocus(), expected) << TControl::FromHandle(GetFocus())->Name();
    }
    DWORD selStart = 1, selEnd = 0;
    SendMessageW(first->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    EXPECT_EQ(selStart, 0u);  // reached by Tab, the edit's text is selected
    EXPECT_EQ(selEnd, 5u);
    Press(VK_TAB, true);
    EXPECT_EQ(GetFocus(), pageButton->Handle());
    Press(VK_TAB, true);
    EXPECT_EQ(GetFocus(), onPage->Handle());

    // Tab leaves the memo and types nothing into it.
    SetFocus(memo->Handle());
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), pages->Handle());
    EXPECT_EQ(memo->Lines().Count(), 0);

    // The controls of the page shown, not of the hidden one.
    pages->SetActivePageIndex(1);
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), otherPage->Handle());
}

TEST_F(WindowTest, EnterPressesTheFocusedButtonElseTheDefaultOne)
{
    std::vector<std::string> clicks;
    const auto counted = [&](TButton* button, const char* name) {
        button->SetName(name);
        button->OnClick = [&clicks, name](rtl::TObject*) { clicks.push_back(name); };
    };
    auto* edit = Make<TEdit>(form);
    auto* one = Make<TButton>(form);
    counted(one, "one");
    auto* byDefault = Make<TButton>(form);
    counted(byDefault, "default");
    byDefault->SetDefault(true);
    auto* memo = Make<TMemo>(form);
    form->Show();

    const auto looksDefault = [](TButton* button) {
        return (GetWindowLongW(button->Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON) != 0;
    };
    // A focused button is pressed and looks the default meanwhile; elsewhere
    // the default button is.
    const struct {
        TControl* focus;
        const char* pressed;
        TButton* lookingDefault;
        TButton* lookingPlain;
    } steps[] = {{one, "one", one, byDefault}, {edit, "default", byDefault, one}};
    for (const auto& step : steps) {
        clicks.clear();
        SetFocus(step.focus->Handle());
        Press(VK_RETURN);
        EXPECT_EQ(clicks, std::vector<std::string>{step.pressed});
        EXPECT_TRUE(looksDefault(step.lookingDefault)) << step.pressed;
        EXPECT_FALSE(looksDefault(step.lookingPlain)) << step.pressed;
    }

    // A memo takes Enter as a new line; a hidden default button is not pressed.
    clicks.clear();
    SetFocus(memo->Handle());
    PostMessageW(memo->Handle(), WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(memo->Handle(), WM_CHAR, L'\r', 1);
    ProcessFormMessages();
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(memo->Lines().Count(), 2);
    byDefault->SetVisible(false);
    SetFocus(edit->Handle());
    Press(VK_RETURN);
    EXPECT_TRUE(clicks.empty());
}

TEST_F(WindowTest, AltWithACaptionsUnderlinedLetterPressesOrFocuses)
{
    int clicks = 0;
    auto* button = Make<TButton>(form);
    button->SetCaption(L"&Запустить");
    button->OnClick = [&](rtl::TObject*) { ++clicks; };
    auto* label = Make<TLabel>(form);
    label->SetCaption(L"&Номер реле");
    auto* edit = Make<TEdit>(form);
    auto* other = Make<TEdit>(form);
    form->Show();
    SetFocus(other->Handle());

    PressAlt(L'з');
    EXPECT_EQ(clicks, 1);
    PressAlt(L'н');
    EXPECT_EQ(GetFocus(), edit->Handle());  // the control after the label
    EXPECT_EQ(clicks, 1);
}

// A column is never narrower than its caption, and an AutoSize column takes
// the width the others leave, also once the list has a scroll bar or another
// size; where they leave less, it keeps its own.
TEST_F(WindowTest, ListColumnsShowTheirCaptionsAndAnAutoSizeOneFillsTheList)
{
    auto* list = Make<TListView>(form);
    list->SetBounds(0, 0, 500, 120);
    list->AddColumn(L"Параметр", 150);
    const wchar_t longCaption[] = L"Время ожидания прохода";
    list->AddColumn(longCaption, 20);
    form->CreateHandle();
    list->AddColumn(L"Значение", 100, true);
    const HWND h = list->Handle();
    const auto width = [h](int column) { return static_cast<int>(SendMessageW(h, LVM_GETCOLUMNWIDTH, column, 0)); };
    const auto filled = [&] {
        RECT client{};
        GetClientRect(h, &client);
        return width(0) + width(1) + width(2) == client.right;
    };
    EXPECT_EQ(width(0), 150);
    EXPECT_GT(width(1), SendMessageW(h, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(longCaption)));
    EXPECT_TRUE(filled());
    for (int i = 0; i < 30; ++i)
        list->Add(L"row", {L"", L"Динамический ключ"});
    EXPECT_TRUE(filled()) << "after the scroll bar came";
    list->SetBounds(0, 0, 800, 120);
    EXPECT_TRUE(filled()) << "wider";
    list->SetBounds(0, 0, 200, 120);
    EXPECT_EQ(width(2), 100);
}

TEST_F(WindowTest, UserInputComesBackIntoTheState)
{
    int clicks = 0;
    auto* button = Make<TButton>(form);
    button->OnClick = [&](rtl::TObject* sender) { clicks += sender == button; };
    auto* spin = Make<TSpinEdit>(form);
    spin->SetRange(0, 4);
    auto* time = Make<TMaskEdit>(form);
    time->SetEditMask(L"9.9;1;_");
    auto* combo = Make<TComboBox>(form);
    combo->AddItem(L"A");
    combo->AddItem(L"B");
    auto* list = Make<TListView>(form);
    list->SetRowSelect(true);
    list->AddColumn(L"IP", 150);
    list->Add(L"10.0.0.1");
    list->Add(L"10.0.0.2");
    int selectedRow = -1;
    list->OnSelectItem = [&](rtl::TObject*, int row, bool selected) {
        if (selected)
            selectedRow = row;
    };
    form->CreateHandle();

    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);

    SetWindowTextW(spin->Handle(), L"3");
    EXPECT_EQ(spin->Value(), 3);
    SetWindowTextW(spin->Handle(), L"");
    EXPECT_EQ(spin->Value(), 3);

    EXPECT_EQ(TextOf(time->Handle()), L"_._");
    SendMessageW(time->Handle(), EM_SETSEL, 0, 0);
    for (wchar_t ch : {L'0', L'x', L'5'})
        SendMessageW(time->Handle(), WM_CHAR, ch, 0);
    EXPECT_EQ(time->Text(), L"0.5");
    EXPECT_EQ(TextOf(time->Handle()), L"0.5");
    SendMessageW(time->Handle(), EM_SETSEL, 3, 3);
    SendMessageW(time->Handle(), WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(time->Text(), L"0. ");
    time->SetText(L"1.0");
    EXPECT_EQ(TextOf(time->Handle()), L"1.0");

    SendMessageW(combo->Handle(), CB_SETCURSEL, 1, 0);
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo->Handle()));
    EXPECT_EQ(combo->Text(), L"B");

    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list->Handle(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(selectedRow, 1);
    list->SetItemIndex(0);
    EXPECT_EQ(SendMessageW(list->Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
}

TEST_F(WindowTest, PagesSwitchWithTheirTabs)
{
    auto* pages = Make<TPageControl>(form);
    pages->SetAlign(TAlign::alClient);
    TTabSheet* sheets[2];
    const wchar_t* captions[] = {L"Паника", L"Проходы"};
    for (int i = 0; i < 2; ++i) {
        sheets[i] = rtl::Create<TTabSheet>(form);
        sheets[i]->SetCaption(captions[i]);
        sheets[i]->SetPageControl(pages);
    }
    auto* button = Make<TButton>(sheets[1]);
    int clicks = 0;
    button->OnClick = [&](rtl::TObject*) { ++clicks; };
    form->CreateHandle();
    EXPECT_TRUE(Shown(sheets[0]->Handle()));
    EXPECT_FALSE(Shown(sheets[1]->Handle()));

    SendMessageW(pages->Handle(), TCM_SETCURSEL, 1, 0);
    NMHDR change{pages->Handle(), static_cast<UINT_PTR>(GetDlgCtrlID(pages->Handle())),
                 static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(form->Handle(), WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(pages->ActivePageIndex(), 1);
    EXPECT_TRUE(Shown(sheets[1]->Handle()));
    EXPECT_FALSE(Shown(sheets[0]->Handle()));

    // A button on a page reports to its page, which hands the click on.
    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
}

// A number typed beyond the range is pulled into it in the window too, so
// the user sees the value that will be sent.
TEST_F(WindowTest, ASpinEditShowsTheValueItHolds)
{
    auto* spin = Make<TSpinEdit>(form);
    spin->SetRange(0, 4);
    form->CreateHandle();
    SetWindowTextW(spin->Handle(), L"7");
    EXPECT_EQ(spin->Value(), 4);
    EXPECT_EQ(TextOf(spin->Handle()), L"4");
    EXPECT_EQ(spin->Text(), L"4");
}

// A bevel is a frame drawn around other controls: they must stay visible
// inside it, whichever of them was made first.
TEST_F(WindowTest, ControlsInsideABevelStayVisible)
{
    auto* bevel = Make<TBevel>(form);
    bevel->SetBounds(4, 4, 300, 64);
    auto* label = Make<TLabel>(form);
    label->SetBounds(12, 12, 80, 16);
    label->SetCaption(L"Номер реле");
    auto* button = Make<TButton>(form);
    button->SetBounds(150, 30, 90, 25);
    form->Show();
    for (TControl* inside : {static_cast<TControl*>(label), static_cast<TControl*>(button)}) {
        HDC dc = GetDC(inside->Handle());
        RECT visible{};
        const int kind = GetClipBox(dc, &visible);
        ReleaseDC(inside->Handle(), dc);
        EXPECT_NE(kind, NULLREGION) << inside->Width();
        EXPECT_EQ(visible.right - visible.left, inside->Width());
        EXPECT_EQ(visible.bottom - visible.top, inside->Height());
    }
}

TEST_F(WindowTest, AnExceptionFromAnEventHandlerReachesTheDefaultHandler)
{
    std::string seen;
    app->OnException = [&](const std::exception& e) { seen = e.what(); };
    auto* button = Make<TButton>(form);
    button->OnClick = [](rtl::TObject*) { throw rtl::Exception("Socket operation on non-socket"); };
    form->CreateHandle();
    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(seen, "Socket operation on non-socket");
}

TEST_F(WindowTest, ClosingTheMainFormEndsTheMessageLoop)
{
    form->SetMainForm(true);
    form->CreateHandle();
    PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    rtl::Application()->ProcessMessages();
    rtl::Application()->ProcessMessages();
    EXPECT_TRUE(rtl::Application()->Terminated());
    EXPECT_FALSE(Shown(form->Handle()));
}

}  // namespace
}  // namespace forms
