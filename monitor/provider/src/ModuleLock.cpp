#include "ModuleLock.h"

namespace quelstd {

win32::ServerLockCount& ModuleLocks()
{
    static win32::ServerLockCount locks;
    return locks;
}

}  // namespace quelstd
