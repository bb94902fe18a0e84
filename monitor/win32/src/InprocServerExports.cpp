// The exports of an in-process server with one class, made from the server's
// own description (named in each server's .def file).
#include "win32/InprocServer.h"

namespace {
HINSTANCE serverModule = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        serverModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return win32::kThisServer.locks().Locked() ? S_FALSE : S_OK; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, win32::kThisServer.clsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    return win32::kThisServer.classFactory()->QueryInterface(riid, ppv);
}

// Registers the module under its full path, which must fit the registry's
// path values.
STDAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(serverModule, path, MAX_PATH + 1);
    if (length == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    if (length > MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return win32::kThisServer.registerServer(path);
}

STDAPI DllUnregisterServer() { return win32::kThisServer.unregisterServer(); }
