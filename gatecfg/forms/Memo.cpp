#include "forms/Memo.h"

#include <richedit.h>

namespace forms {

TMemo::TMemo(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 185, 89);
    FLines.OnChange = [this] { MirrorLines(); };
}

void TMemo::SetReadOnly(bool value)
{
    FReadOnly = value;
    Perform(EM_SETREADONLY, value);
}

void TMemo::CreateParams(TCreateParams& params) const
{
    params.ClassName = L"EDIT";
    params.Style = ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL |
                   WS_HSCROLL | WS_TABSTOP | (FReadOnly ? ES_READONLY : 0);
    params.ExStyle = WS_EX_CLIENTEDGE;
}

void TMemo::InitWindow()
{
    LiftLengthLimit();
    MirrorLines();
}

void TMemo::LiftLengthLimit()
{
    // Zero asks for the largest limit instead of the default 32767 characters.
    Perform(EM_SETLIMITTEXT, 0);
}

void TMemo::MirrorLines()
{
    if (HandleAllocated())
        SetWindowTextMirrored(FLines.Text());
}

void TMemo::ScrollToEnd()
{
    if (!HandleAllocated())
        return;
    int length = GetWindowTextLengthW(Handle());
    Perform(EM_SETSEL, length, length);
    Perform(EM_SCROLLCARET);
}

void TMemo::Command(WORD code)
{
    if (code == EN_CHANGE && !FMirroring)
        FLines.Load(WindowText());
}

TRichEdit::TRichEdit(rtl::TComponent* owner) : TMemo(owner)
{
    static HMODULE library = LoadLibraryW(L"riched20.dll");
    (void)library;
}

void TRichEdit::CreateParams(TCreateParams& params) const
{
    TMemo::CreateParams(params);
    params.ClassName = RICHEDIT_CLASSW;
}

void TRichEdit::LiftLengthLimit()
{
    Perform(EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
}

}  // namespace forms
