#include "ModuleCounts.h"

namespace vspmanager {
namespace {
volatile LONG liveObjects = 0;
volatile LONG serverLocks = 0;
volatile LONG liveDevices = 0;
}  // namespace

void ObjectCreated() { InterlockedIncrement(&liveObjects); }
void ObjectDestroyed() { InterlockedDecrement(&liveObjects); }
void DeviceCreated() { InterlockedIncrement(&liveDevices); }
void DeviceDestroyed() { InterlockedDecrement(&liveDevices); }

void ServerLock(bool lock)
{
    if (lock)
        InterlockedIncrement(&serverLocks);
    else
        InterlockedDecrement(&serverLocks);
}

bool ServerInUse()
{
    return InterlockedCompareExchange(&liveObjects, 0, 0) != 0 || InterlockedCompareExchange(&serverLocks, 0, 0) != 0;
}

LONG LiveDevices() { return InterlockedCompareExchange(&liveDevices, 0, 0); }

}  // namespace vspmanager
