#pragma once
#include "runtime/TrackedBlock.h"
#include <memory>
#include <new>

// Owns a tracked block (an address record, a pool block) and gives it back
// with BlockRelease when it goes, whichever kind of block it is.
struct BlockReleaser {
    void operator()(void* block) const { BlockRelease(block); }
};

template <class T>
using BlockOwner = std::unique_ptr<T, BlockReleaser>;

// A C++ record in a tracked block, for records whose address the system holds
// (an OVERLAPPED inside) and so cannot be owned by a scope: null when memory
// is short.
template <class T>
T* BlockNew()
{
    void* memory = BlockAlloc(sizeof(T));
    return memory ? new (memory) T() : nullptr;
}

template <class T>
void BlockDelete(T* record)
{
    record->~T();
    BlockRelease(record);
}
