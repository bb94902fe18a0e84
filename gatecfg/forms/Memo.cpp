#include "forms/Memo.h"

#include <richedit.h>

#include <cassert>
#include <cwchar>

namespace forms {

namespace {

const UINT_PTR kShowTimer = 1;
const DWORD kShowIntervalMs = 100;

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

// A shown edit redraws its scroll bars at every step of a change, which
// costs far more than the change itself; hidden meanwhile, it draws once,
// when it is shown again, and gets back the focus if it had it.
class HiddenWhileChanged {
public:
    explicit HiddenWhileChanged(HWND window)
        : window_(window), shown_(IsWindowVisible(window) != 0), focused_(GetFocus() == window)
    {
        if (shown_)
            ShowWindow(window_, SW_HIDE);
    }
    ~HiddenWhileChanged()
    {
        if (!shown_)
            return;
        ShowWindow(window_, SW_SHOWNA);
        if (focused_)
            SetFocus(window_);
    }
    HiddenWhileChanged(const HiddenWhileChanged&) = delete;
    HiddenWhileChanged& operator=(const HiddenWhileChanged&) = delete;

private:
    HWND window_;
    bool shown_;
    bool focused_;
};

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
    FLines.OnChange = [this] { LinesChanged(); };
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
    FShowTimer = FScrollPending = false;
    FLines.Followed();
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

void TMemo::LinesChanged()
{
    if (!HandleAllocated()) {
        FLines.Followed();  // the window takes them all when it is made
        return;
    }
    if (FShowTimer)
        return;
    const DWORD since = GetTickCount() - FShownAt;
    if (since >= kShowIntervalMs) {
        ShowLines();
        return;
    }
    FShowTimer = SetTimer(Handle(), kShowTimer, kShowIntervalMs - since, nullptr) != 0;
    if (!FShowTimer)
        ShowLines();
}

void TMemo::ShowLines()
{
    if (FShowTimer) {
        KillTimer(Handle(), kShowTimer);
        FShowTimer = false;
    }
    // Taken first: reading the window's text on the way finds nothing pending.
    const TLinesEdit edit = FLines.PendingEdit();
    FLines.Followed();
    const bool scroll = FScrollPending;
    FScrollPending = false;
    if (edit.Empty()) {
        if (scroll)
            ScrollCaretToEnd();
        return;
    }
    {
        const HiddenWhileChanged hidden(Handle());
        if (edit.Reset) {
            MirrorLines();
        } else {
            // The window shows the lines held before the edit (an empty window one).
            const int shown = FLines.Count() - edit.AddedAtEnd + edit.DroppedFront;
            assert(Perform(EM_GETLINECOUNT) == (shown > 0 ? shown : 1));
            if (edit.DroppedFront > 0)
                DropShownLines(edit.DroppedFront, shown);
            if (edit.AddedAtEnd > 0)
                AppendShownLines(FLines.Count() - edit.AddedAtEnd);
        }
        if (scroll)
            ScrollCaretToEnd();
    }
    // The interval runs from the window shown again: showing it redraws it,
    // which on a slow machine takes longer than the interval itself.
    FShownAt = GetTickCount();
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
    if (FShowTimer)
        FScrollPending = true;
    else
        ScrollCaretToEnd();
}

void TMemo::ScrollCaretToEnd()
{
    int length = GetWindowTextLengthW(Handle());
    Perform(EM_SETSEL, length, length);
    Perform(EM_SCROLLCARET);
}

void TMemo::Command(WORD code)
{
    if (code == EN_CHANGE && !FMirroring)
        FLines.Load(WindowText());
}

bool TMemo::WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_TIMER:
        if (wParam != kShowTimer)
            break;
        ShowLines();
        return true;
    case WM_GETDLGCODE: {
        // Tab leaves the memo for the next control, as in any form; Enter
        // makes a new line unless the memo is read-only.
        result = CallDefault(message, wParam, lParam) & ~(DLGC_WANTTAB | DLGC_WANTALLKEYS);
        const MSG* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN && !FReadOnly)
            result |= DLGC_WANTMESSAGE;
        return true;
    }
    // Readers of the text, and input that is about to change it, find every
    // line in the window.
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case EM_GETLINE:
    case EM_GETLINECOUNT:
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_IME_CHAR:
    case WM_CONTEXTMENU:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
        if (!FLines.PendingEdit().Empty())
            ShowLines();
        break;
    default:
        break;
    }
    return TControl::WndProc(message, wParam, lParam, result);
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
