// The values of the main form's configuration controls, kept apart from any
// window so that commands are built and replies decoded without one.
#pragma once

#include <optional>
#include <string>

namespace gatecfg {

// The relay numbers the spin edits hold; a frame's digit can carry more.
constexpr int kMinRelayNumber = 0;
constexpr int kMaxRelayNumber = 4;

// Field names follow the form's components. Combo boxes hold the selected
// item index, -1 for no selection.
struct ConfigControls {
    // Relay numbers, kMinRelayNumber to kMaxRelayNumber.
    int SpinEdit1 = 0;   // side A primary relay
    int SpinEdit3 = 0;   // side A secondary relay
    int SpinEdit7 = 0;   // side B primary relay
    int SpinEdit8 = 0;   // side B secondary relay
    int SpinEdit10 = 0;  // panic relay
    // On-times "9.9" in seconds, blank digits as spaces.
    std::wstring MaskEdit1 = L" . ";  // panic relay
    std::wstring MaskEdit2 = L" . ";  // side A primary
    std::wstring MaskEdit3 = L" . ";  // side A secondary
    std::wstring MaskEdit4 = L" . ";  // side B primary
    std::wstring MaskEdit5 = L" . ";  // side B secondary
    std::wstring MaskEdit6 = L" . ";  // primary relay switch-off delay
    // Pass waiting times "9" in whole seconds.
    std::wstring MaskEdit7 = L" ";    // side A
    std::wstring MaskEdit8 = L" ";    // side B
    int ComboBox1 = -1;  // side A secondary relay colour: "Красный", "Зеленый", "Нет"
    int ComboBox2 = -1;  // side B secondary relay colour
    int ComboBox3 = -1;  // priority side: "A", "B"
    std::wstring Edit1;  // free command
};

// The controls a configuration reply loads; unset fields stay as they are.
struct ControlUpdates {
    std::optional<int> SpinEdit1, SpinEdit3, SpinEdit7, SpinEdit8, SpinEdit10;
    std::optional<std::wstring> MaskEdit1, MaskEdit2, MaskEdit3, MaskEdit4, MaskEdit5,
        MaskEdit6, MaskEdit7, MaskEdit8;

    bool Empty() const;
    void ApplyTo(ConfigControls& controls) const;
};

}  // namespace gatecfg
