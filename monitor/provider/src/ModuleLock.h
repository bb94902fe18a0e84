// The server's lock count: live objects plus IClassFactory::LockServer locks.
#pragma once

namespace quelstd {

void ModuleLockAdd();
void ModuleLockRelease();
bool ModuleIsLocked();

}  // namespace quelstd
