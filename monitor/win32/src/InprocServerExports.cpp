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
    const win32::InprocServerDescription& server = win32::kThisServer;
    return win32::GetClassObject(clsid, server.clsid, *server.classFactory(), riid, ppv);
}

STDAPI DllRegisterServer() { return win32::RegisterModule(serverModule, win32::kThisServer.registerServer); }

STDAPI DllUnregisterServer() { return win32::kThisServer.unregisterServer(); }
