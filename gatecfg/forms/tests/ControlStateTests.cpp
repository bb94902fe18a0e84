// The controls' state without any window: what the form's logic reads and
// writes when tests drive it.
#include <gtest/gtest.h>

#include <functional>

#include "forms/ComboBox.h"
#include "forms/Form.h"
#include "forms/ListView.h"
#include "forms/MaskEdit.h"
#include "forms/Memo.h"
#include "forms/PageControl.h"
#include "forms/SpinEdit.h"
#include "forms/Static.h"

namespace forms {
namespace {

// Frees the form, and with it everything it owns, at the end of a test.
struct FormHolder {
    TForm* form = rtl::Create<TForm>(nullptr);
    ~FormHolder() { form->Free(); }
};

template <class T>
T* Make(TForm* form, TControl* parent)
{
    T* control = rtl::Create<T>(form);
    control->SetParent(parent);
    return control;
}

TEST(LinesTest, TextSplitsAtEveryLineEndAndJoinsWithCrLf)
{
    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> lines;
        const wchar_t* joined;
    } cases[] = {
        {L"", {}, L""},
        {L"Memo1", {L"Memo1"}, L"Memo1"},
        {L"a\r\nb", {L"a", L"b"}, L"a\r\nb"},
        {L"a\r\nb\r\n", {L"a", L"b"}, L"a\r\nb"},
        {L"a\nb\rc", {L"a", L"b", L"c"}, L"a\r\nb\r\nc"},
        {L"a\r\n\r\nb", {L"a", L"", L"b"}, L"a\r\n\r\nb"},
    };
    for (const Case& c : cases) {
        TLines lines;
        lines.SetText(c.text);
        ASSERT_EQ(lines.Count(), static_cast<int>(c.lines.size())) << c.text;
        for (int i = 0; i < lines.Count(); ++i)
            EXPECT_EQ(lines[i], c.lines[static_cast<size_t>(i)]);
        EXPECT_EQ(lines.Text(), c.joined);
    }
}

TEST(LinesTest, ChangesInsideAnUpdateBracketAreReportedOnceAtItsEnd)
{
    TLines lines;
    int changes = 0;
    lines.OnChange = [&] { ++changes; };
    lines.Add(L"one");
    EXPECT_EQ(changes, 1);
    lines.BeginUpdate();
    lines.BeginUpdate();
    lines.Add(L"two");
    lines.Delete(0);
    lines.EndUpdate();
    EXPECT_EQ(changes, 1);
    lines.EndUpdate();
    EXPECT_EQ(changes, 2);
    lines.BeginUpdate();
    lines.EndUpdate();
    EXPECT_EQ(changes, 2);  // nothing changed
    EXPECT_THROW(lines.Delete(5), std::out_of_range);
    ASSERT_EQ(lines.Count(), 1);
    EXPECT_EQ(lines[0], L"two");
}

// What a change report tells the owner: lines dropped from the front and
// added at the end when that is all that happened, else the whole text.
TEST(LinesTest, AReportTellsWhatChangedSinceTheLastOne)
{
    struct Case {
        const char* what;
        int lines;                                // held (and shown) before
        std::function<void(TLines&)> edit;        // inside one bracket
        TLinesEdit expected;
    } cases[] = {
        {"appended", 2, [](TLines& l) { l.Add(L"a"); l.Add(L"b"); }, {false, 0, 2}},
        {"log trimmed", 201,
         [](TLines& l) {
             for (int i = 0; i < 50; ++i)
                 l.Delete(0);
             l.Add(L"new");
         },
         {false, 50, 1}},
        {"an added line dropped again", 0,
         [](TLines& l) {
             l.Add(L"a");
             l.Add(L"b");
             l.Delete(0);
         },
         {false, 0, 1}},
        {"the last added line deleted", 3,
         [](TLines& l) {
             l.Add(L"a");
             l.Delete(3);
         },
         {false, 0, 0}},
        {"a middle line", 3, [](TLines& l) { l.Delete(1); }, {true, 0, 0}},
        {"the last shown line", 3, [](TLines& l) { l.Delete(2); }, {true, 0, 0}},
        {"cleared", 3, [](TLines& l) { l.Clear(); l.Add(L"a"); }, {true, 0, 1}},
        {"text set", 3, [](TLines& l) { l.SetText(L"a\r\nb"); }, {true, 0, 0}},
    };
    for (const Case& c : cases) {
        TLines lines;
        for (int i = 0; i < c.lines; ++i)
            lines.Add(std::to_wstring(i));
        std::vector<TLinesEdit> reports;
        lines.Followed();
        lines.OnChange = [&] {
            reports.push_back(lines.PendingEdit());
            lines.Followed();
        };
        lines.BeginUpdate();
        c.edit(lines);
        lines.EndUpdate();
        ASSERT_EQ(reports.size(), 1u) << c.what;
        EXPECT_EQ(reports[0].Reset, c.expected.Reset) << c.what;
        if (!c.expected.Reset) {
            EXPECT_EQ(reports[0].DroppedFront, c.expected.DroppedFront) << c.what;
            EXPECT_EQ(reports[0].AddedAtEnd, c.expected.AddedAtEnd) << c.what;
        }
        // Once followed, the next report starts afresh.
        lines.Add(L"next");
        ASSERT_EQ(reports.size(), 2u);
        EXPECT_FALSE(reports[1].Reset) << c.what;
        EXPECT_EQ(reports[1].DroppedFront, 0) << c.what;
        EXPECT_EQ(reports[1].AddedAtEnd, 1) << c.what;
    }

    // Until the owner follows, the edits of several reports add up.
    TLines lines;
    lines.Add(L"a");
    lines.Add(L"b");
    lines.Followed();
    lines.Add(L"c");
    lines.Delete(0);
    lines.Add(L"d");
    EXPECT_FALSE(lines.PendingEdit().Reset);
    EXPECT_EQ(lines.PendingEdit().DroppedFront, 1);
    EXPECT_EQ(lines.PendingEdit().AddedAtEnd, 2);
    lines.Followed();
    EXPECT_TRUE(lines.PendingEdit().Empty());
}

TEST(SpinEditTest, ValuesArePulledIntoTheRange)
{
    FormHolder h;
    auto* spin = Make<TSpinEdit>(h.form, h.form);
    spin->SetRange(0, 4);
    const std::pair<int, int> cases[] = {{0, 0}, {3, 3}, {4, 4}, {5, 4}, {9, 4}, {-1, 0}};
    for (auto [given, held] : cases) {
        spin->SetValue(given);
        EXPECT_EQ(spin->Value(), held) << given;
        EXPECT_EQ(spin->Text(), std::to_wstring(held));
    }
    spin->SetValue(4);
    spin->SetRange(0, 2);
    EXPECT_EQ(spin->Value(), 2);
}

TEST(MaskEditTest, TextFillsThePlacesPositionByPosition)
{
    FormHolder h;
    auto* time = Make<TMaskEdit>(h.form, h.form);
    time->SetEditMask(L"9.9;1;_");
    EXPECT_EQ(time->Text(), L" . ");
    auto* wait = Make<TMaskEdit>(h.form, h.form);
    wait->SetEditMask(L"9;1;_");
    EXPECT_EQ(wait->Text(), L" ");

    struct Case {
        TMaskEdit* edit;
        const wchar_t* given;
        const wchar_t* held;
    } cases[] = {
        {time, L"0.5", L"0.5"}, {time, L"1.0", L"1.0"}, {time, L"", L" . "},
        {time, L"7", L"7. "},   {time, L"15", L"1. "},  {time, L"a.b", L" . "},
        {time, L" .3", L" .3"}, {time, L"1.25", L"1.2"}, {wait, L"5", L"5"},
        {wait, L"", L" "},      {wait, L"x", L" "},     {wait, L"12", L"1"},
    };
    for (const Case& c : cases) {
        c.edit->SetText(c.given);
        EXPECT_EQ(c.edit->Text(), c.held) << c.given;
    }
}

TEST(ListViewTest, DeletingRowsKeepsTheSelectionOnItsRow)
{
    FormHolder h;
    auto* list = Make<TListView>(h.form, h.form);
    list->AddColumn(L"IP", 150);
    for (const wchar_t* ip : {L"10.0.0.1", L"10.0.0.2", L"10.0.0.3"})
        list->Add(ip, {L"Comtroller"});
    EXPECT_EQ(list->Item(1).SubItems, std::vector<std::wstring>{L"Comtroller"});

    list->SetItemIndex(2);
    list->Delete(0);  // before the selection: it moves up with its row
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(list->Item(list->ItemIndex()).Caption, L"10.0.0.3");
    list->Delete(1);  // the selected row itself
    EXPECT_EQ(list->ItemIndex(), -1);
    list->SetItemIndex(7);
    EXPECT_EQ(list->ItemIndex(), -1);
    list->SetItemIndex(0);
    list->Clear();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_THROW(list->Delete(0), std::out_of_range);
}

TEST(ListViewTest, FindCaptionMatchesWholeOrLeadingTextFromTheStartRowOn)
{
    FormHolder h;
    auto* list = Make<TListView>(h.form, h.form);
    for (const wchar_t* ip : {L"10.0.0.12", L"10.0.0.1", L"10.0.0.123"})
        list->Add(ip);
    struct Case {
        int start;
        const wchar_t* text;
        bool partial, inclusive, wrap;
        int found;
    } cases[] = {
        {0, L"10.0.0.1", false, true, true, 1},
        {0, L"10.0.0.1", true, true, true, 0},   // a prefix matches the first row
        {2, L"10.0.0.1", false, true, true, 1},  // wraps past the end
        {2, L"10.0.0.1", false, true, false, -1},
        {1, L"10.0.0.1", false, false, true, -1},  // the start row itself excluded
        {1, L"10.0.0.12", true, false, true, 2},
        {-1, L"10.0.0.123", false, true, true, 2},
        {0, L"10.0.0.9", false, true, true, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(list->FindCaption(c.start, c.text, c.partial, c.inclusive, c.wrap), c.found)
            << c.start << " " << c.partial << c.inclusive << c.wrap;
}

TEST(ComboBoxTest, TextIsTheChosenItem)
{
    FormHolder h;
    auto* combo = Make<TComboBox>(h.form, h.form);
    for (const wchar_t* item : {L"Красный", L"Зеленый", L"Нет"})
        combo->AddItem(item);
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->Text(), L"");
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->Text(), L"Зеленый");
    combo->SetItemIndex(3);
    EXPECT_EQ(combo->ItemIndex(), -1);
}

TEST(DockingTest, BandsTakeTheirEdgeAndTheClientFillsTheRest)
{
    FormHolder h;
    h.form->SetBounds(0, 0, 924, 583);
    TRect client = h.form->ClientRect();
    ASSERT_GT(client.Width(), 880);
    ASSERT_LT(client.Width(), 924);

    auto* left = Make<TPanel>(h.form, h.form);
    left->SetBounds(0, 0, 265, 10);
    left->SetAlign(TAlign::alLeft);
    auto* fill = Make<TPanel>(h.form, h.form);
    fill->SetAlign(TAlign::alClient);
    auto* bottom = Make<TPanel>(h.form, h.form);
    bottom->SetBounds(0, 0, 10, 119);
    bottom->SetAlign(TAlign::alBottom);  // added last, laid out before the left band
    auto* top = Make<TPanel>(h.form, fill);
    top->SetBounds(0, 0, 10, 41);
    top->SetAlign(TAlign::alTop);

    EXPECT_EQ(bottom->Left(), 0);
    EXPECT_EQ(bottom->Top(), client.Height() - 119);
    EXPECT_EQ(bottom->Width(), client.Width());
    EXPECT_EQ(left->Top(), 0);
    EXPECT_EQ(left->Width(), 265);
    EXPECT_EQ(left->Height(), client.Height() - 119);
    EXPECT_EQ(fill->Left(), 265);
    EXPECT_EQ(fill->Width(), client.Width() - 265);
    EXPECT_EQ(fill->Height(), client.Height() - 119);
    // Nested docking follows the parent's size.
    EXPECT_EQ(top->Width(), fill->Width());

    h.form->SetBounds(0, 0, 1024, 683);
    EXPECT_EQ(fill->Width(), h.form->ClientRect().Width() - 265);
    EXPECT_EQ(top->Width(), fill->Width());
    left->SetVisible(false);
    EXPECT_EQ(fill->Left(), 0);
}

TEST(PageControlTest, OnlyTheActivePageIsShownAndPagesFillTheDisplayArea)
{
    FormHolder h;
    auto* pages = Make<TPageControl>(h.form, h.form);
    pages->SetBounds(0, 0, 400, 300);
    std::vector<TTabSheet*> sheets;
    for (const wchar_t* caption : {L"Сбросить настройки", L"Назначение реле", L"Паника"}) {
        auto* sheet = rtl::Create<TTabSheet>(h.form);
        sheet->SetCaption(caption);
        sheet->SetPageControl(pages);
        sheets.push_back(sheet);
    }
    EXPECT_EQ(pages->PageCount(), 3);
    EXPECT_EQ(pages->ActivePageIndex(), 0);
    EXPECT_EQ(sheets[2]->PageIndex(), 2);
    pages->SetActivePageIndex(2);
    EXPECT_FALSE(sheets[0]->Visible());
    EXPECT_TRUE(sheets[2]->Visible());
    TRect area = pages->DisplayRect();
    EXPECT_EQ(sheets[1]->Width(), area.Width());
    EXPECT_EQ(sheets[1]->Top(), area.Top);
    sheets[2]->Free();
    EXPECT_EQ(pages->PageCount(), 2);
    EXPECT_EQ(pages->ActivePageIndex(), 1);
    EXPECT_TRUE(sheets[1]->Visible());
}

TEST(FormTest, OwnedControlsAreFreedWithTheFormAndLeaveTheirParent)
{
    FormHolder h;
    auto* panel = Make<TPanel>(h.form, h.form);
    auto* label = Make<TLabel>(h.form, panel);
    EXPECT_EQ(panel->ControlCount(), 1);
    label->Free();
    EXPECT_EQ(panel->ControlCount(), 0);
    EXPECT_EQ(h.form->ComponentCount(), 1);
}

}  // namespace
}  // namespace forms
