#include "net/CalyxXSockBuf.h"

#include <algorithm>
#include <cstring>

#include "net/CalyxLibrary.h"

namespace calyx {

// --- TCxBuffer --------------------------------------------------------------

TCxBuffer::TCxBuffer(int size) : FSize(size > 0 ? size : CX_DEFAULT_BLOCK_SIZE)
{
    FData.reset(new char[size_t(FSize)]);
}

bool TCxBuffer::SetBlockSize(int size)
{
    if (size <= 0)
        size = CX_DEFAULT_BLOCK_SIZE;
    if (size == FSize)
        return true;
    const int pending = DataLength();
    if (pending > size)
        return false;
    std::unique_ptr<char[]> data(new char[size_t(size)]);
    if (pending > 0)
        std::memcpy(data.get(), FData.get() + FReadCount, size_t(pending));
    FData = std::move(data);
    FSize = size;
    FReadCount = 0;
    FWriteCount = pending;
    return true;
}

int TCxBuffer::Write(const void* data, int offset, int count)
{
    const int stored = std::min(count, FSize - FWriteCount);
    if (stored <= 0)
        return 0;
    std::memcpy(FData.get() + FWriteCount, static_cast<const char*>(data) + offset, size_t(stored));
    FWriteCount += stored;
    return stored;
}

int TCxBuffer::Peek(const char*& data) const
{
    const int pending = DataLength();
    data = pending > 0 ? FData.get() + FReadCount : nullptr;
    return pending;
}

int TCxBuffer::Remove(int count)
{
    const int removed = std::max(0, std::min(count, DataLength()));
    FReadCount += removed;
    if (FReadCount == FWriteCount)
        Clear();
    return removed;
}

// --- TCxBufferLinkedList ----------------------------------------------------

TCxBufferLinkedList::~TCxBufferLinkedList()
{
    while (TCxBuffer* b = RemoveFromHead())
        delete b;
}

void TCxBufferLinkedList::AddToHead(TCxBuffer* buffer)
{
    buffer->Prev = nullptr;
    buffer->Next = FHead;
    if (FHead)
        FHead->Prev = buffer;
    else
        FTail = buffer;
    FHead = buffer;
}

void TCxBufferLinkedList::AddToTail(TCxBuffer* buffer)
{
    buffer->Next = nullptr;
    buffer->Prev = FTail;
    if (FTail)
        FTail->Next = buffer;
    else
        FHead = buffer;
    FTail = buffer;
}

TCxBuffer* TCxBufferLinkedList::RemoveFromHead()
{
    TCxBuffer* b = FHead;
    if (!b)
        return nullptr;
    FHead = b->Next;
    if (FHead)
        FHead->Prev = nullptr;
    else
        FTail = nullptr;
    b->Next = b->Prev = nullptr;
    return b;
}

// --- TCxBufferHandler -------------------------------------------------------

TCxBuffer* TCxBufferHandler::NewBlock()
{
    TCxBuffer* b = FFree.RemoveFromHead();
    if (b)
        b->SetBlockSize(FBlockSize);  // empty, so never refused
    else
        b = new TCxBuffer(FBlockSize);
    FInUse.AddToTail(b);
    return b;
}

void TCxBufferHandler::Write(const void* data, int count)
{
    if (count <= 0 || !data)
        return;
    TCxBuffer* b = FInUse.Tail();
    if (!b)
        b = NewBlock();
    int offset = b->Write(data, 0, count);
    while (offset < count) {
        b = NewBlock();
        offset += b->Write(data, offset, count - offset);
    }
}

int TCxBufferHandler::Peek(const char*& data) const
{
    if (!FInUse.Head()) {
        data = nullptr;
        return 0;
    }
    return FInUse.Head()->Peek(data);
}

void TCxBufferHandler::Remove(int count)
{
    if (count < 0)
        throw ECxException("TCxBufferHandler.Remove: Invalid Len " + lib::IntToStr(count));
    TCxBuffer* head = FInUse.Head();
    if (!head)
        throw ECxException("TCxBufferHandler.Remove: nothing to remove");
    head->Remove(count);
    if (head->DataLength() == 0)
        FFree.AddToHead(FInUse.RemoveFromHead());
}

bool TCxBufferHandler::IsEmpty() const
{
    return !FInUse.Head() || FInUse.Head()->DataLength() == 0;
}

void TCxBufferHandler::DeleteAll()
{
    while (TCxBuffer* b = FInUse.RemoveFromHead()) {
        b->Clear();
        FFree.AddToHead(b);
    }
}

}  // namespace calyx
