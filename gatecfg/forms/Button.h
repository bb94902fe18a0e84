#pragma once
// A push button; Click runs OnClick as a press of the button does. A form's
// default button is pressed by Enter wherever the focus is on the form, but
// on another button; the focused button looks like the default while focused.
#include "forms/Control.h"

namespace forms {

class TButton : public TControl {
public:
    explicit TButton(rtl::TComponent* owner);
    void Click();
    TNotifyEvent OnClick;

    bool Default() const noexcept { return FDefault; }
    void SetDefault(bool value);

protected:
    void CreateParams(TCreateParams& params) const override;
    void Command(WORD code) override;
    bool WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ShowDefault(bool value);

    bool FDefault = false;
};

}  // namespace forms
