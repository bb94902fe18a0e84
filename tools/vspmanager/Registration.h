// The stand-in's keys under HKEY_CLASSES_ROOT: the ProgID "Ruzu.DeviceManager"
// and its class with an in-process server. Unregistration removes the ProgID
// key whole, its configuration values with it.
#pragma once

#include <windows.h>

namespace vspmanager {

HRESULT RegisterServer(const wchar_t* modulePath);
HRESULT UnregisterServer();

}  // namespace vspmanager
