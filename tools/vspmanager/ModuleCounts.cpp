#include "ModuleCounts.h"

namespace vspmanager {
namespace {
volatile LONG liveDevices = 0;
}

win32::ServerLockCount& ServerLocks()
{
    static win32::ServerLockCount locks;
    return locks;
}

void DeviceCreated() { InterlockedIncrement(&liveDevices); }
void DeviceDestroyed() { InterlockedDecrement(&liveDevices); }
LONG LiveDevices() { return InterlockedCompareExchange(&liveDevices, 0, 0); }

}  // namespace vspmanager
