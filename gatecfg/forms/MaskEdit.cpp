#include "forms/MaskEdit.h"

namespace forms {

TMaskEdit::TMaskEdit(rtl::TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 121, 21);
}

void TMaskEdit::SetEditMask(const std::wstring& mask)
{
    FEditMask = mask;
    size_t first = mask.find(L';');
    FMask = mask.substr(0, first);
    FBlank = L'_';
    if (first != std::wstring::npos) {
        size_t second = mask.find(L';', first + 1);
        if (second != std::wstring::npos && second + 1 < mask.size())
            FBlank = mask[second + 1];
    }
    SetText(L"");
}

bool TMaskEdit::IsPlace(size_t position) const
{
    return position < FMask.size() && (FMask[position] == L'9' || FMask[position] == L'0');
}

void TMaskEdit::SetText(const std::wstring& text)
{
    std::wstring filled(FMask.size(), L' ');
    for (size_t i = 0; i < FMask.size(); ++i) {
        if (!IsPlace(i))
            filled[i] = FMask[i];
        else if (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
            filled[i] = text[i];
    }
    StoreCaption(filled);
    MirrorText(0);
}

std::wstring TMaskEdit::Shown() const
{
    std::wstring shown = Text();
    for (size_t i = 0; i < shown.size(); ++i)
        if (IsPlace(i) && shown[i] == L' ')
            shown[i] = FBlank;
    return shown;
}

void TMaskEdit::MirrorText(size_t caret)
{
    if (!HandleAllocated())
        return;
    SetWindowTextMirrored(Shown());
    Perform(EM_SETSEL, caret, caret + (caret < FMask.size() ? 1 : 0));
}

void TMaskEdit::CreateParams(TCreateParams& params) const
{
    params.ClassName = L"EDIT";
    params.Style = WS_TABSTOP;
    params.ExStyle = WS_EX_CLIENTEDGE;
}

void TMaskEdit::InitWindow()
{
    SetWindowTextMirrored(Shown());
}

void TMaskEdit::TypeDigit(wchar_t digit)
{
    DWORD start = 0;
    Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    size_t place = start;
    while (place < FMask.size() && !IsPlace(place))
        ++place;
    if (place >= FMask.size())
        return;
    std::wstring text = Text();
    text[place] = digit;
    StoreCaption(text);
    size_t next = place + 1;
    while (next < FMask.size() && !IsPlace(next))
        ++next;
    MirrorText(next);
}

void TMaskEdit::ClearPlace(bool before)
{
    DWORD start = 0;
    Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    long place = before ? static_cast<long>(start) - 1 : static_cast<long>(start);
    while (place >= 0 && place < static_cast<long>(FMask.size()) && !IsPlace(static_cast<size_t>(place)))
        place += before ? -1 : 1;
    if (place < 0 || place >= static_cast<long>(FMask.size()))
        return;
    std::wstring text = Text();
    text[static_cast<size_t>(place)] = L' ';
    StoreCaption(text);
    MirrorText(static_cast<size_t>(place));
}

// The window takes digits into places and nothing else, so its text always
// fits the mask.
bool TMaskEdit::WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CHAR:
        if (wParam >= L'0' && wParam <= L'9')
            TypeDigit(static_cast<wchar_t>(wParam));
        else if (wParam == VK_BACK)
            ClearPlace(true);
        else if (wParam >= L' ')
            MessageBeep(MB_OK);
        else
            return false;
        return true;
    case WM_KEYDOWN:
        if (wParam != VK_DELETE)
            return false;
        ClearPlace(false);
        return true;
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
        return true;
    default:
        return false;
    }
}

}  // namespace forms
