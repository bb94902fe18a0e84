#include "runtime/BufferHandle.h"
#include "runtime/TrackedBlock.h"
#include <cstring>

namespace {

const BufferHandle kEmptyHandle = {};

void TakeReference(ControlBlock* cb, uint32_t weak)
{
    if (cb)
        weak ? ObjWeakAddRef(cb) : ObjAddRef(cb);
}

bool AddLength(uint32_t& total, uint32_t length)
{
    if (length > UINT32_MAX - total)
        return false;
    total += length;
    return true;
}

struct Pair {
    const void* data;
    uint32_t length;
};

// The next (pointer, length) pair of a gather list; a null pointer ends it.
Pair NextPair(va_list& pairs)
{
    Pair pair = {va_arg(pairs, const void*), 0};
    if (pair.data)
        pair.length = va_arg(pairs, uint32_t);
    return pair;
}

struct PieceEntry {
    void* piece;
    PayloadRoutine destroy;
};

// Destroy routine of a gathered buffer with routines: tears its pieces down in order.
void DestroyPieces(void* payload)
{
    uint32_t k = *static_cast<uint32_t*>(payload);
    auto* entries = reinterpret_cast<PieceEntry*>(static_cast<uint32_t*>(payload) + 1);
    for (uint32_t i = 0; i < k; ++i)
        entries[i].destroy(entries[i].piece);
}

}  // namespace

void BufHandleInit(BufferHandle* h, ControlBlock* cb, void* data, uint32_t size, uint32_t weak)
{
    *h = {data, cb, weak ? 1u : 0u, size};
    TakeReference(cb, h->weak);
}

void BufHandleRelease(BufferHandle* h)
{
    h->weak ? ObjWeakRelease(h->cb) : ObjRelease(h->cb);
}

BufferHandle* BufHandleCopy(BufferHandle* destination, const BufferHandle* source)
{
    *destination = source ? *source : kEmptyHandle;
    TakeReference(destination->cb, destination->weak);
    return destination;
}

int BufHandleLockCopy(BufferHandle* destination, const BufferHandle* source)
{
    if (!source || (source->weak && !ObjTryLock(source->cb))) {
        *destination = kEmptyHandle;
        return 0;
    }
    if (!source->weak)
        TakeReference(source->cb, 0);
    *destination = *source;
    destination->weak = 0;
    return 1;
}

BufferHandle* BufHandleWeakCopy(BufferHandle* destination, const BufferHandle* source)
{
    *destination = source ? *source : kEmptyHandle;
    if (source) {
        destination->weak = 1;
        TakeReference(destination->cb, 1);
    }
    return destination;
}

int BufHandleAssign(BufferHandle* destination, const BufferHandle* source)
{
    BufferHandle taken;
    int result = BufHandleLockCopy(&taken, source);
    BufHandleRelease(destination);
    *destination = taken;
    return result;
}

int BufHandleMakeStrong(BufferHandle* h)
{
    if (!h->weak)
        return 1;
    if (!ObjTryLock(h->cb))
        return 0;
    ObjWeakRelease(h->cb);
    h->weak = 0;
    return 1;
}

NtStatus BufAlloc(BufferHandle* h, PayloadRoutine init, PayloadRoutine destroy, uint32_t n)
{
    *h = kEmptyHandle;
    void* block = BlockAlloc(n);
    if (!block)
        return kStatusNoMemory;
    ControlBlock* cb;
    if (ObjCreate(&cb, block, destroy, BlockRelease, nullptr) != kStatusSuccess) {
        BlockRelease(block);
        return kStatusNoMemory;
    }
    if (init)
        init(block);
    *h = {block, cb, 0, n};
    return kStatusSuccess;
}

NtStatus BufAllocCopy(BufferHandle* h, const void* source, uint32_t n)
{
    NtStatus status = BufAlloc(h, nullptr, nullptr, n);
    if (status == kStatusSuccess && n)
        std::memcpy(h->data, source, n);
    return status;
}

NtStatus BufAllocGather(BufferHandle* h, const void* first, uint32_t firstLength, ...)
{
    va_list more;
    va_start(more, firstLength);
    NtStatus status = BufAllocGatherList(h, first, firstLength, more);
    va_end(more);
    return status;
}

NtStatus BufAllocGatherList(BufferHandle* h, const void* first, uint32_t firstLength, va_list more)
{
    *h = kEmptyHandle;
    uint32_t total = 0;
    va_list walk;
    va_copy(walk, more);
    bool fits = true;
    for (Pair piece = {first, firstLength}; piece.data && fits; piece = NextPair(walk))
        fits = AddLength(total, piece.length);
    va_end(walk);
    if (!fits)
        return kStatusNoMemory;
    NtStatus status = BufAlloc(h, nullptr, nullptr, total);
    if (status != kStatusSuccess)
        return status;
    auto* out = static_cast<char*>(h->data);
    va_copy(walk, more);
    for (Pair piece = {first, firstLength}; piece.data; piece = NextPair(walk)) {
        std::memcpy(out, piece.data, piece.length);
        out += piece.length;
    }
    va_end(walk);
    return kStatusSuccess;
}

NtStatus BufWrap(BufferHandle* h, void* payload, PayloadRoutine init, PayloadRoutine destroy,
                 ControlBlock* parent)
{
    *h = kEmptyHandle;
    ControlBlock* cb;
    NtStatus status = ObjCreate(&cb, payload, destroy, nullptr, parent);
    if (status != kStatusSuccess)
        return status;
    if (init)
        init(payload);
    *h = {payload, cb, 0, 0};
    return kStatusSuccess;
}

NtStatus BufAllocGatherEx(BufferHandle* h, const BufPiece* first, ...)
{
    va_list more;
    va_start(more, first);
    NtStatus status = BufAllocGatherExList(h, first, more);
    va_end(more);
    return status;
}

NtStatus BufAllocGatherExList(BufferHandle* h, const BufPiece* first, va_list more)
{
    *h = kEmptyHandle;
    uint32_t bytes = 0;
    uint32_t k = 0;
    bool fits = true;
    va_list walk;
    va_copy(walk, more);
    for (const BufPiece* p = first; p && fits; p = va_arg(walk, const BufPiece*)) {
        fits = AddLength(bytes, p->length);
        k += p->destroy ? 1 : 0;
    }
    va_end(walk);
    // S + 8k + 4; k is bounded by the argument count, so only the sum can wrap.
    uint32_t total = 4;
    if (!fits || !AddLength(total, 8 * k) || !AddLength(total, bytes))
        return kStatusNoMemory;
    BufferHandle made;
    NtStatus status = BufAlloc(&made, nullptr, DestroyPieces, total);
    if (status != kStatusSuccess)
        return status;
    auto* header = static_cast<uint32_t*>(made.data);
    auto* entries = reinterpret_cast<PieceEntry*>(header + 1);
    char* out = reinterpret_cast<char*>(entries + k);
    *h = {out, made.cb, 0, bytes};
    // The count grows with each entry so that the destroyer only sees built pieces.
    *header = 0;
    va_copy(walk, more);
    for (const BufPiece* p = first; p; p = va_arg(walk, const BufPiece*)) {
        if (p->copy)
            p->copy(out, p->data);
        else if (p->length)
            std::memcpy(out, p->data, p->length);
        if (p->destroy)
            entries[(*header)++] = {out, p->destroy};
        out += p->length;
    }
    va_end(walk);
    return kStatusSuccess;
}

NtStatus BufReallocate(BufferHandle* h, PayloadRoutine init, PayloadRoutine destroy, uint32_t n)
{
    BufHandleRelease(h);
    return BufAlloc(h, init, destroy, n);
}

NtStatus BufReallocateCopy(BufferHandle* h, const void* source, uint32_t n)
{
    BufHandleRelease(h);
    return BufAllocCopy(h, source, n);
}

NtStatus BufReallocateGather(BufferHandle* h, const void* first, uint32_t firstLength, ...)
{
    va_list more;
    va_start(more, firstLength);
    NtStatus status = BufReallocateGatherList(h, first, firstLength, more);
    va_end(more);
    return status;
}

NtStatus BufReallocateGatherList(BufferHandle* h, const void* first, uint32_t firstLength,
                                 va_list more)
{
    BufHandleRelease(h);
    return BufAllocGatherList(h, first, firstLength, more);
}

NtStatus BufReallocateWrap(BufferHandle* h, void* payload, PayloadRoutine init,
                           PayloadRoutine destroy, ControlBlock* parent)
{
    BufHandleRelease(h);
    return BufWrap(h, payload, init, destroy, parent);
}

NtStatus BufReallocateGatherEx(BufferHandle* h, const BufPiece* first, ...)
{
    va_list more;
    va_start(more, first);
    NtStatus status = BufReallocateGatherExList(h, first, more);
    va_end(more);
    return status;
}

NtStatus BufReallocateGatherExList(BufferHandle* h, const BufPiece* first, va_list more)
{
    BufHandleRelease(h);
    return BufAllocGatherExList(h, first, more);
}
