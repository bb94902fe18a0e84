#include "OpenSslHeapWatch.h"

#include <cstdlib>
#include <mutex>
#include <unordered_set>

namespace ssltest {

namespace {

std::mutex gLock;
std::unordered_set<void*>* gLive = nullptr;
int gBadFrees = 0;

void* __cdecl WatchMalloc(size_t size)
{
    void* block = std::malloc(size);
    std::lock_guard<std::mutex> lock(gLock);
    if (block)
        gLive->insert(block);
    return block;
}

void* __cdecl WatchRealloc(void* block, size_t size)
{
    std::lock_guard<std::mutex> lock(gLock);
    if (block && !gLive->count(block)) {
        ++gBadFrees;
        return nullptr;
    }
    void* moved = std::realloc(block, size);
    if (moved) {
        gLive->erase(block);
        gLive->insert(moved);
    }
    return moved;
}

void __cdecl WatchFree(void* block)
{
    if (!block)
        return;
    std::lock_guard<std::mutex> lock(gLock);
    if (!gLive->erase(block)) {
        ++gBadFrees;  // not ours, or freed before: left alone
        return;
    }
    std::free(block);
}

using TSetMemFunctions = int(__cdecl*)(void* (__cdecl*)(size_t), void* (__cdecl*)(void*, size_t),
                                       void(__cdecl*)(void*));

}  // namespace

TOpenSslHeapWatch::TOpenSslHeapWatch() : FModule(LoadLibraryA("LIBEAY32.DLL"))
{
    if (!gLive)
        gLive = new std::unordered_set<void*>;
    gLive->clear();
    gBadFrees = 0;
    auto set = reinterpret_cast<TSetMemFunctions>(
        reinterpret_cast<void (*)()>(GetProcAddress(FModule, "CRYPTO_set_mem_functions")));
    FInstalled = set && set(&WatchMalloc, &WatchRealloc, &WatchFree) == 1;
}

TOpenSslHeapWatch::~TOpenSslHeapWatch()
{
    // The routines stay with the module until it goes.
    if (FModule)
        FreeLibrary(FModule);
}

size_t TOpenSslHeapWatch::LiveBlocks()
{
    std::lock_guard<std::mutex> lock(gLock);
    return gLive->size();
}

int TOpenSslHeapWatch::BadFrees()
{
    std::lock_guard<std::mutex> lock(gLock);
    return gBadFrees;
}

}  // namespace ssltest
