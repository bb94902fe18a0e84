#pragma once
// A report-style list view: columns, rows of a caption and sub-items, and
// one selected row.
#include <string>
#include <vector>

#include "forms/Control.h"

namespace forms {

// A column is never narrower than its caption; an AutoSize column takes the
// width the others leave in the list, never less than its own.
struct TListColumn {
    std::wstring Caption;
    int Width = 50;
    bool AutoSize = false;
};

struct TListItem {
    std::wstring Caption;
    std::vector<std::wstring> SubItems;
};

class TListView : public TControl {
public:
    explicit TListView(rtl::TComponent* owner);

    void AddColumn(const std::wstring& caption, int width, bool autoSize = false);
    int ColumnCount() const noexcept { return static_cast<int>(FColumns.size()); }
    const TListColumn& Column(int index) const { return FColumns.at(static_cast<size_t>(index)); }

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    const TListItem& Item(int index) const { return FItems.at(static_cast<size_t>(index)); }
    // Appends a row and returns its index.
    int Add(const std::wstring& caption, const std::vector<std::wstring>& subItems = {});
    void Delete(int index);
    void Clear();

    // Index of the selected row, -1 for none.
    int ItemIndex() const noexcept { return FItemIndex; }
    void SetItemIndex(int index);

    // The first row from `start` whose caption equals `text` (or begins with
    // it when `partial`), `inclusive` of the start row, wrapping past the end
    // when `wrap`; -1 when none.
    int FindCaption(int start, const std::wstring& text, bool partial, bool inclusive,
                    bool wrap) const;

    bool RowSelect() const noexcept { return FRowSelect; }
    void SetRowSelect(bool value) { FRowSelect = value; }
    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }

    // Sender, row index, selected.
    rtl::TEvent<rtl::TObject*, int, bool> OnSelectItem;

protected:
    void CreateParams(TCreateParams& params) const override;
    void InitWindow() override;
    bool Notify(NMHDR& header, LRESULT& result) override;
    bool WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // The column's width as shown: its own, its caption's or the rest of the list's.
    int ShownWidth(int index) const;
    int CaptionWidth(int index) const;
    void FitColumns();
    void MirrorColumn(int index);
    void MirrorItem(int index);
    void MirrorSelection();

    std::vector<TListColumn> FColumns;
    std::vector<TListItem> FItems;
    int FItemIndex = -1;
    bool FRowSelect = false;
    bool FReadOnly = false;
};

}  // namespace forms
