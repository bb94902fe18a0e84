#include "forms/Static.h"

namespace forms {

TLabel::TLabel(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 65, 13);
}

void TLabel::CreateParams(TCreateParams& params) const
{
    params.ClassName = L"STATIC";
    // A "&" underlines the next letter: Alt with it focuses the control after the label.
    params.Style = SS_LEFT;
}

TPanel::TPanel(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 185, 41);
}

void TPanel::CreateParams(TCreateParams& params) const
{
    params.ClassName = ContainerClassName();
    params.Style = WS_CLIPCHILDREN;
    params.ExStyle = WS_EX_CONTROLPARENT;
}

TBevel::TBevel(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 50, 50);
}

void TBevel::CreateParams(TCreateParams& params) const
{
    params.ClassName = L"STATIC";
    params.Style = FShape == TBevelShape::bsFrame ? SS_ETCHEDFRAME : SS_ETCHEDHORZ;
    // Made before the controls it frames, the bevel lies above them; as an
    // ordinary sibling it would clip them away and leave its inside blank.
    params.ExStyle = WS_EX_TRANSPARENT;
}

}  // namespace forms
