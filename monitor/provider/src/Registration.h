// Self-registration of the server under HKEY_CLASSES_ROOT.
#pragma once

#include <windows.h>

namespace quelstd {

// Writes the ProgID and CLSID keys for the server file modulePath and
// registers the type library embedded in it.
HRESULT RegisterServer(const wchar_t* modulePath);

// Removes what RegisterServer wrote; HKEY_CLASSES_ROOT\CLSID itself stays.
HRESULT UnregisterServer();

}  // namespace quelstd
