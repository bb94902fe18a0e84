#pragma once
// A drop-down list to choose one of fixed items.
#include <string>
#include <vector>

#include "forms/Control.h"

namespace forms {

class TComboBox : public TControl {
public:
    explicit TComboBox(rtl::TComponent* owner);

    void AddItem(const std::wstring& item);
    int ItemCount() const noexcept { return static_cast<int>(FItems.size()); }
    const std::wstring& Items(int index) const { return FItems.at(static_cast<size_t>(index)); }

    // The chosen item, -1 for none.
    int ItemIndex() const noexcept { return FItemIndex; }
    void SetItemIndex(int index);
    // The chosen item's text, empty for none.
    std::wstring Text() const;

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& params) const override;
    void InitWindow() override;
    void Command(WORD code) override;
    int WindowHeight() const override;

private:
    std::vector<std::wstring> FItems;
    int FItemIndex = -1;
};

}  // namespace forms
