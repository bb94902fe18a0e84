// The requests the main form sends to the selected controller: the poll and
// the configuration commands, each with the text the user confirms first.
#pragma once

#include <string>
#include <vector>

#include "ConfigControls.h"
#include "ControllerFrame.h"

namespace gatecfg {

// One per command button of the form.
enum class ConfigCommand {
    Reset,            // Button3: reset to defaults
    PrimaryRelayA,    // Button4
    SecondaryRelayA,  // Button5
    PrimaryRelayB,    // Button7
    SecondaryRelayB,  // Button6
    RelayOffDelay,    // Button8: primary relay switch-off delay and priority side
    PanicRelay,       // Button9
    PassWaitA,        // Button10: pass waiting time of side A
    PassWaitB,        // Button11
    FreeCommand,      // Button12: whatever the user typed after the device number
};

// A command read from the controls before the confirmation box is shown,
// so that a reply decoded while the box is open cannot change what is sent.
// The frame is completed from the device record looked up after the box.
class PreparedCommand {
public:
    enum class FrameSide { Device, A, B, None };

    PreparedCommand(std::wstring confirmation, FrameSide side, std::string parameters);

    const std::wstring& Confirmation() const { return confirmation_; }
    // "$" + device number + side + parameters + CRC, without a line end.
    std::string Frame(const DeviceIdentity& device) const;

private:
    std::wstring confirmation_;
    FrameSide side_;
    std::string parameters_;
};

// `device` is the selected row's caption, the controller's IP address.
PreparedCommand PrepareCommand(ConfigCommand command, const std::wstring& device,
                               const ConfigControls& controls);

std::wstring PollConfirmation(const std::wstring& device);
// GN, GL, GV, GD and GC on the device's own side, then RT for sides A and B.
std::vector<std::string> PollFrames(const DeviceIdentity& device);

// "R", "G" or "N" for the colour items "Красный", "Зеленый", "Нет"; empty
// without a selection.
std::string LightLetter(int itemIndex);

}  // namespace gatecfg
