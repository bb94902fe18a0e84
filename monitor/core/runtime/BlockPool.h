#pragma once
#include "runtime/IntrusiveList.h"
#include <windows.h>
#include <cstdint>

// Fixed-size allocator for the core's most frequent small records. Blocks are
// carved from chunks that are tracked blocks themselves; a block is given back
// with BlockRelease like any tracked block.
struct BlockPool {
    ListHead partial;  // chunks with free blocks
    ListHead full;     // chunks without
    uint32_t chunkSize;
    uint32_t stride;
    uint32_t blocksPerChunk;
    CRITICAL_SECTION lock;
    uint32_t outstanding;  // blocks handed out and not yet returned
    uint32_t retired;      // destroyed with blocks out: chunks go as soon as they empty
};

// 0, or kStatusInvalidParameter when the payload size cannot be laid out.
uint32_t BlockPoolInit(BlockPool* pool, uint32_t payloadSize);
// Releases every chunk whose blocks are all free. With blocks still handed out
// their chunks, the pool record and its lock stay alive so that a later
// release stays safe (the caller then keeps the record's memory; each chunk
// is released when its last block comes back): returns 0.
// Returns 1 when the pool is gone entirely.
int BlockPoolDestroy(BlockPool* pool);
void* BlockPoolAlloc(BlockPool* pool);  // payload, or null when no chunk can be had
void BlockPoolTrim(BlockPool* pool);    // releases every chunk whose blocks are all free
