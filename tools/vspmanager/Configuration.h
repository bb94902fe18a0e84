// What the stand-in manager serves, read from values beside its ProgID key
// HKEY_CLASSES_ROOT\Ruzu.DeviceManager:
//   Ports                REG_MULTI_SZ  port names in the manager's order; when the
//                                      value is absent, the log-service demo's
//                                      ports COM1 and COM2; empty: no devices
//   FailingPort          REG_SZ        the port whose device fails the port lookup
//   FreeReleasedDevices  REG_DWORD     non-zero: the manager keeps no device alive,
//                                      each one goes with its last reference
//   DeviceNameFault      REG_SZ        "fail", "null" or "empty": what every device's
//   PortNameFault        REG_SZ        (or port's) name call gives instead of its name
#pragma once

#include <string>
#include <vector>

namespace vspmanager {

enum class NameFault { None, Fails, Null, Empty };

struct Configuration {
    std::vector<std::wstring> ports;
    std::wstring failingPort;
    bool freeReleasedDevices = false;
    NameFault deviceNameFault = NameFault::None;
    NameFault portNameFault = NameFault::None;
};

Configuration ReadConfiguration();

}  // namespace vspmanager
