// The class object of QuelStdMsgProvider.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace quelstd {

// The one process-wide class object; it does not count towards the module lock
// (LockServer does).
IClassFactory* ProviderClassFactory();

}  // namespace quelstd
