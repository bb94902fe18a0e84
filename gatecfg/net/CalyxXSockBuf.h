#pragma once
// The send-buffer chain: data waiting for WinSock in fixed-size blocks, with
// emptied blocks kept for reuse so that steady traffic allocates nothing.
#include <memory>

#include "net/CalyxTypes.h"
#include "rtl/Component.h"
#include "rtl/SyncObjs.h"

namespace calyx {

constexpr int CX_DEFAULT_BLOCK_SIZE = 1460;  // one TCP segment on Ethernet

// One block; the bytes between ReadCount and WriteCount are pending.
class TCxBuffer : public rtl::TObject {
public:
    explicit TCxBuffer(int size = CX_DEFAULT_BLOCK_SIZE);

    int BlockSize() const noexcept { return FSize; }
    // 0 or less means the default. A block is never made smaller than its
    // pending bytes: such a change is refused (false) and the data kept.
    bool SetBlockSize(int size);
    // Stores what fits of data[offset .. offset + count); returns the count stored.
    int Write(const void* data, int offset, int count);
    // The first pending byte and the number pending (0 and none when empty).
    int Peek(const char*& data) const;
    // Takes up to count bytes off the front; returns the count removed.
    int Remove(int count);
    int DataLength() const noexcept { return FWriteCount - FReadCount; }
    void Clear() noexcept { FReadCount = FWriteCount = 0; }

    int WriteCount() const noexcept { return FWriteCount; }
    int ReadCount() const noexcept { return FReadCount; }

    TCxBuffer* Next = nullptr;
    TCxBuffer* Prev = nullptr;

private:
    std::unique_ptr<char[]> FData;
    int FSize;
    int FWriteCount = 0;
    int FReadCount = 0;
};

// A doubly linked list of blocks that owns them.
class TCxBufferLinkedList {
public:
    TCxBufferLinkedList() = default;
    ~TCxBufferLinkedList();
    TCxBufferLinkedList(const TCxBufferLinkedList&) = delete;
    TCxBufferLinkedList& operator=(const TCxBufferLinkedList&) = delete;

    TCxBuffer* Head() const noexcept { return FHead; }
    TCxBuffer* Tail() const noexcept { return FTail; }
    void AddToHead(TCxBuffer* buffer);
    void AddToTail(TCxBuffer* buffer);
    TCxBuffer* RemoveFromHead();

private:
    TCxBuffer* FHead = nullptr;
    TCxBuffer* FTail = nullptr;
};

// The chain of a socket. Callers bracket every use with Lock and Unlock.
class TCxBufferHandler : public rtl::TComponent {
public:
    explicit TCxBufferHandler(rtl::TComponent* owner) : rtl::TComponent(owner) {}

    void Lock() { FLock.Enter(); }
    void Unlock() { FLock.Leave(); }

    void Write(const void* data, int count);
    // The head block's pending bytes (0 when nothing is queued).
    int Peek(const char*& data) const;
    // Takes up to count bytes off the head block only, whatever the count.
    void Remove(int count);
    bool IsEmpty() const;
    void DeleteAll();

    int BlockSize() const noexcept { return FBlockSize; }
    void SetBlockSize(int size) { FBlockSize = size > 0 ? size : CX_DEFAULT_BLOCK_SIZE; }

protected:
    ~TCxBufferHandler() override = default;

private:
    TCxBuffer* NewBlock();

    TCxBufferLinkedList FInUse;
    TCxBufferLinkedList FFree;
    int FBlockSize = CX_DEFAULT_BLOCK_SIZE;
    rtl::TCriticalSection FLock;
};

// Holds a chain's lock for a scope.
class TCxBufferLock {
public:
    explicit TCxBufferLock(TCxBufferHandler* buffer) : FBuffer(buffer) { FBuffer->Lock(); }
    ~TCxBufferLock() { FBuffer->Unlock(); }
    TCxBufferLock(const TCxBufferLock&) = delete;
    TCxBufferLock& operator=(const TCxBufferLock&) = delete;

private:
    TCxBufferHandler* FBuffer;
};

}  // namespace calyx
