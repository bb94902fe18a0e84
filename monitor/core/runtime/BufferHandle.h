#pragma once
#include "runtime/ControlBlock.h"
#include <cstdarg>
#include <cstdint>

// The value that carries one reference (strong or weak, as the flag says) on a
// control block together with a data pointer and a size. Every payload of the
// core travels as a buffer handle. An empty handle is four zeros. Operations
// that fill a handle overwrite it without releasing what it held, unless their
// comment says they release first.
struct BufferHandle {
    void* data;       // anywhere inside the payload
    ControlBlock* cb; // or none
    uint32_t weak;    // 0 strong, 1 weak
    uint32_t size;    // bytes of a buffer; for an object handle, a word of the creator's choosing
};

static_assert(sizeof(void*) == 4, "buffer handles are four 32-bit words");
static_assert(sizeof(BufferHandle) == 16, "buffer handle layout");

typedef void (*PieceCopy)(void* destination, const void* source);

// One piece of BufAllocGatherEx: built by `copy` (or a byte copy of `length`
// bytes from `data`), torn down by `destroy` when the buffer is destroyed.
struct BufPiece {
    const void* data;
    uint32_t length;
    PieceCopy copy;         // or none
    PayloadRoutine destroy; // or none, called with the piece's address in the buffer
};

// Fills the handle and takes one reference of the named kind.
void BufHandleInit(BufferHandle* h, ControlBlock* cb, void* data, uint32_t size, uint32_t weak);
// Drops the handle's reference; the fields are left as they are.
void BufHandleRelease(BufferHandle* h);
// Copy with a reference of the source's kind; none gives an empty destination.
BufferHandle* BufHandleCopy(BufferHandle* destination, const BufferHandle* source);
// Strong copy (a weak source is try-locked). 1 on success; 0 and an empty destination
// for none or a destroyed object. A strong source without control block gives 1.
int BufHandleLockCopy(BufferHandle* destination, const BufferHandle* source);
// Weak copy; none gives an empty destination.
BufferHandle* BufHandleWeakCopy(BufferHandle* destination, const BufferHandle* source);
// Strong copy of source replacing what destination held (safe when both name
// the same object or the destination itself); result as BufHandleLockCopy.
int BufHandleAssign(BufferHandle* destination, const BufferHandle* source);
// 1 when the handle is (now) strong; a failed try-lock leaves it unchanged and gives 0.
int BufHandleMakeStrong(BufferHandle* h);

// Allocations: 0 or kStatusNoMemory with an empty handle.
[[nodiscard]] NtStatus BufAlloc(BufferHandle* h, PayloadRoutine init, PayloadRoutine destroy, uint32_t n);
[[nodiscard]] NtStatus BufAllocCopy(BufferHandle* h, const void* source, uint32_t n);
// Pieces as (pointer, uint32 length) pairs after the first, ending with a null pointer.
[[nodiscard]] NtStatus BufAllocGather(BufferHandle* h, const void* first, uint32_t firstLength, ...);
[[nodiscard]] NtStatus BufAllocGatherList(BufferHandle* h, const void* first, uint32_t firstLength, va_list more);
// Control block over existing memory (no free routine); handle size 0.
[[nodiscard]] NtStatus BufWrap(BufferHandle* h, void* payload, PayloadRoutine init, PayloadRoutine destroy,
                               ControlBlock* parent);
// Pieces as BufPiece pointers after the first, ending with a null pointer.
// Layout: [u32 k][k x {piece address, destroy}][piece bytes]; data at the first piece byte.
[[nodiscard]] NtStatus BufAllocGatherEx(BufferHandle* h, const BufPiece* first, ...);
[[nodiscard]] NtStatus BufAllocGatherExList(BufferHandle* h, const BufPiece* first, va_list more);

// Release the handle, make it empty, then allocate as above.
[[nodiscard]] NtStatus BufReallocate(BufferHandle* h, PayloadRoutine init, PayloadRoutine destroy, uint32_t n);
[[nodiscard]] NtStatus BufReallocateCopy(BufferHandle* h, const void* source, uint32_t n);
[[nodiscard]] NtStatus BufReallocateGather(BufferHandle* h, const void* first, uint32_t firstLength, ...);
[[nodiscard]] NtStatus BufReallocateGatherList(BufferHandle* h, const void* first, uint32_t firstLength, va_list more);
[[nodiscard]] NtStatus BufReallocateWrap(BufferHandle* h, void* payload, PayloadRoutine init, PayloadRoutine destroy,
                                         ControlBlock* parent);
[[nodiscard]] NtStatus BufReallocateGatherEx(BufferHandle* h, const BufPiece* first, ...);
[[nodiscard]] NtStatus BufReallocateGatherExList(BufferHandle* h, const BufPiece* first, va_list more);
