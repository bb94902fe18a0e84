// The server's lock count: live objects plus IClassFactory::LockServer locks.
#pragma once

#include "win32/InprocServer.h"

namespace quelstd {

win32::ServerLockCount& ModuleLocks();

}  // namespace quelstd
