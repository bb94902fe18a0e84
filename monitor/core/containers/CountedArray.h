#pragma once
#include "runtime/StatusCodes.h"
#include <cstdint>

// Growable array held as a pointer to element 0 (null when empty). The
// tracked block starts with two 32-bit words, capacity then count, in
// elements. Every operation is given the element size. Arrays never shrink.
inline uint32_t ArrayCapacity(const void* array) { return array ? static_cast<const uint32_t*>(array)[-2] : 0; }
inline uint32_t ArrayCount(const void* array) { return array ? static_cast<const uint32_t*>(array)[-1] : 0; }

void ArrayFree(void** array);
// Capacity for n: the next multiple of 8 above n. 0 or kStatusNoMemory (also when the size wraps).
[[nodiscard]] NtStatus ArrayReserve(void** array, uint32_t n, uint32_t elementSize);
// Reserve n, then count = n; the reservation's failure leaves the array unchanged.
[[nodiscard]] NtStatus ArrayResize(void** array, uint32_t n, uint32_t elementSize);
[[nodiscard]] NtStatus ArrayAssign(void** array, const void* source, uint32_t n, uint32_t elementSize);
// Index limited to the count; source none zero-fills the new elements.
[[nodiscard]] NtStatus ArrayInsert(void** array, uint32_t index, const void* source, uint32_t n, uint32_t elementSize);
// kStatusInvalidParameter unless index .. index + n - 1 lies within the count.
[[nodiscard]] NtStatus ArrayErase(void** array, uint32_t index, uint32_t n, uint32_t elementSize);
// Moves n elements from `from` to `to`; both ranges must lie within the count.
[[nodiscard]] NtStatus ArrayMove(void** array, uint32_t to, uint32_t from, uint32_t n, uint32_t elementSize);
[[nodiscard]] NtStatus ArrayInsertByte(void** array, uint32_t index, uint8_t value);
[[nodiscard]] NtStatus ArrayInsertU32(void** array, uint32_t index, uint32_t value);
