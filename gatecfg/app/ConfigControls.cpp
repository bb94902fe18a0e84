#include "ConfigControls.h"

namespace gatecfg {

namespace {

template <typename T>
void Assign(const std::optional<T>& update, T& control)
{
    if (update)
        control = *update;
}

}  // namespace

bool ControlUpdates::Empty() const
{
    return !SpinEdit1 && !SpinEdit3 && !SpinEdit7 && !SpinEdit8 && !SpinEdit10 && !MaskEdit1 &&
           !MaskEdit2 && !MaskEdit3 && !MaskEdit4 && !MaskEdit5 && !MaskEdit6 && !MaskEdit7 &&
           !MaskEdit8;
}

void ControlUpdates::ApplyTo(ConfigControls& c) const
{
    Assign(SpinEdit1, c.SpinEdit1);
    Assign(SpinEdit3, c.SpinEdit3);
    Assign(SpinEdit7, c.SpinEdit7);
    Assign(SpinEdit8, c.SpinEdit8);
    Assign(SpinEdit10, c.SpinEdit10);
    Assign(MaskEdit1, c.MaskEdit1);
    Assign(MaskEdit2, c.MaskEdit2);
    Assign(MaskEdit3, c.MaskEdit3);
    Assign(MaskEdit4, c.MaskEdit4);
    Assign(MaskEdit5, c.MaskEdit5);
    Assign(MaskEdit6, c.MaskEdit6);
    Assign(MaskEdit7, c.MaskEdit7);
    Assign(MaskEdit8, c.MaskEdit8);
}

}  // namespace gatecfg
