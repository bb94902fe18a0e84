#pragma once
#include <cstdint>

// Every allocation of the core is a tracked block: the 32-bit word before the
// user area holds the routine that releases it, so BlockRelease frees heap and
// pool blocks alike. Plain heap blocks are counted in the live-block count that
// shut-down waits on.
typedef void (*BlockReleaseRoutine)(void* block);

static_assert(sizeof(void*) == 4, "tracked blocks keep a routine pointer in one 32-bit word");

// n bytes, or null (also when n + 4 does not fit in 32 bits).
void* BlockAlloc(uint32_t n);
// Releases through the routine stored before the block; null does nothing.
void BlockRelease(void* block);

inline BlockReleaseRoutine& BlockReleaseWord(void* block)
{
    return static_cast<BlockReleaseRoutine*>(block)[-1];
}

void LiveBlocksInit();          // all-blocks-freed event, signalled while nothing is live
void LiveBlocksWaitAndClose();  // waits the shut-down time for every block, then closes the event
int LiveBlocksWait(uint32_t milliseconds);  // 1 when every block is back in time
uint32_t LiveBlockCount();

// For testing: the next `successes` heap allocations succeed, the ones after
// fail, until called again with a negative value (the default).
void BlockAllocFailAfter(int32_t successes);
