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

STDAPI DllCanUnloadNow() { return quelstd::ModuleLocks().Locked() ? S_FALSE : S_OK; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return win32::GetClassObject(clsid, CLSID_QuelStdMsgProvider, *quelstd::ProviderClassFactory(), riid, ppv);
}

STDAPI DllRegisterServer() { return win32::RegisterModule(serverModule, quelstd::RegisterServer); }

STDAPI DllUnregisterServer() { return quelstd::UnregisterServer(); }
