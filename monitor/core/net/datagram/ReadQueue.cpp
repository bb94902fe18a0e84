#include "net/datagram/ReadQueue.h"
#include "exec/ClosureOwner.h"
#include "net/CompletionMessage.h"
#include "runtime/BlockOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/ScopedLock.h"
#include <cstring>

namespace {

struct ReadRequest {
    ListNode links;
    HandleOwner buffer;
    ClosureOwner closure;
    uint32_t count;  // bytes given to it
};

struct DataPiece {
    ListNode links;
    HandleOwner data;
};

ReadRequest* RequestAt(ListNode* node) { return reinterpret_cast<ReadRequest*>(node); }
DataPiece* PieceAt(ListNode* node) { return reinterpret_cast<DataPiece*>(node); }

void Append(ListHead* list, ListNode* node)
{
    ListPushBack(list, node);
    ++list->count;
}

void FreePieces(ListHead* pieces)
{
    while (!ListIsEmpty(pieces))
        BlockDelete(PieceAt(ListPopFront(pieces)));
}

// Outside the lock: each finished read hears of its bytes.
void CompleteAll(ListHead* done, NtStatus status)
{
    while (!ListIsEmpty(done)) {
        ReadRequest* r = RequestAt(ListPopFront(done));
        (void)CompleteWithStatusCount(r->closure.get(), status, status == kStatusSuccess ? r->count : 0);
        BlockDelete(r);
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
            auto* r = BlockNew<ReadRequest>();
            if (!r) {
                status = kStatusNoMemory;
            } else {
                r->buffer = HandleOwner::Copy(buffer);
                r->closure = ClosureOwner::Copy(closure);
                Append(&q->requests, &r->links);
                return;
            }
        }
        while (copied < buffer->size && !ListIsEmpty(&q->pieces)) {
            DataPiece* p = PieceAt(q->pieces.first);
            copied += Take(p->data.get(), static_cast<char*>(buffer->data) + copied, buffer->size - copied);
            if (p->data->size != 0)
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
            r->count = Take(&rest, r->buffer->data, r->buffer->size);
            ListRemove(&q->requests, &r->links);
            Append(&done, &r->links);
        }
        if (rest.size != 0) {
            auto* p = BlockNew<DataPiece>();
            if (p) {  // without memory the rest of the datagram is lost
                p->data = HandleOwner::Copy(&rest);
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
    *buffer = r->buffer.release();
    *closure = r->closure.release();
    BlockDelete(r);
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
