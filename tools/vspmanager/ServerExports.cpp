// What the in-process server's exports (quel_inproc_exports, named in
// vspmanager.def) serve, and the one export of its own.
#include "ClassFactory.h"
#include "ModuleCounts.h"
#include "Registration.h"
#include "ServerIds.h"

const win32::InprocServerDescription win32::kThisServer = {
    vspmanager::CLSID_VspManager, vspmanager::ManagerClassFactory, vspmanager::ServerLocks,
    vspmanager::RegisterServer, vspmanager::UnregisterServer};

// Devices alive now in this process, for the tests of their lifetime.
extern "C" LONG __cdecl VspManagerLiveDevices() { return vspmanager::LiveDevices(); }
