#pragma once
// Layout controls: a text label, a panel that holds and docks other controls,
// and a bevel that draws a frame or a line.
#include "forms/Control.h"

namespace forms {

class TLabel : public TControl {
public:
    explicit TLabel(rtl::TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) const override;
};

class TPanel : public TControl {
public:
    explicit TPanel(rtl::TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) const override;
};

enum class TBevelShape { bsFrame, bsTopLine };

class TBevel : public TControl {
public:
    explicit TBevel(rtl::TComponent* owner);
    TBevelShape Shape() const noexcept { return FShape; }
    void SetShape(TBevelShape shape) { FShape = shape; }

protected:
    void CreateParams(TCreateParams& params) const override;

private:
    TBevelShape FShape = TBevelShape::bsFrame;
};

}  // namespace forms
