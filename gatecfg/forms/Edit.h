#pragma once
// A one-line edit. Its text is the control's caption; what the user types is
// read back into it.
#include "forms/Control.h"

namespace forms {

class TEdit : public TControl {
public:
    explicit TEdit(rtl::TComponent* owner);
    const std::wstring& Text() const noexcept { return Caption(); }
    void SetText(const std::wstring& text) { SetCaption(text); }

protected:
    void CreateParams(TCreateParams& params) const override;
    void Command(WORD code) override;
    // The user changed the window's text.
    virtual void TextEdited();
};

}  // namespace forms
