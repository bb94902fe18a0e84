#include "exec/Strand.h"
#include "net/CompletionMessage.h"
#include "net/datagram/DatagramSocket.h"
#include "net/datagram/ReadQueue.h"
#include "net/TransportProvider.h"
#include "runtime/MemberEmbedding.h"

namespace {

// Sends to one remote address and reads only what comes from it, one
// receive-from at a time, on its strand.
struct ConnectedDatagramSocket final : DatagramSocket {
    Strand strand;  // a member of its own: the closures on it hold it strongly
    uint8_t strandBuilt = 0;
    ReadQueue queue;
    BufferHandle current = {};  // the read being served
    Closure currentClosure = {};
    bool receivePosted = false;
    NtStatus failed = kStatusSuccess;  // the failure that ended the receiving, once one has

    ConnectedDatagramSocket() { ReadQueueInit(&queue); }
    ~ConnectedDatagramSocket();
    void Read(const BufferHandle* buffer, const Closure* closure) override;
};

ConnectedDatagramSocket* SocketOf(BufferHandle* bound)
{
    return static_cast<ConnectedDatagramSocket*>(DataSocketFromRef(bound->data));
}

void CompleteCurrent(ConnectedDatagramSocket* s, NtStatus status, uint32_t count)
{
    Closure c = s->currentClosure;
    s->currentClosure = {};
    BufHandleRelease(&s->current);
    s->current = {};
    (void)CompleteWithStatusCount(&c, status, count);
    ClosureRelease(&c);
}

void Pump(ConnectedDatagramSocket* s);

void OnReceived(BufferHandle* bound, BufferHandle* message)
{
    BufferHandle held;
    if (!BufHandleLockCopy(&held, bound))
        return;  // the socket is gone; its destruction completed the read
    ConnectedDatagramSocket* s = SocketOf(&held);
    auto* m = static_cast<const StatusCountRecordMessage*>(message->data);
    s->receivePosted = false;
    // A failure is the read's outcome whatever its source record says: posting
    // the same read again would repeat a lasting failure for ever.
    if (m->status != kStatusSuccess) {
        if (!DatagramDropped(m->status))
            s->failed = m->status;
        CompleteCurrent(s, m->status, 0);
    } else if (RecordCompare(&m->source, s->remote) == 0) {
        CompleteCurrent(s, kStatusSuccess, m->count);
    }  // else a stranger's datagram: dropped, and the read stays current
    Pump(s);
    BufHandleRelease(&held);
}

// On the strand.
void Pump(ConnectedDatagramSocket* s)
{
    if (s->failed != kStatusSuccess) {
        ReadQueueCancel(&s->queue, s->failed);
        return;
    }
    if (s->receivePosted)
        return;
    if (!s->currentClosure.routine && !ReadQueuePop(&s->queue, &s->current, &s->currentClosure))
        return;
    s->receivePosted = true;
    Closure received;
    ClosureInitForObject(&received, OnReceived, &s->strand.exec, ObjectRefOf(s), 0, 1);
    ProviderFromRef(s->provider.object)->ReceiveFrom(&s->current, &received);
    ClosureRelease(&received);
}

void RunPump(BufferHandle* bound, BufferHandle*) { Pump(SocketOf(bound)); }

ConnectedDatagramSocket::~ConnectedDatagramSocket()
{
    if (currentClosure.routine)
        CompleteCurrent(this, kStatusCancelled, 0);
    ClosureRelease(&currentClosure);
    BufHandleRelease(&current);
    ReadQueueDestroy(&queue);
    MemberRelease(&strand, &strandBuilt);
}

void ConnectedDatagramSocket::Read(const BufferHandle* buffer, const Closure* closure)
{
    ReadQueueRead(&queue, buffer, closure);
    BufferHandle self = {ObjectRefOf(this), cb, 0, 0};
    // Refused only for want of memory; the next read or arrival pumps the queue.
    (void)ClosureInvoke(RunPump, &strand.exec, &self, nullptr);
}

void OnProviderMade(BufferHandle* bound, BufferHandle* message)
{
    ConnectedDatagramSocket* s = SocketOf(bound);
    auto* made = static_cast<const StatusObjectRecordMessage*>(message->data);
    NtStatus status = made->status;
    if (status == kStatusSuccess && message->size > 8) {
        AddressRecord* actual = RecordDuplicate(&made->record);
        if (actual) {
            BlockRelease(s->local);
            s->local = actual;
        } else {
            status = kStatusNoMemory;
        }
    }
    const bool connected = status == kStatusSuccess;
    if (connected)
        ObjRefAssign(&s->provider, made->object.object);
    Closure result = s->result;
    s->result = {};
    // Without an endpoint nothing is bound: the default local record stands in.
    (void)NotifyConnect(&result, status, s->remote, connected ? s->local : nullptr,
                        connected ? ObjectRefOf(s) : nullptr);
    ClosureRelease(&result);
}

}  // namespace

void DatagramConnect(const AddressRecord* remote, const AddressRecord* local, FamilyFactory factory,
                     const Closure* result)
{
    ConnectedDatagramSocket* s = ManagedNew<ConnectedDatagramSocket>();
    if (s) {
        s->remote = RecordDuplicate(remote);
        s->local = RecordDuplicate(local);
        if (!s->remote || !s->local ||
            MemberCreate(&s->strand, &s->strandBuilt, kStrandType.construct, kStrandType.destroy,
                         s->cb) != kStatusSuccess) {
            ObjRelease(s->cb);
            s = nullptr;
        }
    }
    if (!s) {
        (void)NotifyConnect(result, kStatusNoMemory, remote, nullptr, nullptr);
        return;
    }
    ClosureCopy(&s->result, result);
    Closure made;
    ClosureInitForObject(&made, OnProviderMade, &s->strand.exec, ObjectRefOf(s), 0, 0);
    factory(s->local, &made);
    ClosureRelease(&made);
    ObjRelease(s->cb);
}
