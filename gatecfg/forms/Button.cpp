#include "forms/Button.h"

#include "forms/Form.h"

namespace forms {

TButton::TButton(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 75, 25);
}

void TButton::Click()
{
    if (OnClick.Assigned())
        OnClick(this);
}

void TButton::SetDefault(bool value)
{
    FDefault = value;
    ShowDefault(value);
}

void TButton::ShowDefault(bool value)
{
    Perform(BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::CreateParams(TCreateParams& params) const
{
    params.ClassName = L"BUTTON";
    params.Style = (FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
}

void TButton::Command(WORD code)
{
    if (code == BN_CLICKED)
        Click();
}

// While a button has the focus, Enter presses it: it takes the default look
// from the form's default button and gives it back when the focus leaves.
bool TButton::WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_SETFOCUS && message != WM_KILLFOCUS)
        return TControl::WndProc(message, wParam, lParam, result);
    const bool focused = message == WM_SETFOCUS;
    ShowDefault(focused || FDefault);
    TForm* form = ParentForm(this);
    TButton* formDefault = form ? form->DefaultButton() : nullptr;
    if (formDefault && formDefault != this)
        formDefault->ShowDefault(!focused);
    return false;
}

}  // namespace forms
