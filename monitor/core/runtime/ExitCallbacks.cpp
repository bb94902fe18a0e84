#include "runtime/ExitCallbacks.h"
#include "runtime/IntrusiveList.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"

namespace {

struct ExitEntry {
    ListNode links;
    ExitRoutine routine;
};

struct Registry {
    ListHead entries;
    CRITICAL_SECTION lock;
    bool open;
};

Registry g_registry;

}  // namespace

NtStatus AtExitRegister(ExitRoutine routine)
{
    if (!g_registry.open)
        return kStatusInvalidState;
    auto* entry = static_cast<ExitEntry*>(BlockAlloc(sizeof(ExitEntry)));
    if (!entry)
        return kStatusNoMemory;
    entry->routine = routine;
    ScopedLock hold(g_registry.lock);
    ListPushFront(&g_registry.entries, &entry->links);
    ++g_registry.entries.count;
    return kStatusSuccess;
}

void ExitCallbacksInit()
{
    ListInit(&g_registry.entries);
    InitializeCriticalSection(&g_registry.lock);
    g_registry.open = true;
}

void ExitCallbacksRun()
{
    for (;;) {
        ExitEntry* entry;
        {
            ScopedLock hold(g_registry.lock);
            if (ListIsEmpty(&g_registry.entries))
                return;
            entry = reinterpret_cast<ExitEntry*>(ListPopFront(&g_registry.entries));
        }
        entry->routine();
        BlockRelease(entry);
    }
}

void ExitCallbacksDestroy()
{
    g_registry.open = false;
    DeleteCriticalSection(&g_registry.lock);
}
