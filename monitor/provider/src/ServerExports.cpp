// What the in-process server's exports (quel_inproc_exports, named in
// quelstd.def) serve: its one class.
#include "ClassFactory.h"
#include "IQuelMessageProvider.h"
#include "ModuleLock.h"
#include "Registration.h"

const win32::InprocServerDescription win32::kThisServer = {
    CLSID_QuelStdMsgProvider, quelstd::ProviderClassFactory, quelstd::ModuleLocks, quelstd::RegisterServer,
    quelstd::UnregisterServer};
