#pragma once
// An edit for a whole number within a range, with up-down arrows.
#include "forms/Edit.h"

namespace forms {

class TSpinEdit : public TEdit {
public:
    explicit TSpinEdit(rtl::TComponent* owner);

    int MinValue() const noexcept { return FMinValue; }
    int MaxValue() const noexcept { return FMaxValue; }
    void SetRange(int minValue, int maxValue);
    int Value() const noexcept { return FValue; }
    // Values outside the range are pulled to its nearest end.
    void SetValue(int value);

protected:
    void CreateParams(TCreateParams& params) const override;
    void InitWindow() override;
    void TextEdited() override;

private:
    int Clamp(int value) const;

    int FMinValue = 0;
    int FMaxValue = 100;
    int FValue = 0;
    HWND FUpDown = nullptr;
};

}  // namespace forms
