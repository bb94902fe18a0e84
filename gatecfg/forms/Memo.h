#pragma once
// A multi-line edit over a line model, with both scroll bars and no length
// limit; and the read-only rich-text box that shows a fixed text.
#include "forms/Control.h"
#include "forms/Lines.h"

namespace forms {

class TMemo : public TControl {
public:
    explicit TMemo(rtl::TComponent* owner);

    TLines& Lines() noexcept { return FLines; }
    const TLines& Lines() const noexcept { return FLines; }

    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool value);

    // Moves the caret to the end of the text and scrolls it into view.
    void ScrollToEnd();

protected:
    void CreateParams(TCreateParams& params) const override;
    void InitWindow() override;
    void Command(WORD code) override;
    virtual void LiftLengthLimit();

private:
    void MirrorLines();

    TLines FLines;
    bool FReadOnly = false;
};

class TRichEdit : public TMemo {
public:
    explicit TRichEdit(rtl::TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) const override;
    void LiftLengthLimit() override;
};

}  // namespace forms
