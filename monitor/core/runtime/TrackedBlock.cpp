#include "runtime/TrackedBlock.h"
#include "runtime/FixedWaits.h"
#include "runtime/LiveCounter.h"
#include <windows.h>

namespace {

LiveCounter g_liveBlocks;
volatile LONG g_failArmed = 0;
volatile LONG g_failBudget = 0;

bool AllocationRefused()
{
    return g_failArmed && InterlockedDecrement(&g_failBudget) < 0;
}

void HeapBlockRelease(void* block)
{
    HeapFree(GetProcessHeap(), 0, static_cast<char*>(block) - sizeof(BlockReleaseRoutine));
    LiveCounterLeave(g_liveBlocks);
}

}  // namespace

void* BlockAlloc(uint32_t n)
{
    if (n > UINT32_MAX - sizeof(BlockReleaseRoutine) || AllocationRefused())
        return nullptr;
    void* raw = HeapAlloc(GetProcessHeap(), 0, n + sizeof(BlockReleaseRoutine));
    if (!raw)
        return nullptr;
    void* block = static_cast<BlockReleaseRoutine*>(raw) + 1;
    BlockReleaseWord(block) = HeapBlockRelease;
    LiveCounterEnter(g_liveBlocks);
    return block;
}

void BlockRelease(void* block)
{
    if (block)
        BlockReleaseWord(block)(block);
}

void LiveBlocksInit() { LiveCounterOpen(g_liveBlocks); }

void LiveBlocksWaitAndClose()
{
    LiveCounterWait(g_liveBlocks, CoreFixedWaits().shutdownMs);
    LiveCounterClose(g_liveBlocks);
}

int LiveBlocksWait(uint32_t milliseconds) { return LiveCounterWait(g_liveBlocks, milliseconds); }

uint32_t LiveBlockCount() { return static_cast<uint32_t>(g_liveBlocks.count); }

void BlockAllocFailAfter(int32_t successes)
{
    InterlockedExchange(&g_failArmed, 0);
    if (successes >= 0) {
        InterlockedExchange(&g_failBudget, successes);
        InterlockedExchange(&g_failArmed, 1);
    }
}
