#include "runtime/BlockPool.h"
#include "runtime/ScopedLock.h"
#include "runtime/StatusCodes.h"
#include "runtime/TrackedBlock.h"

namespace {

constexpr uint32_t kChunkBudget = 2028;
constexpr uint32_t kMinBlocksPerChunk = 4;

struct Chunk {
    ListNode links;
    BlockPool* pool;
    struct Block* firstFree;
    uint32_t freeCount;
};

struct Block {
    Chunk* chunk;
    Block* nextFree;
    BlockReleaseRoutine release;  // the tracked-block word before the payload
};

static_assert(sizeof(Chunk) == 20 && sizeof(Block) == 12, "pool header layouts");

void* PayloadOf(Block* block) { return block + 1; }
Block* BlockOf(void* payload) { return static_cast<Block*>(payload) - 1; }
Block* BlockAt(Chunk* chunk, uint32_t stride, uint32_t i)
{
    return reinterpret_cast<Block*>(reinterpret_cast<char*>(chunk + 1) + i * stride);
}

// A block that is already back in its pool: a second release is ignored.
void FreeBlockRelease(void*) {}

void PoolBlockRelease(void* payload)
{
    Block* block = BlockOf(payload);
    Chunk* chunk = block->chunk;
    BlockPool* pool = chunk->pool;
    ScopedLock hold(pool->lock);
    block->release = FreeBlockRelease;
    block->nextFree = chunk->firstFree;
    chunk->firstFree = block;
    if (chunk->freeCount++ == 0) {
        ListRemove(&pool->full, &chunk->links);
        ListPushBack(&pool->partial, &chunk->links);
        ++pool->partial.count;
    }
    --pool->outstanding;
    if (pool->retired && chunk->freeCount == pool->blocksPerChunk) {
        ListRemove(&pool->partial, &chunk->links);
        BlockRelease(chunk);
    }
}

Chunk* NewChunk(BlockPool* pool)
{
    auto* chunk = static_cast<Chunk*>(BlockAlloc(pool->chunkSize));
    if (!chunk)
        return nullptr;
    chunk->pool = pool;
    chunk->freeCount = pool->blocksPerChunk;
    chunk->firstFree = BlockAt(chunk, pool->stride, 0);
    for (uint32_t i = 0; i < pool->blocksPerChunk; ++i) {
        Block* block = BlockAt(chunk, pool->stride, i);
        block->chunk = chunk;
        block->nextFree = i + 1 < pool->blocksPerChunk ? BlockAt(chunk, pool->stride, i + 1) : nullptr;
        block->release = FreeBlockRelease;
    }
    ListPushFront(&pool->partial, &chunk->links);
    ++pool->partial.count;
    return chunk;
}

// Releases the list's chunks whose blocks are all free.
void ReleaseEmptyChunks(BlockPool* pool, ListHead* list)
{
    ListNode* node = list->first;
    while (node != ListSentinel(list)) {
        ListNode* next = node->next;
        auto* chunk = reinterpret_cast<Chunk*>(node);
        if (chunk->freeCount == pool->blocksPerChunk) {
            ListRemove(list, node);
            BlockRelease(chunk);
        }
        node = next;
    }
}

}  // namespace

uint32_t BlockPoolInit(BlockPool* pool, uint32_t payloadSize)
{
    // Payloads are kept 4-byte aligned; sizes the layout cannot hold are refused.
    if (payloadSize > (UINT32_MAX - sizeof(Chunk)) / kMinBlocksPerChunk - sizeof(Block) - 3)
        return kStatusInvalidParameter;
    pool->stride = ((payloadSize + 3) & ~3u) + sizeof(Block);
    pool->blocksPerChunk = kChunkBudget / pool->stride;
    if (pool->blocksPerChunk < kMinBlocksPerChunk)
        pool->blocksPerChunk = kMinBlocksPerChunk;
    pool->chunkSize = pool->blocksPerChunk * pool->stride + sizeof(Chunk);
    ListInit(&pool->partial);
    ListInit(&pool->full);
    pool->outstanding = 0;
    pool->retired = 0;
    InitializeCriticalSection(&pool->lock);
    return kStatusSuccess;
}

int BlockPoolDestroy(BlockPool* pool)
{
    {
        ScopedLock hold(pool->lock);
        ReleaseEmptyChunks(pool, &pool->partial);
        if (pool->outstanding != 0) {
            pool->retired = 1;
            return 0;
        }
    }
    DeleteCriticalSection(&pool->lock);
    return 1;
}

void* BlockPoolAlloc(BlockPool* pool)
{
    Block* block;
    {
        ScopedLock hold(pool->lock);
        Chunk* chunk = ListIsEmpty(&pool->partial) ? NewChunk(pool)
                                                   : reinterpret_cast<Chunk*>(pool->partial.first);
        if (!chunk)
            return nullptr;
        block = chunk->firstFree;
        chunk->firstFree = block->nextFree;
        if (--chunk->freeCount == 0) {
            ListRemove(&pool->partial, &chunk->links);
            ListPushBack(&pool->full, &chunk->links);
            ++pool->full.count;
        }
        ++pool->outstanding;
        block->release = PoolBlockRelease;
    }
    return PayloadOf(block);
}

void BlockPoolTrim(BlockPool* pool)
{
    ScopedLock hold(pool->lock);
    ReleaseEmptyChunks(pool, &pool->partial);
}
