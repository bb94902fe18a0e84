#pragma once
// A top-level form: it owns its components, docks its child controls, opens
// centred on the screen and, as the main form, ends the program when closed.
#include "forms/Control.h"

namespace forms {

enum class TPosition { poDesigned, poScreenCenter };

class TForm : public TControl {
public:
    explicit TForm(rtl::TComponent* owner);

    TPosition Position() const noexcept { return FPosition; }
    void SetPosition(TPosition position) { FPosition = position; }

    // Creates the windows and shows the form.
    void Show();
    void Close();

    // Client area from the outer size, also without a window.
    TRect ClientRect() const override;

    void SetMainForm(bool value) noexcept { FMainForm = value; }

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;

    void AfterConstruction() override;
    void BeforeDestruction() override;

protected:
    void CreateParams(TCreateParams& params) const override;
    void InitWindow() override;
    bool WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    TPosition FPosition = TPosition::poDesigned;
    bool FMainForm = false;
};

}  // namespace forms
