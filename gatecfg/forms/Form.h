#pragma once
// A top-level form: it owns its components, docks its child controls, opens
// centred on the screen and, as the main form, ends the program when closed.
// It leads the keyboard through its controls as a dialog does, and gives the
// focus back to the control that had it when it is activated again.
#include "forms/Control.h"

namespace forms {

class TButton;

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

    // The keyboard's way through the form, for one message of the thread's
    // loop: Tab and Shift+Tab move the focus through the controls that take
    // it, in the order they were made (a page's controls after their page
    // control), unless the focused control wants Tab; the system's dialog
    // navigation takes Enter (the focused button, else the default button)
    // and Alt with a caption's underlined letter. True when handled so.
    bool IsFormMessage(MSG& msg);
    // Focuses the next control that takes the focus, or the previous one.
    void SelectNext(bool forward);
    // The control whose caption underlines `letter` (any case): a button is
    // pressed, a label focuses the control after it. False for none.
    bool PressMnemonic(wchar_t letter);
    // The shown and enabled default button, if any.
    TButton* DefaultButton() const;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;

    void AfterConstruction() override;
    void BeforeDestruction() override;

protected:
    void CreateParams(TCreateParams& params) const override;
    void InitWindow() override;
    bool WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::vector<TControl*> TabOrder() const;

    TPosition FPosition = TPosition::poDesigned;
    bool FMainForm = false;
    HWND FFocused = nullptr;  // the focus when the form was last deactivated
};

// The form a control is on, or null.
TForm* ParentForm(TControl* control);

}  // namespace forms
