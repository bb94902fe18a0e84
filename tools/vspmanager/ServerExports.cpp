// The exports of the in-process server (named in vspmanager.def).
#include "ClassFactory.h"
#include "ModuleCounts.h"
#include "Registration.h"
#include "ServerIds.h"

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

STDAPI DllCanUnloadNow() { return vspmanager::ServerInUse() ? S_FALSE : S_OK; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, vspmanager::CLSID_VspManager))
        return CLASS_E_CLASSNOTAVAILABLE;
    return vspmanager::ManagerClassFactory()->QueryInterface(riid, ppv);
}

STDAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(serverModule, path, MAX_PATH + 1);
    if (length == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    if (length > MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return vspmanager::RegisterServer(path);
}

STDAPI DllUnregisterServer() { return vspmanager::UnregisterServer(); }

// Devices alive now in this process, for the tests of their lifetime.
extern "C" LONG __cdecl VspManagerLiveDevices() { return vspmanager::LiveDevices(); }
