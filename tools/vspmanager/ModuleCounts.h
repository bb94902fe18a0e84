// What keeps the server loaded: live objects and server locks. Devices are
// counted on their own as well, for the tests of their lifetime.
#pragma once

#include "win32/InprocServer.h"

namespace vspmanager {

win32::ServerLockCount& ServerLocks();

void DeviceCreated();
void DeviceDestroyed();
LONG LiveDevices();

}  // namespace vspmanager
