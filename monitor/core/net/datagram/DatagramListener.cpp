#include "exec/ClosureOwner.h"
#include "exec/CurrentExecutor.h"
#include "exec/ReleaseNotifier.h"
#include "exec/Strand.h"
#include "net/CompletionMessage.h"
#include "net/datagram/DatagramSocket.h"
#include "net/datagram/ReadQueue.h"
#include "net/ListenerBase.h"
#include "net/TransportProvider.h"
#include "runtime/BlockOwner.h"
#include "runtime/HandleOwner.h"
#include "runtime/IntrusiveList.h"
#include "runtime/MemberEmbedding.h"
#include "runtime/RefOwner.h"
#include <cassert>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kReceiveAreaSize = 512;

struct DatagramPeer;

// A listener's entry for one peer; the peer is held weakly.
struct PeerNode {
    ListNode links;
    DatagramPeer* peer;  // weak
};

// The removal of a node is bound to the listener with the node's address in the size word.
BufferHandle NodeRemovalBound(ControlBlock* cb, void* listener, PeerNode* node)
{
    return {listener, cb, 0, reinterpret_cast<uint32_t>(node)};
}

PeerNode* NodeOfRemoval(const BufferHandle* bound) { return reinterpret_cast<PeerNode*>(bound->size); }

// Receives on one endpoint and hands each datagram to the peer of its source,
// one datagram at a time: the next is received only when every holder of the
// last has let it go. Everything runs on its strand.
struct DatagramListener : ListenerBase {
    ClosureOwner accept;
    ClosureOwner result;
    ClosureOwner ended;
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

// Unlinked already: drops the node's weak reference and the node.
void FreeNode(PeerNode* node)
{
    BlockOwner<PeerNode> owned(node);
    ObjWeakRelease(node->peer->cb);
}

// For the routines that run on the listener's strand.
DatagramListener* ListenerOf(BufferHandle* bound)
{
    auto* l = static_cast<DatagramListener*>(bound->data);
    assert(RunsOnStrand(&l->strand) && "the listener's state is touched on its strand only");
    return l;
}

void ReceiveNext(DatagramListener* l);

// ---- peers ----------------------------------------------------------------

void RemoveNode(BufferHandle* bound, BufferHandle*)
{
    DatagramListener* l = ListenerOf(bound);
    PeerNode* node = NodeOfRemoval(bound);
    ListRemove(&l->peers, &node->links);
    FreeNode(node);
}

DatagramPeer::~DatagramPeer()
{
    if (RefOwner<ControlBlock> held = RefOwner<ControlBlock>::TryLock(listener ? listener->cb : nullptr)) {
        BufferHandle bound = NodeRemovalBound(listener->cb, listener, node);
        // Refused only for want of memory: the node then stays until the listener goes.
        (void)ClosureInvoke(RemoveNode, &listener->strand.exec, &bound, nullptr);
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
        RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(peer->cb);
        if (RecordCompare(peer->remote, source) == 0) {
            held.release();  // the caller's
            return peer;
        }
    }
    return nullptr;
}

// A strong reference for the caller, after the accept closure has heard of it; none without memory.
DatagramPeer* NewPeer(DatagramListener* l, const AddressRecord* source)
{
    DatagramPeer* peer = ManagedNew<DatagramPeer>();
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(peer ? peer->cb : nullptr);
    BlockOwner<PeerNode> node(static_cast<PeerNode*>(BlockAlloc(sizeof(PeerNode))));
    if (peer) {
        peer->local = RecordDuplicate(l->record);
        peer->remote = RecordDuplicate(source);
    }
    if (!peer || !node || !peer->local || !peer->remote)
        return nullptr;
    ObjRefAssign(&peer->provider, l->provider.object);
    ObjWeakAddRef(peer->cb);
    node->peer = peer;
    ListPushBack(&l->peers, &node->links);
    ++l->peers.count;
    ObjWeakAddRef(l->cb);
    peer->listener = l;
    peer->node = node.release();  // the listener's list owns it now
    (void)NotifyObjectAddress(l->accept.get(), peer->remote, ObjectRefOf(peer));
    held.release();  // the caller's
    return peer;
}

// ---- the receive loop (on the strand) --------------------------------------

void OnDatagramReleased(BufferHandle* bound, BufferHandle*)
{
    HandleOwner held = HandleLockCopy(bound);
    if (held)
        ReceiveNext(ListenerOf(held.get()));
}

// The buffer's destroy routine: the notifier's block goes after it has fired.
void FireAndFree(void* notifier)
{
    BlockOwner<ReleaseNotifier> owned(static_cast<ReleaseNotifier*>(notifier));
    ReleaseNotifierFire(notifier);
}

// The bytes go out as a handle over the receive area whose control block is a
// notifier of their release; the notifier holds the listener weakly, which
// keeps the area's memory while the bytes are queued.
void GiveDatagram(DatagramListener* l, DatagramPeer* peer, uint32_t count)
{
    BlockOwner<ReleaseNotifier> notifier(static_cast<ReleaseNotifier*>(BlockAlloc(sizeof(ReleaseNotifier))));
    HandleOwner datagram;
    if (!notifier ||
        BufWrap(datagram.put(), notifier.get(), ReleaseNotifierInit, FireAndFree, l->cb) != kStatusSuccess) {
        ReceiveNext(l);  // without memory the datagram is lost, not the listener
        return;
    }
    ReleaseNotifier* wrapped = notifier.release();  // the buffer's destroy routine gives it back
    ClosureInitForObject(&wrapped->closure, OnDatagramReleased, &l->strand.exec, l, 0, 1);
    datagram->data = l->area;
    datagram->size = count;
    ReadQueueDeliver(&peer->queue, datagram.get());
}

void EndReceiving(DatagramListener* l, NtStatus status)
{
    ClosureOwner ended = std::move(l->ended);
    (void)NotifyStatusObjectAddress(ended.get(), status, nullptr, l->record);
}

void OnReceived(BufferHandle* bound, BufferHandle* message)
{
    HandleOwner held = HandleLockCopy(bound);
    if (!held)
        return;  // the listener is gone
    DatagramListener* l = ListenerOf(held.get());
    MessageView<const StatusCountRecordMessage> m(message);
    if (m->status == kStatusSuccess) {
        DatagramPeer* peer = FindPeer(l, &m->source);
        if (!peer)
            peer = NewPeer(l, &m->source);
        if (peer) {
            RefOwner<ControlBlock> found = RefOwner<ControlBlock>::Adopt(peer->cb);
            GiveDatagram(l, peer, m->count);
        } else {
            ReceiveNext(l);
        }
    } else if (DatagramDropped(m->status)) {
        ReceiveNext(l);
    } else {
        EndReceiving(l, m->status);
    }
}

// The pending receive holds the listener weakly through both its area and its
// closure: the area outlives a listener destroyed while the receive is out.
void ReceiveNext(DatagramListener* l)
{
    HandleOwner area;
    BufHandleInit(area.put(), l->cb, l->area, kReceiveAreaSize, 1);
    ClosureOwner received;
    ClosureInitForObject(received.put(), OnReceived, &l->strand.exec, l, 0, 1);
    ProviderFromRef(l->provider.object)->ReceiveFrom(area.get(), received.get());
}

void OnProviderMade(BufferHandle* bound, BufferHandle* message)
{
    DatagramListener* l = ListenerOf(bound);
    MessageView<const StatusObjectRecordMessage> made(message);
    ClosureOwner result = std::move(l->result);
    if (made->status != kStatusSuccess) {
        (void)NotifyStatusObjectAddress(result.get(), made->status, nullptr, l->record);
        l->ended.reset();
    } else {
        ObjRefAssign(&l->provider, made->object.object);
        (void)NotifyStatusObjectAddress(result.get(), kStatusSuccess, l, l->record);
        ReceiveNext(l);
    }
}

DatagramListener::~DatagramListener()
{
    while (!ListIsEmpty(&peers))
        FreeNode(reinterpret_cast<PeerNode*>(ListPopFront(&peers)));
    MemberRelease(&strand, &strandBuilt);
}

}  // namespace

void DatagramListen(const AddressRecord* record, FamilyFactory factory, const Closure* accept,
                    const Closure* result, const Closure* ended)
{
    DatagramListener* l = ManagedNew<DatagramListener>();
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(l ? l->cb : nullptr);
    if (l && (!(l->record = RecordDuplicate(record)) ||
              MemberCreate(&l->strand, &l->strandBuilt, kStrandType.construct, kStrandType.destroy,
                           l->cb) != kStatusSuccess))
        l = nullptr;
    if (!l) {
        (void)NotifyStatusObjectAddress(result, kStatusNoMemory, nullptr, record);
        return;
    }
    l->accept = ClosureOwner::Copy(accept);
    l->result = ClosureOwner::Copy(result);
    l->ended = ClosureOwner::Copy(ended);
    ClosureOwner made;
    ClosureInitForObject(made.put(), OnProviderMade, &l->strand.exec, l, 0, 0);
    factory(record, made.get());
}
