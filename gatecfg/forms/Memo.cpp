#include "forms/Memo.h"

#include <richedit.h>

#include <cassert>
#include <cwchar>

namespace forms {

namespace {

// Control characters (C0, DEL and C1) as their code in angle brackets.
std::wstring Shown(const std::wstring& line)
{
    std::wstring shown;
    shown.reserve(line.size());
    for (wchar_t ch : line) {
        if (ch < 0x20 || (ch >= 0x7F && ch <= 0x9F)) {
            wchar_t code[5];
            std::swprintf(code, 5, L"<%02X>", static_cast<unsigned>(ch));
            shown += code;
        } else {
            shown += ch;
        }
    }
    return shown;
}

std::wstring ShownLines(const TLines& lines, int first)
{
    std::wstring text;
    for (int i = first; i < lines.Count(); ++i) {
        if (i > first)
            text += L"\r\n";
        text += Shown(lines[i]);
    }
    return text;
}

}  // namespace

TMemo::TMemo(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 185, 89);
    FLines.OnChange = [this] { FollowLines(); };
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
        SetWindowTextMirrored(ShownLines(FLines, 0));
}

void TMemo::FollowLines()
{
    if (!HandleAllocated())
        return;
    const TLinesEdit& edit = FLines.PendingEdit();
    if (edit.Reset) {
        MirrorLines();
        return;
    }
    // The window shows the lines held before the edit (an empty window one).
    const int shown = FLines.Count() - edit.AddedAtEnd + edit.DroppedFront;
    assert(Perform(EM_GETLINECOUNT) == (shown > 0 ? shown : 1));
    if (edit.DroppedFront > 0)
        DropShownLines(edit.DroppedFront, shown);
    if (edit.AddedAtEnd > 0)
        AppendShownLines(FLines.Count() - edit.AddedAtEnd);
}

void TMemo::DropShownLines(int count, int shown)
{
    // Up to the start of the first line kept, its line end with the lines.
    const LRESULT end = count < shown ? Perform(EM_LINEINDEX, static_cast<WPARAM>(count))
                                      : GetWindowTextLengthW(Handle());
    FMirroring = true;
    Perform(EM_SETSEL, 0, end);
    Perform(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    FMirroring = false;
}

void TMemo::AppendShownLines(int first)
{
    std::wstring text = ShownLines(FLines, first);
    if (first > 0)
        text.insert(0, L"\r\n");
    const int length = GetWindowTextLengthW(Handle());
    FMirroring = true;
    Perform(EM_SETSEL, length, length);
    Perform(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    FMirroring = false;
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
