// What keeps the server loaded: live objects and server locks. Devices are
// counted on their own as well, for the tests of their lifetime.
#pragma once

#include <windows.h>

namespace vspmanager {

void ObjectCreated();
void ObjectDestroyed();
void DeviceCreated();
void DeviceDestroyed();
void ServerLock(bool lock);

bool ServerInUse();
LONG LiveDevices();

}  // namespace vspmanager
