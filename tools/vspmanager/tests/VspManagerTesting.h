// For every test that uses the stand-in manager: its path, its registration
// through regsvr32, its configuration for the length of a test, and its count
// of live devices.
#pragma once

#include "TestProgram.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vspmanager_test {

// Full path of vspmanager.dll beside the running test program.
std::wstring ServerPath();

// Exit code of regsvr32 with `switches` ("/s", "/u /s") on the stand-in.
DWORD RegisterServer(const std::wstring& switches);

struct Settings {
    // Tests list as many of the settings as they need, in this order.
    Settings(std::optional<std::vector<std::wstring>> ports = std::nullopt, std::wstring failingPort = L"",
             bool freeReleasedDevices = false, std::wstring deviceNameFault = L"", std::wstring portNameFault = L"")
        : ports(std::move(ports)), failingPort(std::move(failingPort)), freeReleasedDevices(freeReleasedDevices),
          deviceNameFault(std::move(deviceNameFault)), portNameFault(std::move(portNameFault))
    {
    }

    std::optional<std::vector<std::wstring>> ports;  // none: the default ports
    std::wstring failingPort;                        // empty: every lookup succeeds
    bool freeReleasedDevices;
    std::wstring deviceNameFault;  // "fail", "null" or "empty"; empty: the names
    std::wstring portNameFault;
};

// Removes every configuration value of the stand-in: the defaults again,
// whatever an earlier test run that ended early left behind.
void ClearConfiguration();

// The stand-in's configuration values while the object lives, and no others;
// they are removed again by the destructor.
class ScopedConfiguration {
public:
    explicit ScopedConfiguration(const Settings& settings);
    ScopedConfiguration(const ScopedConfiguration&) = delete;
    ScopedConfiguration& operator=(const ScopedConfiguration&) = delete;
    ~ScopedConfiguration();

    bool applied() const { return applied_; }

private:
    bool applied_ = false;
};

// Devices alive in this process, and the server's DllCanUnloadNow, from the
// module that COM loaded; 0 and S_OK while the module is not loaded.
LONG LiveDevices();
HRESULT ServerCanUnloadNow();

}  // namespace vspmanager_test
