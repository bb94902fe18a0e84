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

STDAPI DllCanUnloadNow() { return vspmanager::ServerLocks().Locked() ? S_FALSE : S_OK; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return win32::GetClassObject(clsid, vspmanager::CLSID_VspManager, *vspmanager::ManagerClassFactory(), riid, ppv);
}

STDAPI DllRegisterServer() { return win32::RegisterModule(serverModule, vspmanager::RegisterServer); }

STDAPI DllUnregisterServer() { return vspmanager::UnregisterServer(); }

// Devices alive now in this process, for the tests of their lifetime.
extern "C" LONG __cdecl VspManagerLiveDevices() { return vspmanager::LiveDevices(); }
