#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include "exec/Strand.h"
#include "net/CompletionMessage.h"
#include "net/datagram/DatagramSocket.h"
#include "net/datagram/ReadQueue.h"
#include "net/TransportProvider.h"
#include "runtime/HandleOwner.h"
#include "runtime/MemberEmbedding.h"
#include "runtime/RefOwner.h"
#include <cassert>
#include <utility>

namespace {

// Sends to one remote address and reads only what comes from it, one
// receive-from at a time, on its strand.
struct ConnectedDatagramSocket final : DatagramSocket {
    Strand strand;  // a member of its own: the closures on it hold it strongly
    uint8_t strandBuilt = 0;
    ReadQueue queue;
    HandleOwner current;  // the read being served
    ClosureOwner currentClosure;
    bool receivePosted = false;
    NtStatus failed = kStatusSuccess;  // the failure that ended the receiving, once one has

    ConnectedDatagramSocket() { ReadQueueInit(&queue); }
    ~ConnectedDatagramSocket();
    void Read(const BufferHandle* buffer, const Closure* closure) override;
};

// For the routines that run on the socket's strand.
ConnectedDatagramSocket* SocketOf(BufferHandle* bound)
{
    auto* s = static_cast<ConnectedDatagramSocket*>(DataSocketFromRef(bound->data));
    assert(RunsOnStrand(&s->strand) && "the socket's reads are served on its strand only");
    return s;
}

void CompleteCurrent(ConnectedDatagramSocket* s, NtStatus status, uint32_t count)
{
    ClosureOwner c = std::move(s->currentClosure);
    s->current.reset();
    (void)CompleteWithStatusCount(c.get(), status, count);
}

void Pump(ConnectedDatagramSocket* s);

void OnReceived(BufferHandle* bound, BufferHandle* message)
{
    HandleOwner held = HandleLockCopy(bound);
    if (!held)
        return;  // the socket is gone; its destruction completed the read
    ConnectedDatagramSocket* s = SocketOf(held.get());
    MessageView<const StatusCountRecordMessage> m(message);
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
}

void Pump(ConnectedDatagramSocket* s)
{
    assert(RunsOnStrand(&s->strand) && "the socket's reads are served on its strand only");
    if (s->failed != kStatusSuccess) {
        ReadQueueCancel(&s->queue, s->failed);
        return;
    }
    if (s->receivePosted)
        return;
    if (!s->currentClosure && !ReadQueuePop(&s->queue, s->current.put(), s->currentClosure.put()))
        return;
    s->receivePosted = true;
    ClosureOwner received;
    ClosureInitForObject(received.put(), OnReceived, &s->strand.exec, ObjectRefOf(s), 0, 1);
    ProviderFromRef(s->provider.object)->ReceiveFrom(s->current.get(), received.get());
}

void RunPump(BufferHandle* bound, BufferHandle*) { Pump(SocketOf(bound)); }

ConnectedDatagramSocket::~ConnectedDatagramSocket()
{
    if (currentClosure)
        CompleteCurrent(this, kStatusCancelled, 0);
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
    MessageView<const StatusObjectRecordMessage> made(message);
    NtStatus status = made->status;
    if (status == kStatusSuccess && message->size > 8) {
        AddressRecord* actual = RecordDuplicate(&made->record);
        if (actual)
            RecordReplace(&s->local, actual);
        else
            status = kStatusNoMemory;
    }
    const bool connected = status == kStatusSuccess;
    if (connected)
        ObjRefAssign(&s->provider, made->object.object);
    ClosureOwner result = ClosureOwner::Adopt(s->result);
    s->result = {};
    // Without an endpoint nothing is bound: the default local record stands in.
    (void)NotifyConnect(result.get(), status, s->remote, connected ? s->local : nullptr,
                        connected ? ObjectRefOf(s) : nullptr);
}

}  // namespace

void DatagramConnect(const AddressRecord* remote, const AddressRecord* local, FamilyFactory factory,
                     const Closure* result)
{
    ConnectedDatagramSocket* s = ManagedNew<ConnectedDatagramSocket>();
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(s ? s->cb : nullptr);
    if (s) {
        s->remote = RecordDuplicate(remote);
        s->local = RecordDuplicate(local);
        if (!s->remote || !s->local ||
            MemberCreate(&s->strand, &s->strandBuilt, kStrandType.construct, kStrandType.destroy,
                         s->cb) != kStatusSuccess)
            s = nullptr;
    }
    if (!s) {
        (void)NotifyConnect(result, kStatusNoMemory, remote, nullptr, nullptr);
        return;
    }
    ClosureCopy(&s->result, result);
    ClosureOwner made;
    ClosureInitForObject(made.put(), OnProviderMade, &s->strand.exec, ObjectRefOf(s), 0, 0);
    factory(s->local, made.get());
}
