#include "net/FamilyRegistry.h"
#include "net/TransportFactories.h"
#include "runtime/ExitCallbacks.h"
#include "runtime/IntrusiveList.h"
#include "runtime/OnceFlag.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"
#include <winsock2.h>

namespace {

struct FamilyEntry {
    ListNode links;
    uint32_t family;
    FamilyFactory factory;
};

struct Registry {
    OnceFlag built;
    CRITICAL_SECTION lock;
    ListHead entries;
};

Registry g_registry;
OnceFlag g_netInit;

// Framework shut-down: free the entries and make both the registry and the
// network start-up fresh for a later start-up.
void RegistryClose()
{
    while (!ListIsEmpty(&g_registry.entries))
        BlockRelease(ListPopFront(&g_registry.entries));  // an intrusive list owns its entries
    DeleteCriticalSection(&g_registry.lock);
    OnceReset(g_netInit);
    OnceReset(g_registry.built);
}

// Opened only where its exit callback can be registered (between start-up
// and shut-down): a registry that nothing tears down would carry its entries
// and the network start-up into every later run. False outside.
bool RegistryOpen()
{
    if (!OnceBegin(g_registry.built))
        return true;
    if (AtExitRegister(RegistryClose) != kStatusSuccess) {
        OnceReset(g_registry.built);
        return false;
    }
    InitializeCriticalSection(&g_registry.lock);
    ListInit(&g_registry.entries);
    OnceEnd(g_registry.built);
    return true;
}

}  // namespace

bool NetInit()
{
    // The registry first, so that its exit callback also resets this start-up
    // when WSAStartup fails and nothing gets registered.
    if (!RegistryOpen())
        return false;
    if (!OnceBegin(g_netInit))
        return true;
    WSADATA data;
    bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (started) {
        // A family left out for want of memory is then reported as unknown.
        (void)RegisterFamilyProvider(kFamilyIpv4, WinsockProviderFactory);
        (void)RegisterFamilyProvider(kFamilyPipe, PipeProviderFactory);
    }
    OnceEnd(g_netInit);
    return started;
}

NtStatus RegisterFamilyProvider(uint32_t family, FamilyFactory factory)
{
    if (!RegistryOpen())
        return kStatusInvalidState;
    auto* entry = static_cast<FamilyEntry*>(BlockAlloc(sizeof(FamilyEntry)));
    if (!entry)
        return kStatusNoMemory;
    entry->family = family;
    entry->factory = factory;
    ScopedLock hold(g_registry.lock);
    ListPushFront(&g_registry.entries, &entry->links);
    ++g_registry.entries.count;
    return kStatusSuccess;
}

FamilyFactory FindFamilyProvider(uint32_t family)
{
    NetInit();
    if (!RegistryOpen())
        return nullptr;
    ScopedLock hold(g_registry.lock);
    for (ListNode* n = g_registry.entries.first; n != ListSentinel(&g_registry.entries); n = n->next) {
        auto* entry = reinterpret_cast<FamilyEntry*>(n);
        if (entry->family == family)
            return entry->factory;
    }
    return nullptr;
}
