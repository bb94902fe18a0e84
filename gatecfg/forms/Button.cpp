#include "forms/Button.h"

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

void TButton::CreateParams(TCreateParams& params) const
{
    params.ClassName = L"BUTTON";
    params.Style = BS_PUSHBUTTON | WS_TABSTOP;
}

void TButton::Command(WORD code)
{
    if (code == BN_CLICKED)
        Click();
}

}  // namespace forms
