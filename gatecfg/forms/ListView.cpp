#include "forms/ListView.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

namespace forms {

TListView::TListView(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 250, 150);
}

namespace {
// The header's space around a caption, both sides together.
const int kCaptionMargin = 16;
}  // namespace

void TListView::AddColumn(const std::wstring& caption, int width, bool autoSize)
{
    FColumns.push_back({caption, width, autoSize});
    MirrorColumn(ColumnCount() - 1);
    FitColumns();
}

int TListView::CaptionWidth(int index) const
{
    const std::wstring& caption = FColumns[static_cast<size_t>(index)].Caption;
    return static_cast<int>(Perform(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(caption.c_str()))) +
           kCaptionMargin;
}

int TListView::ShownWidth(int index) const
{
    const auto own = [this](int i) {
        return std::max(FColumns[static_cast<size_t>(i)].Width, CaptionWidth(i));
    };
    if (!FColumns[static_cast<size_t>(index)].AutoSize)
        return own(index);
    RECT client{};
    GetClientRect(Handle(), &client);
    int rest = client.right - client.left;
    for (int i = 0; i < ColumnCount(); ++i)
        if (i != index)
            rest -= own(i);
    return std::max(own(index), rest);
}

void TListView::FitColumns()
{
    if (!HandleAllocated())
        return;
    for (int i = 0; i < ColumnCount(); ++i) {
        const int width = ShownWidth(i);
        if (Perform(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i)) != width)
            Perform(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), MAKELPARAM(width, 0));
    }
}

int TListView::Add(const std::wstring& caption, const std::vector<std::wstring>& subItems)
{
    FItems.push_back({caption, subItems});
    MirrorItem(Count() - 1);
    return Count() - 1;
}

void TListView::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds");
    FItems.erase(FItems.begin() + index);
    if (FItemIndex == index)
        FItemIndex = -1;
    else if (FItemIndex > index)
        --FItemIndex;
    FMirroring = true;
    Perform(LVM_DELETEITEM, static_cast<WPARAM>(index));
    FMirroring = false;
}

void TListView::Clear()
{
    FItems.clear();
    FItemIndex = -1;
    FMirroring = true;
    Perform(LVM_DELETEALLITEMS);
    FMirroring = false;
}

void TListView::SetItemIndex(int index)
{
    FItemIndex = index >= 0 && index < Count() ? index : -1;
    MirrorSelection();
}

int TListView::FindCaption(int start, const std::wstring& text, bool partial, bool inclusive,
                           bool wrap) const
{
    const int count = Count();
    if (count == 0)
        return -1;
    if (start < 0 || start >= count)
        start = 0;
    auto matches = [&](int i) {
        const std::wstring& caption = FItems[static_cast<size_t>(i)].Caption;
        return partial ? caption.compare(0, text.size(), text) == 0 : caption == text;
    };
    int first = inclusive ? start : start + 1;
    for (int step = 0; step < count; ++step) {
        int i = first + step;
        if (i >= count) {
            if (!wrap)
                break;
            i -= count;
        }
        if (!inclusive && i == start)
            break;
        if (matches(i))
            return i;
    }
    return -1;
}

void TListView::CreateParams(TCreateParams& params) const
{
    params.ClassName = WC_LISTVIEWW;
    params.Style = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP;
    params.ExStyle = WS_EX_CLIENTEDGE;
}

void TListView::InitWindow()
{
    if (FRowSelect)
        Perform(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < ColumnCount(); ++i)
        MirrorColumn(i);
    FitColumns();
    for (int i = 0; i < Count(); ++i)
        MirrorItem(i);
    MirrorSelection();
}

void TListView::MirrorColumn(int index)
{
    if (!HandleAllocated())
        return;
    const TListColumn& column = FColumns[static_cast<size_t>(index)];
    LVCOLUMNW lvc{};
    lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    lvc.pszText = const_cast<wchar_t*>(column.Caption.c_str());
    lvc.cx = ShownWidth(index);
    lvc.iSubItem = index;
    Perform(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&lvc));
}

void TListView::MirrorItem(int index)
{
    if (!HandleAllocated())
        return;
    const TListItem& item = FItems[static_cast<size_t>(index)];
    FMirroring = true;
    LVITEMW lvi{};
    lvi.mask = LVIF_TEXT;
    lvi.iItem = index;
    lvi.pszText = const_cast<wchar_t*>(item.Caption.c_str());
    Perform(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi));
    for (size_t sub = 0; sub < item.SubItems.size(); ++sub) {
        LVITEMW text{};
        text.iSubItem = static_cast<int>(sub + 1);
        text.pszText = const_cast<wchar_t*>(item.SubItems[sub].c_str());
        Perform(LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text));
    }
    FMirroring = false;
}

void TListView::MirrorSelection()
{
    if (!HandleAllocated())
        return;
    FMirroring = true;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    Perform(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    if (FItemIndex >= 0) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        Perform(LVM_SETITEMSTATE, static_cast<WPARAM>(FItemIndex), reinterpret_cast<LPARAM>(&state));
    }
    FMirroring = false;
}

// A resized list, or one whose scroll bar came or went, fits its columns again.
bool TListView::WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_SIZE)
        return TControl::WndProc(message, wParam, lParam, result);
    result = CallDefault(message, wParam, lParam);
    FitColumns();
    return true;
}

bool TListView::Notify(NMHDR& header, LRESULT& result)
{
    if (header.code != LVN_ITEMCHANGED || FMirroring)
        return false;
    const NMLISTVIEW& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (!(change.uChanged & LVIF_STATE) ||
        ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) == 0)
        return false;
    FItemIndex = static_cast<int>(Perform(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (OnSelectItem.Assigned())
        OnSelectItem(this, change.iItem, (change.uNewState & LVIS_SELECTED) != 0);
    return false;
}

}  // namespace forms
