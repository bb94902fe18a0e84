#include "ModuleLock.h"

#include <windows.h>

namespace quelstd {
namespace {
volatile LONG lockCount = 0;
}

void ModuleLockAdd() { InterlockedIncrement(&lockCount); }
void ModuleLockRelease() { InterlockedDecrement(&lockCount); }
bool ModuleIsLocked() { return InterlockedCompareExchange(&lockCount, 0, 0) != 0; }

}  // namespace quelstd
