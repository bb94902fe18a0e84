// What the stand-in manager serves, read from values beside its ProgID key
// HKEY_CLASSES_ROOT\Ruzu.DeviceManager:
//   Ports                REG_MULTI_SZ  port names in the manager's order; when the
//                                      value is absent, the log-service demo's
//                                      ports COM1 and COM2; empty: no devices
//   FailingPort          REG_SZ        the port whose device fails the port lookup
//   FreeReleasedDevices  REG_DWORD     non-zero: the manager keeps no device alive,
//                                      each one goes with its last reference
#pragma once

#include <string>
#include <vector>

namespace vspmanager {

struct Configuration {
    std::vector<std::wstring> ports;
    std::wstring failingPort;
    bool freeReleasedDevices = false;
};

Configuration ReadConfiguration();

}  // namespace vspmanager
