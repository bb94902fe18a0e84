#include "Framework.h"
#include "ControlBlock.h"
#include "ErrorMap.h"
#include "ExitCallbacks.h"
#include "FixedWaits.h"
#include "TrackedBlock.h"

namespace {
bool g_sharedMapsBuilt;
}

void FrameworkStartup()
{
    LiveBlocksInit();
    if (!g_sharedMapsBuilt) {
        ErrorMapInit();
        g_sharedMapsBuilt = true;
    }
    ObjPoolInit();
    ExitCallbacksInit();
}

void FrameworkShutdown()
{
    ObjWaitAllFreed(CoreFixedWaits().shutdownMs);
    ExitCallbacksRun();
    ExitCallbacksDestroy();
    if (ObjAllFreedNow()) {
        ObjPoolShutdown();
        ErrorMapDestroy();
        g_sharedMapsBuilt = false;
    }
    LiveBlocksWaitAndClose();
}
