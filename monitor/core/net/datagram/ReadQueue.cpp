#include "net/datagram/ReadQueue.h"
#include "net/CompletionMessage.h"
#include "runtime/ScopedLock.h"
#include "runtime/TrackedBlock.h"
#include <cstring>

namespace {

struct ReadRequest {
    ListNode links;
    BufferHandle buffer;
    Closure closure;
    uint32_t count;  // bytes given to it
};

struct DataPiece {
    ListNode links;
    BufferHandle data;
};

ReadRequest* RequestAt(ListNode* node) { return reinterpret_cast<ReadRequest*>(node); }
DataPiece* PieceAt(ListNode* node) { return reinterpret_cast<DataPiece*>(node); }

void Append(ListHead* list, ListNode* node)
{
    ListPushBack(list, node);
    ++list->count;
}

// Queue entries are plain records in intrusive lists, so they are released by hand.
void FreeRequest(ReadRequest* r)
{
    BufHandleRelease(&r->buffer);
    ClosureRelease(&r->closure);
    BlockRelease(r);
}

void FreePieces(ListHead* pieces)
{
    while (!ListIsEmpty(pieces)) {
        DataPiece* p = PieceAt(ListPopFront(pieces));
        BufHandleRelease(&p->data);
        BlockRelease(p);
    }
}

// Outside the lock: each finished read hears of its bytes.
void CompleteAll(ListHead* done, NtStatus status)
{
    while (!ListIsEmpty(done)) {
        ReadRequest* r = RequestAt(ListPopFront(done));
        (void)CompleteWithStatusCount(&r->closure, status, status == kStatusSuccess ? r->count : 0);
        FreeRequest(r);
    }
}

// Copies from `from` into `to` as far as both reach; both move forward.
uint32_t Take(BufferHandle* from, void* to, uint32_t room)
{
    uint32_t n = from->size < room ? from->size : room;
    std::memcpy(to, from->data, n);
    from->data = static_cast<char*>(from->data) + n;
    from->size -= n;
    return n;
}

}  // namespace

void ReadQueueInit(ReadQueue* q)
{
    InitializeCriticalSection(&q->lock);
    ListInit(&q->requests);
    ListInit(&q->pieces);
}

void ReadQueueRead(ReadQueue* q, const BufferHandle* buffer, const Closure* closure)
{
    ListHead taken;
    ListInit(&taken);
    uint32_t copied = 0;
    NtStatus status = kStatusSuccess;
    {
        ScopedLock hold(q->lock);
        if (ListIsEmpty(&q->pieces)) {
            auto* r = static_cast<ReadRequest*>(BlockAlloc(sizeof(ReadRequest)));
            if (!r) {
                status = kStatusNoMemory;
            } else {
                std::memset(r, 0, sizeof(*r));
                BufHandleCopy(&r->buffer, buffer);
                ClosureCopy(&r->closure, closure);
                Append(&q->requests, &r->links);
                return;
            }
        }
        while (copied < buffer->size && !ListIsEmpty(&q->pieces)) {
            DataPiece* p = PieceAt(q->pieces.first);
            copied += Take(&p->data, static_cast<char*>(buffer->data) + copied, buffer->size - copied);
            if (p->data.size != 0)
                break;
            ListRemove(&q->pieces, &p->links);
            Append(&taken, &p->links);
        }
    }
    (void)CompleteWithStatusCount(closure, status, copied);
    FreePieces(&taken);
}

void ReadQueueDeliver(ReadQueue* q, const BufferHandle* data)
{
    ListHead done;
    ListInit(&done);
    {
        ScopedLock hold(q->lock);
        BufferHandle rest = *data;  // a view: the piece below takes its own reference
        while (rest.size != 0 && !ListIsEmpty(&q->requests)) {
            ReadRequest* r = RequestAt(q->requests.first);
            r->count = Take(&rest, r->buffer.data, r->buffer.size);
            ListRemove(&q->requests, &r->links);
            Append(&done, &r->links);
        }
        if (rest.size != 0) {
            auto* p = static_cast<DataPiece*>(BlockAlloc(sizeof(DataPiece)));
            if (p) {  // without memory the rest of the datagram is lost
                BufHandleCopy(&p->data, &rest);
                Append(&q->pieces, &p->links);
            }
        }
    }
    CompleteAll(&done, kStatusSuccess);
}

bool ReadQueuePop(ReadQueue* q, BufferHandle* buffer, Closure* closure)
{
    ReadRequest* r;
    {
        ScopedLock hold(q->lock);
        if (ListIsEmpty(&q->requests))
            return false;
        r = RequestAt(ListPopFront(&q->requests));
    }
    *buffer = r->buffer;
    *closure = r->closure;
    BlockRelease(r);  // its references went to the caller
    return true;
}

void ReadQueueCancel(ReadQueue* q, NtStatus status)
{
    ListHead cancelled;
    ListInit(&cancelled);
    {
        ScopedLock hold(q->lock);
        ListMove(&cancelled, &q->requests);
        ListInit(&q->requests);
    }
    CompleteAll(&cancelled, status);
}

void ReadQueueDiscardData(ReadQueue* q)
{
    ListHead pieces;
    ListInit(&pieces);
    {
        ScopedLock hold(q->lock);
        ListMove(&pieces, &q->pieces);
        ListInit(&q->pieces);
    }
    FreePieces(&pieces);
}

void ReadQueueDestroy(ReadQueue* q)
{
    ReadQueueCancel(q, kStatusCancelled);
    ReadQueueDiscardData(q);
    DeleteCriticalSection(&q->lock);
}
