#pragma once
// Objects on pages of their own, which the free makes unreachable and keeps
// reserved, so that they are never reused: any later read or write through
// an object that was freed (inside its own event, say) faults at once.
#include <windows.h>

#include <cstddef>
#include <new>

namespace xstest {

inline void* AllocateGuarded(size_t size)
{
    void* block = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!block)
        throw std::bad_alloc();
    return block;
}

inline void FreeGuarded(void* block)
{
    MEMORY_BASIC_INFORMATION info;
    VirtualQuery(block, &info, sizeof info);
    VirtualFree(block, info.RegionSize, MEM_DECOMMIT);
}

template <class T>
struct TGuarded : T {
    using T::T;
    static void* operator new(size_t size) { return AllocateGuarded(size); }
    static void operator delete(void* block) { FreeGuarded(block); }
};

}  // namespace xstest
