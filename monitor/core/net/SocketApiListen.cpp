#include "net/CompletionMessage.h"
#include "net/datagram/DatagramSocket.h"
#include "net/DataSocket.h"
#include "net/ListenerBase.h"
#include "net/SocketApi.h"
#include "net/SocketDispatch.h"
#include "net/SyncWaiter.h"
#include "net/TransportProvider.h"
#include "runtime/TrackedBlock.h"

namespace {

struct SocketListener : ListenerBase {
    Closure accept = {};
    Closure result = {};
    uint32_t backlog = 0;

    ~SocketListener()
    {
        ClosureRelease(&accept);
        ClosureRelease(&result);
    }
};

// The result goes out once: the closure is emptied with it.
void ReportListen(SocketListener* listener, NtStatus status)
{
    (void)NotifyStatusObjectAddress(&listener->result, status, status == kStatusSuccess ? listener : nullptr,
                                    listener->record);
    ClosureReset(&listener->result);
}

// On the provider's I/O thread; the listener is held weakly.
void OnAccepted(BufferHandle* bound, BufferHandle* message)
{
    BufferHandle held;
    if (!BufHandleLockCopy(&held, bound))
        return;  // the listener is gone: the message takes the connection with it
    auto* listener = static_cast<SocketListener*>(held.data);
    auto* accepted = static_cast<const ObjectRecordMessage*>(message->data);
    StreamSocket* socket = ManagedNew<StreamSocket>();
    if (socket) {
        socket->local = RecordDuplicate(listener->record);
        socket->remote = RecordDuplicate(&accepted->record);
        ObjRefAssign(&socket->provider, accepted->object.object);
        if (socket->local && socket->remote)
            (void)NotifyObjectAddress(&listener->accept, socket->remote, ObjectRefOf(socket));
        ObjRelease(socket->cb);
    }
    BufHandleRelease(&held);
}

void OnListening(BufferHandle* bound, BufferHandle* message)
{
    ReportListen(static_cast<SocketListener*>(bound->data),
                 static_cast<const StatusMessage*>(message->data)->status);
}

void OnProviderMade(BufferHandle* bound, BufferHandle* message)
{
    auto* listener = static_cast<SocketListener*>(bound->data);
    auto* made = static_cast<const StatusObjectRecordMessage*>(message->data);
    if (made->status != kStatusSuccess) {
        ReportListen(listener, made->status);
        return;
    }
    ObjRefAssign(&listener->provider, made->object.object);
    Closure accept, listening;
    ClosureInitForObject(&accept, OnAccepted, nullptr, listener, 0, 1);
    ClosureInitForObject(&listening, OnListening, nullptr, listener, 0, 0);
    ProviderFromRef(listener->provider.object)->Listen(&accept, listener->backlog, &listening);
    ClosureRelease(&accept);
    ClosureRelease(&listening);
}

}  // namespace

namespace {

// `ended` (datagram listeners only) hears when the receiving stops for good.
void Listen(const AddressRecord* record, const Closure* accept, uint32_t backlog,
            const Closure* result, const Closure* ended)
{
    FamilyFactory factory;
    uint32_t kind;
    NtStatus status = SocketDispatch(record, &factory, &kind);
    if (status == kStatusSuccess && kind == kKindDatagram) {
        DatagramListen(record, factory, accept, result, ended);
        return;
    }
    SocketListener* listener = status == kStatusSuccess ? ManagedNew<SocketListener>() : nullptr;
    if (listener && !(listener->record = RecordDuplicate(record))) {
        ObjRelease(listener->cb);
        listener = nullptr;
    }
    if (!listener) {
        (void)NotifyStatusObjectAddress(result, status == kStatusSuccess ? kStatusNoMemory : status, nullptr, record);
        return;
    }
    ClosureCopy(&listener->accept, accept);
    ClosureCopy(&listener->result, result);
    listener->backlog = backlog;
    Closure made;
    ClosureInitForObject(&made, OnProviderMade, nullptr, listener, 0, 0);
    factory(record, &made);
    ClosureRelease(&made);
    ObjRelease(listener->cb);
}

}  // namespace

void SockListen(const AddressRecord* record, const Closure* accept, uint32_t backlog,
                const Closure* result)
{
    Listen(record, accept, backlog, result, result);
}

NtStatus SockListenSync(void** listener, const AddressRecord* record, const Closure* accept,
                        uint32_t backlog)
{
    *listener = nullptr;
    SyncWaiter waiter;
    // The waiter is gone when a datagram listener's receiving ends: no end report.
    Listen(record, accept, backlog, waiter.closure(), nullptr);
    const BufferHandle& message = waiter.Wait();
    NtStatus status = waiter.Status();
    if (status == kStatusSuccess) {
        *listener = static_cast<const StatusObjectRecordMessage*>(message.data)->object.object;
        ObjAddRef(ObjControlBlockOf(*listener));
    }
    return status;
}

void SockListenerClose(void* listener, const Closure* closure)
{
    ProviderFromRef(static_cast<ListenerBase*>(listener)->provider.object)->Close(closure);
}

void SockListenerCloseSync(void* listener)
{
    SyncWaiter waiter;
    SockListenerClose(listener, waiter.closure());
    waiter.Wait();
}
