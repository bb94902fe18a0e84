#include "forms/Edit.h"

namespace forms {

TEdit::TEdit(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 121, 21);
}

void TEdit::CreateParams(TCreateParams& params) const
{
    params.ClassName = L"EDIT";
    params.Style = ES_AUTOHSCROLL | WS_TABSTOP;
    params.ExStyle = WS_EX_CLIENTEDGE;
}

void TEdit::Command(WORD code)
{
    if (code == EN_CHANGE && !FMirroring)
        TextEdited();
}

void TEdit::TextEdited()
{
    StoreCaption(WindowText());
}

}  // namespace forms
