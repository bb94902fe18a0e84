#pragma once
// A multi-line edit over a line model, with both scroll bars and no length
// limit; and the read-only rich-text box that shows a fixed text. The window
// follows the model edit by edit (lines added at the end and dropped from the
// front cost only themselves), and shows every character that a window
// cannot show as such, a NUL that would end its text or a CR or LF that would
// break a line, as its code: "<00>", "<0D>".
// Each change of the window redraws its scroll bars, which costs far more
// than the change, so the window takes the lines at most ten times a second:
// lines that come faster reach it together. Whoever reads the window's text,
// and the user about to edit it, finds every line in it.
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

    // Moves the caret to the end of the text and scrolls it into view, once
    // the window shows the lines.
    void ScrollToEnd();

protected:
    void CreateParams(TCreateParams& params) const override;
    void InitWindow() override;
    void Command(WORD code) override;
    bool WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    virtual void LiftLengthLimit();

private:
    void LinesChanged();
    // Takes the lines' changes into the window.
    void ShowLines();
    void MirrorLines();
    void DropShownLines(int count, int shown);
    void AppendShownLines(int first);
    void ScrollCaretToEnd();

    TLines FLines;
    bool FReadOnly = false;
    bool FShowTimer = false;      // the changes wait for the timer
    bool FScrollPending = false;  // and so does a scroll to the end
    DWORD FShownAt = 0;           // tick count of the last change shown
};

class TRichEdit : public TMemo {
public:
    explicit TRichEdit(rtl::TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) const override;
    void LiftLengthLimit() override;
};

}  // namespace forms
