#include "containers/CountedArray.h"
#include "runtime/BlockOwner.h"
#include <cstring>

namespace {

constexpr uint32_t kHeader = 8;

uint32_t* Header(void* array) { return static_cast<uint32_t*>(array) - 2; }
char* Element(void* array, uint32_t i, uint32_t elementSize) { return static_cast<char*>(array) + i * elementSize; }

// index .. index + n - 1 within count, written so that nothing can wrap.
bool RangeWithin(uint32_t index, uint32_t n, uint32_t count) { return index <= count && n <= count - index; }

}  // namespace

void ArrayFree(void** array)
{
    if (*array)
        BlockRelease(Header(*array));  // the array's one teardown
    *array = nullptr;
}

NtStatus ArrayReserve(void** array, uint32_t n, uint32_t elementSize)
{
    if (ArrayCapacity(*array) >= n)
        return kStatusSuccess;
    uint32_t capacity = n - n % 8;
    if (capacity > UINT32_MAX - 8)
        return kStatusNoMemory;
    capacity += 8;
    if (elementSize && capacity > (UINT32_MAX - kHeader) / elementSize)
        return kStatusNoMemory;
    auto* block = static_cast<uint32_t*>(BlockAlloc(kHeader + capacity * elementSize));
    if (!block)
        return kStatusNoMemory;
    uint32_t count = ArrayCount(*array);
    block[0] = capacity;
    block[1] = count;
    if (count)
        std::memcpy(block + 2, *array, count * elementSize);
    ArrayFree(array);
    *array = block + 2;
    return kStatusSuccess;
}

NtStatus ArrayResize(void** array, uint32_t n, uint32_t elementSize)
{
    NtStatus status = ArrayReserve(array, n, elementSize);
    if (status != kStatusSuccess)
        return status;
    if (*array)
        Header(*array)[1] = n;
    return kStatusSuccess;
}

NtStatus ArrayAssign(void** array, const void* source, uint32_t n, uint32_t elementSize)
{
    NtStatus status = ArrayResize(array, n, elementSize);
    if (status == kStatusSuccess && n)
        std::memcpy(*array, source, n * elementSize);
    return status;
}

NtStatus ArrayInsert(void** array, uint32_t index, const void* source, uint32_t n, uint32_t elementSize)
{
    if (n == 0)
        return kStatusSuccess;
    uint32_t count = ArrayCount(*array);
    if (n > UINT32_MAX - count)
        return kStatusNoMemory;
    NtStatus status = ArrayResize(array, count + n, elementSize);
    if (status != kStatusSuccess)
        return status;
    if (index > count)
        index = count;
    std::memmove(Element(*array, index + n, elementSize), Element(*array, index, elementSize),
                 (count - index) * elementSize);
    if (source)
        std::memcpy(Element(*array, index, elementSize), source, n * elementSize);
    else
        std::memset(Element(*array, index, elementSize), 0, n * elementSize);
    return kStatusSuccess;
}

NtStatus ArrayErase(void** array, uint32_t index, uint32_t n, uint32_t elementSize)
{
    if (n == 0)
        return kStatusSuccess;
    uint32_t count = ArrayCount(*array);
    if (!RangeWithin(index, n, count))
        return kStatusInvalidParameter;
    std::memmove(Element(*array, index, elementSize), Element(*array, index + n, elementSize),
                 (count - index - n) * elementSize);
    return ArrayResize(array, count - n, elementSize);
}

NtStatus ArrayMove(void** array, uint32_t to, uint32_t from, uint32_t n, uint32_t elementSize)
{
    if (n == 0 || to == from)
        return kStatusSuccess;
    uint32_t count = ArrayCount(*array);
    if (!RangeWithin(from, n, count) || !RangeWithin(to, n, count))
        return kStatusInvalidParameter;
    uint32_t bytes = n * elementSize;
    BlockOwner<void> aside(BlockAlloc(bytes));
    if (!aside)
        return kStatusNoMemory;
    std::memcpy(aside.get(), Element(*array, from, elementSize), bytes);
    if (to > from)
        std::memmove(Element(*array, from, elementSize), Element(*array, from + n, elementSize),
                     (to - from) * elementSize);
    else
        std::memmove(Element(*array, to + n, elementSize), Element(*array, to, elementSize),
                     (from - to) * elementSize);
    std::memcpy(Element(*array, to, elementSize), aside.get(), bytes);
    return kStatusSuccess;
}

NtStatus ArrayInsertByte(void** array, uint32_t index, uint8_t value)
{
    return ArrayInsert(array, index, &value, 1, 1);
}

NtStatus ArrayInsertU32(void** array, uint32_t index, uint32_t value)
{
    return ArrayInsert(array, index, &value, 1, 4);
}
