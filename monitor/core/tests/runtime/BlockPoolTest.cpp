#include "runtime/BlockPool.h"
#include "runtime/SharedBlockPool.h"
#include "runtime/TrackedBlock.h"
#include "support/CoreTestFixture.h"
#include "support/TestThreads.h"
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace {

class Pool : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        ASSERT_EQ(BlockPoolInit(&pool, 32), 0u);
    }
    void TearDown() override
    {
        EXPECT_EQ(BlockPoolDestroy(&pool), 1);
        CoreTest::TearDown();
    }

    static void* ChunkOf(void* payload) { return static_cast<void**>(payload)[-3]; }
    std::vector<void*> Take(uint32_t n)
    {
        std::vector<void*> taken;
        for (uint32_t i = 0; i < n; ++i)
            taken.push_back(BlockPoolAlloc(&pool));
        return taken;
    }
    static void Give(const std::vector<void*>& blocks)
    {
        for (void* b : blocks)
            BlockRelease(b);
    }

    BlockPool pool;
};

TEST_F(Pool, SizingFollowsTheChunkBudget)
{
    struct Case {
        uint32_t payload, stride, perChunk;
    } cases[] = {{32, 44, 46}, {1000, 1012, 4}, {44, 56, 36}, {30, 44, 46}};
    for (const Case& c : cases) {
        BlockPool p;
        ASSERT_EQ(BlockPoolInit(&p, c.payload), 0u);
        EXPECT_EQ(p.stride, c.stride) << c.payload;
        EXPECT_EQ(p.blocksPerChunk, c.perChunk) << c.payload;
        EXPECT_EQ(p.chunkSize, c.perChunk * c.stride + 20) << c.payload;
        EXPECT_EQ(BlockPoolDestroy(&p), 1);
    }
    BlockPool tooBig;
    EXPECT_EQ(BlockPoolInit(&tooBig, 0xFFFFFFF0u), 0xC000000Du);
}

TEST_F(Pool, ReleasedBlockOfAFullChunkIsTheNextOneHandedOut)
{
    std::vector<void*> first = Take(46);
    EXPECT_EQ(pool.partial.count, 0u);
    EXPECT_EQ(pool.full.count, 1u);
    void* middle = first[20];
    BlockRelease(middle);
    EXPECT_EQ(pool.full.count, 0u);
    EXPECT_EQ(pool.partial.count, 1u);
    EXPECT_EQ(BlockPoolAlloc(&pool), middle);

    // Within a chunk the last freed block comes back first.
    BlockRelease(first[3]);
    BlockRelease(first[7]);
    EXPECT_EQ(BlockPoolAlloc(&pool), first[7]);
    EXPECT_EQ(BlockPoolAlloc(&pool), first[3]);
    Give(first);
}

TEST_F(Pool, NewChunksGoFirstAndRefilledChunksGoLast)
{
    std::vector<void*> a = Take(46);
    std::vector<void*> b = Take(1);
    void* chunkA = ChunkOf(a[0]);
    void* chunkB = ChunkOf(b[0]);
    EXPECT_NE(chunkA, chunkB);
    BlockRelease(a[5]);  // chunk A leaves the full list for the end of the other
    ASSERT_EQ(pool.partial.count, 2u);
    EXPECT_EQ(static_cast<void*>(pool.partial.first), chunkB);
    EXPECT_EQ(static_cast<void*>(pool.partial.last), chunkA);
    void* next = BlockPoolAlloc(&pool);
    EXPECT_EQ(ChunkOf(next), chunkB);

    BlockRelease(next);
    Give(b);
    uint32_t blocks = LiveBlockCount();
    BlockPoolTrim(&pool);  // chunk B is now wholly free; A still has blocks out
    EXPECT_EQ(LiveBlockCount(), blocks - 1);
    EXPECT_EQ(pool.partial.count, 1u);
    a[5] = BlockPoolAlloc(&pool);
    EXPECT_EQ(ChunkOf(a[5]), chunkA);
    Give(a);
}

TEST_F(Pool, DestroyWithBlocksOutKeepsThemUsable)
{
    BlockPool* p = new BlockPool;
    ASSERT_EQ(BlockPoolInit(p, 16), 0u);
    std::vector<void*> spare;
    uint32_t perChunk = p->blocksPerChunk;
    void* kept = BlockPoolAlloc(p);
    for (uint32_t i = 0; i < perChunk; ++i)
        spare.push_back(BlockPoolAlloc(p));  // fills chunk one, opens chunk two
    void* idleChunkBlock = spare.back();
    spare.pop_back();
    BlockRelease(idleChunkBlock);  // chunk two is wholly free again
    uint32_t blocks = LiveBlockCount();

    EXPECT_EQ(BlockPoolDestroy(p), 0) << "blocks still out";
    EXPECT_EQ(LiveBlockCount(), blocks - 1) << "the idle chunk goes at once";
    Give(spare);
    std::memset(kept, 0x5A, 16);
    BlockRelease(kept);  // the pool's lock is still alive for this release
    EXPECT_EQ(LiveBlockCount(), blocks - 2) << "the last chunk goes with its last block";
    delete p;  // the record's memory is the caller's, its lock left deliberately
}

TEST_F(Pool, ThreadsAllocatingAndReleasingNeverShareABlock)
{
    constexpr int kThreads = 6;
    constexpr int kSteps = 20000;
    std::mutex outstandingLock;
    std::set<void*> outstanding;
    volatile LONG duplicates = 0, failures = 0;
    TestEvent go;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(t * 7919 + 1);
            std::vector<void*> mine;
            go.Wait();
            for (int step = 0; step < kSteps; ++step) {
                if (mine.empty() || random() % 3 != 0) {
                    void* block = BlockPoolAlloc(&pool);
                    if (!block) {
                        InterlockedIncrement(&failures);
                        continue;
                    }
                    *static_cast<int*>(block) = t;
                    std::lock_guard<std::mutex> hold(outstandingLock);
                    if (!outstanding.insert(block).second)
                        InterlockedIncrement(&duplicates);
                    mine.push_back(block);
                } else {
                    size_t i = random() % mine.size();
                    void* block = mine[i];
                    mine[i] = mine.back();
                    mine.pop_back();
                    if (*static_cast<int*>(block) != t)
                        InterlockedIncrement(&duplicates);
                    {
                        std::lock_guard<std::mutex> hold(outstandingLock);
                        outstanding.erase(block);
                    }
                    BlockRelease(block);
                }
                if (mine.size() > 300) {
                    std::lock_guard<std::mutex> hold(outstandingLock);
                    for (void* b : mine)
                        outstanding.erase(b);
                    Give(mine);
                    mine.clear();
                }
            }
            std::lock_guard<std::mutex> hold(outstandingLock);
            for (void* b : mine)
                outstanding.erase(b);
            Give(mine);
        });
    }
    go.Set();
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(duplicates, 0);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(pool.outstanding, 0u);
}

// Busy blocks of the process heap, as the heap walk sees them.
size_t HeapBlocksInUse()
{
    HANDLE heap = GetProcessHeap();
    size_t busy = 0;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry))
        busy += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
    HeapUnlock(heap);
    return busy;
}

SharedBlockPool g_unregistered;
void DestroyUnregistered() { SharedBlockPoolDestroy(g_unregistered); }

// Outside start-up no exit callback can be registered: the shared pool is not
// made, and the record tried for it leaves nothing behind, its lock included.
TEST(SharedPool, RefusedOutsideStartUpAndLeavesNothingBehind)
{
    ASSERT_EQ(SharedBlockPoolGet(g_unregistered, 16, DestroyUnregistered), nullptr);
    const size_t before = HeapBlocksInUse();
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(SharedBlockPoolGet(g_unregistered, 16, DestroyUnregistered), nullptr);
    EXPECT_LT(HeapBlocksInUse(), before + 20) << "each refusal left heap blocks behind";
}

}  // namespace
