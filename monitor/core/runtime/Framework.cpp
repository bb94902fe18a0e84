#include "runtime/Framework.h"
#include "runtime/ControlBlock.h"
#include "runtime/ErrorMap.h"
#include "runtime/ExitCallbacks.h"
#include "runtime/FixedWaits.h"
#include "runtime/TrackedBlock.h"

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
