#include "exec/ReleaseNotifier.h"
#include "exec/Strand.h"
#include "net/CompletionMessage.h"
#include "net/datagram/DatagramSocket.h"
#include "net/datagram/ReadQueue.h"
#include "net/ListenerBase.h"
#include "net/TransportProvider.h"
#include "runtime/IntrusiveList.h"
#include "runtime/MemberEmbedding.h"
#include <cstring>

namespace {

constexpr uint32_t kReceiveAreaSize = 512;

struct DatagramPeer;

// A listener's entry for one peer; the peer is held weakly.
struct PeerNode {
    ListNode links;
    DatagramPeer* peer;  // weak
};

// Receives on one endpoint and hands each datagram to the peer of its source,
// one datagram at a time: the next is received only when every holder of the
// last has let it go. Everything runs on its strand.
struct DatagramListener : ListenerBase {
    Closure accept = {};
    Closure result = {};
    Closure ended = {};
    Strand strand;  // a member of its own: the closures on it hold it strongly
    uint8_t strandBuilt = 0;
    uint8_t area[kReceiveAreaSize];
    ListHead peers = {};

    DatagramListener() { ListInit(&peers); }
    ~DatagramListener();
};

// One source address of a listener, read as a byte stream.
struct DatagramPeer final : DatagramSocket {
    ReadQueue queue;
    DatagramListener* listener = nullptr;  // weak
    PeerNode* node = nullptr;              // touched on the listener's strand only

    DatagramPeer() { ReadQueueInit(&queue); }
    ~DatagramPeer();
    void Read(const BufferHandle* buffer, const Closure* closure) override
    {
        ReadQueueRead(&queue, buffer, closure);
    }
};

DatagramListener* ListenerOf(BufferHandle* bound) { return static_cast<DatagramListener*>(bound->data); }

void ReceiveNext(DatagramListener* l);

// ---- peers ----------------------------------------------------------------

void RemoveNode(BufferHandle* bound, BufferHandle*)
{
    DatagramListener* l = ListenerOf(bound);
    auto* node = reinterpret_cast<PeerNode*>(bound->size);
    ListRemove(&l->peers, &node->links);
    ObjWeakRelease(node->peer->cb);
    BlockRelease(node);
}

DatagramPeer::~DatagramPeer()
{
    if (listener && ObjTryLock(listener->cb)) {
        BufferHandle bound = {listener, listener->cb, 0, reinterpret_cast<uint32_t>(node)};
        // Refused only for want of memory: the node then stays until the listener goes.
        (void)ClosureInvoke(RemoveNode, &listener->strand.exec, &bound, nullptr);
        ObjRelease(listener->cb);
    }
    if (listener)
        ObjWeakRelease(listener->cb);
    ReadQueueDestroy(&queue);
}

DatagramPeer* FindPeer(DatagramListener* l, const AddressRecord* source)
{
    for (ListNode* n = l->peers.first; n != ListSentinel(&l->peers); n = n->next) {
        DatagramPeer* peer = reinterpret_cast<PeerNode*>(n)->peer;
        if (!ObjTryLock(peer->cb))
            continue;  // going away: its node is being removed
        if (RecordCompare(peer->remote, source) == 0)
            return peer;
        ObjRelease(peer->cb);
    }
    return nullptr;
}

// A strong reference for the caller, after the accept closure has heard of it; none without memory.
DatagramPeer* NewPeer(DatagramListener* l, const AddressRecord* source)
{
    DatagramPeer* peer = ManagedNew<DatagramPeer>();
    auto* node = static_cast<PeerNode*>(BlockAlloc(sizeof(PeerNode)));
    if (peer) {
        peer->local = RecordDuplicate(l->record);
        peer->remote = RecordDuplicate(source);
    }
    if (!peer || !node || !peer->local || !peer->remote) {
        BlockRelease(node);
        if (peer)
            ObjRelease(peer->cb);
        return nullptr;
    }
    ObjRefAssign(&peer->provider, l->provider.object);
    ObjWeakAddRef(peer->cb);
    node->peer = peer;
    ListPushBack(&l->peers, &node->links);
    ++l->peers.count;
    ObjWeakAddRef(l->cb);
    peer->listener = l;
    peer->node = node;
    (void)NotifyObjectAddress(&l->accept, peer->remote, ObjectRefOf(peer));
    return peer;
}

// ---- the receive loop (on the strand) --------------------------------------

void OnDatagramReleased(BufferHandle* bound, BufferHandle*)
{
    BufferHandle held;
    if (!BufHandleLockCopy(&held, bound))
        return;
    ReceiveNext(ListenerOf(&held));
    BufHandleRelease(&held);
}

void FireAndFree(void* notifier)
{
    ReleaseNotifierFire(notifier);
    BlockRelease(notifier);
}

// The bytes go out as a handle over the receive area whose control block is a
// notifier of their release; the notifier holds the listener weakly, which
// keeps the area's memory while the bytes are queued.
void GiveDatagram(DatagramListener* l, DatagramPeer* peer, uint32_t count)
{
    void* notifier = BlockAlloc(sizeof(ReleaseNotifier));
    BufferHandle datagram;
    if (!notifier || BufWrap(&datagram, notifier, ReleaseNotifierInit, FireAndFree, l->cb) != kStatusSuccess) {
        BlockRelease(notifier);
        ReceiveNext(l);  // without memory the datagram is lost, not the listener
        return;
    }
    ClosureInitForObject(&static_cast<ReleaseNotifier*>(notifier)->closure, OnDatagramReleased,
                         &l->strand.exec, l, 0, 1);
    datagram.data = l->area;
    datagram.size = count;
    ReadQueueDeliver(&peer->queue, &datagram);
    BufHandleRelease(&datagram);
}

void EndReceiving(DatagramListener* l, NtStatus status)
{
    Closure ended = l->ended;
    l->ended = {};
    (void)NotifyStatusObjectAddress(&ended, status, nullptr, l->record);
    ClosureRelease(&ended);
}

void OnReceived(BufferHandle* bound, BufferHandle* message)
{
    BufferHandle held;
    if (!BufHandleLockCopy(&held, bound))
        return;  // the listener is gone
    DatagramListener* l = ListenerOf(&held);
    auto* m = static_cast<const StatusCountRecordMessage*>(message->data);
    if (m->status == kStatusSuccess) {
        DatagramPeer* peer = FindPeer(l, &m->source);
        if (!peer)
            peer = NewPeer(l, &m->source);
        if (peer) {
            GiveDatagram(l, peer, m->count);
            ObjRelease(peer->cb);
        } else {
            ReceiveNext(l);
        }
    } else if (DatagramDropped(m->status)) {
        ReceiveNext(l);
    } else {
        EndReceiving(l, m->status);
    }
    BufHandleRelease(&held);
}

// The pending receive holds the listener weakly through both its area and its
// closure: the area outlives a listener destroyed while the receive is out.
void ReceiveNext(DatagramListener* l)
{
    BufferHandle area;
    BufHandleInit(&area, l->cb, l->area, kReceiveAreaSize, 1);
    Closure received;
    ClosureInitForObject(&received, OnReceived, &l->strand.exec, l, 0, 1);
    ProviderFromRef(l->provider.object)->ReceiveFrom(&area, &received);
    ClosureRelease(&received);
    BufHandleRelease(&area);
}

void OnProviderMade(BufferHandle* bound, BufferHandle* message)
{
    DatagramListener* l = ListenerOf(bound);
    auto* made = static_cast<const StatusObjectRecordMessage*>(message->data);
    Closure result = l->result;
    l->result = {};
    if (made->status != kStatusSuccess) {
        (void)NotifyStatusObjectAddress(&result, made->status, nullptr, l->record);
        ClosureReset(&l->ended);
    } else {
        ObjRefAssign(&l->provider, made->object.object);
        (void)NotifyStatusObjectAddress(&result, kStatusSuccess, l, l->record);
        ReceiveNext(l);
    }
    ClosureRelease(&result);
}

DatagramListener::~DatagramListener()
{
    while (!ListIsEmpty(&peers)) {
        auto* node = reinterpret_cast<PeerNode*>(ListPopFront(&peers));
        ObjWeakRelease(node->peer->cb);
        BlockRelease(node);
    }
    ClosureRelease(&accept);
    ClosureRelease(&result);
    ClosureRelease(&ended);
    MemberRelease(&strand, &strandBuilt);
}

}  // namespace

void DatagramListen(const AddressRecord* record, FamilyFactory factory, const Closure* accept,
                    const Closure* result, const Closure* ended)
{
    DatagramListener* l = ManagedNew<DatagramListener>();
    if (l && (!(l->record = RecordDuplicate(record)) ||
              MemberCreate(&l->strand, &l->strandBuilt, kStrandType.construct, kStrandType.destroy,
                           l->cb) != kStatusSuccess)) {
        ObjRelease(l->cb);
        l = nullptr;
    }
    if (!l) {
        (void)NotifyStatusObjectAddress(result, kStatusNoMemory, nullptr, record);
        return;
    }
    ClosureCopy(&l->accept, accept);
    ClosureCopy(&l->result, result);
    ClosureCopy(&l->ended, ended);
    Closure made;
    ClosureInitForObject(&made, OnProviderMade, &l->strand.exec, l, 0, 0);
    factory(record, &made);
    ClosureRelease(&made);
    ObjRelease(l->cb);
}
