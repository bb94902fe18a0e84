#pragma once
// A push button; Click runs OnClick as a press of the button does.
#include "forms/Control.h"

namespace forms {

class TButton : public TControl {
public:
    explicit TButton(rtl::TComponent* owner);
    void Click();
    TNotifyEvent OnClick;

protected:
    void CreateParams(TCreateParams& params) const override;
    void Command(WORD code) override;
};

}  // namespace forms
