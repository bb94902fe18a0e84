#include "forms/ComboBox.h"

namespace forms {

TComboBox::TComboBox(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 145, 21);
}

void TComboBox::AddItem(const std::wstring& item)
{
    FItems.push_back(item);
    Perform(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void TComboBox::SetItemIndex(int index)
{
    FItemIndex = index >= 0 && index < ItemCount() ? index : -1;
    Perform(CB_SETCURSEL, static_cast<WPARAM>(FItemIndex));
}

std::wstring TComboBox::Text() const
{
    return FItemIndex >= 0 ? FItems[static_cast<size_t>(FItemIndex)] : std::wstring();
}

void TComboBox::CreateParams(TCreateParams& params) const
{
    params.ClassName = L"COMBOBOX";
    params.Style = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
}

int TComboBox::WindowHeight() const
{
    return Height() + 20 * (ItemCount() + 1);
}

void TComboBox::InitWindow()
{
    for (const std::wstring& item : FItems)
        Perform(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    Perform(CB_SETCURSEL, static_cast<WPARAM>(FItemIndex));
}

void TComboBox::Command(WORD code)
{
    if (code != CBN_SELCHANGE)
        return;
    LRESULT chosen = Perform(CB_GETCURSEL);
    FItemIndex = chosen == CB_ERR ? -1 : static_cast<int>(chosen);
    if (OnChange.Assigned())
        OnChange(this);
}

}  // namespace forms
