// The four exports of the in-process server (named in quelstd.def).
#include "ClassFactory.h"
#include "IQuelMessageProvider.h"
#include "ModuleLock.h"
#include "Registration.h"

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

STDAPI DllCanUnloadNow() { return quelstd::ModuleIsLocked() ? S_FALSE : S_OK; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_QuelStdMsgProvider))
        return CLASS_E_CLASSNOTAVAILABLE;
    return quelstd::ProviderClassFactory()->QueryInterface(riid, ppv);
}

STDAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(serverModule, path, MAX_PATH + 1);
    if (length == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    if (length > MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return quelstd::RegisterServer(path);
}

STDAPI DllUnregisterServer() { return quelstd::UnregisterServer(); }
