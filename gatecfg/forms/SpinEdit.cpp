#include "forms/SpinEdit.h"

#include <commctrl.h>

#include <cwchar>

namespace forms {

TSpinEdit::TSpinEdit(rtl::TComponent* owner) : TEdit(owner)
{
    SetCaption(L"0");
}

int TSpinEdit::Clamp(int value) const
{
    return value < FMinValue ? FMinValue : value > FMaxValue ? FMaxValue : value;
}

void TSpinEdit::SetRange(int minValue, int maxValue)
{
    FMinValue = minValue;
    FMaxValue = maxValue;
    if (FUpDown)
        SendMessageW(FUpDown, UDM_SETRANGE32, static_cast<WPARAM>(minValue), maxValue);
    SetValue(FValue);
}

void TSpinEdit::SetValue(int value)
{
    FValue = Clamp(value);
    SetCaption(std::to_wstring(FValue));
}

void TSpinEdit::CreateParams(TCreateParams& params) const
{
    TEdit::CreateParams(params);
    params.Style |= ES_NUMBER;
}

void TSpinEdit::InitWindow()
{
    FUpDown = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                              WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_SETBUDDYINT |
                                  UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                              0, 0, 0, 0, GetParent(Handle()), nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    if (FUpDown) {
        FMirroring = true;
        SendMessageW(FUpDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle()), 0);
        SendMessageW(FUpDown, UDM_SETRANGE32, static_cast<WPARAM>(FMinValue), FMaxValue);
        SendMessageW(FUpDown, UDM_SETPOS32, 0, FValue);
        FMirroring = false;
    }
}

void TSpinEdit::TextEdited()
{
    TEdit::TextEdited();
    // Text that is no number yet (an emptied edit) keeps the last value.
    const std::wstring& text = Text();
    wchar_t* end = nullptr;
    long number = std::wcstol(text.c_str(), &end, 10);
    if (text.empty() || !end || *end != L'\0')
        return;
    FValue = Clamp(static_cast<int>(number));
    // A number beyond the range shows as the end it was pulled to.
    if (FValue != number)
        SetCaption(std::to_wstring(FValue));
}

}  // namespace forms
