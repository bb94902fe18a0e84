#pragma once
// An edit with a fixed mask of digit places and literals, such as "9.9;1;_":
// the part before the first ';' is the mask ('9' and '0' a digit place, any
// other character a literal kept in the text), then whether literals are kept
// (always here) and the character that shows an empty place.
#include "forms/Control.h"

namespace forms {

class TMaskEdit : public TControl {
public:
    explicit TMaskEdit(rtl::TComponent* owner);

    void SetEditMask(const std::wstring& mask);
    const std::wstring& EditMask() const noexcept { return FEditMask; }

    // The text with its literals and an empty place read as a blank.
    const std::wstring& Text() const noexcept { return Caption(); }
    // Fills the places position by position: a digit where the mask has a
    // place, a blank for anything else there, the literal where it has one.
    void SetText(const std::wstring& text);

protected:
    void CreateParams(TCreateParams& params) const override;
    void InitWindow() override;
    bool WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool IsPlace(size_t position) const;
    std::wstring Shown() const;
    void MirrorText(size_t caret);
    void TypeDigit(wchar_t digit);
    void ClearPlace(bool before);

    std::wstring FEditMask;
    std::wstring FMask;
    wchar_t FBlank = L'_';
};

}  // namespace forms
