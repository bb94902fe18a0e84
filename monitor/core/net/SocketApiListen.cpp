#include "exec/ClosureOwner.h"
#include "net/CompletionMessage.h"
#include "net/datagram/DatagramSocket.h"
#include "net/DataSocket.h"
#include "net/ListenerBase.h"
#include "net/SocketApi.h"
#include "net/SocketDispatch.h"
#include "net/SyncWaiter.h"
#include "net/TransportProvider.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"
#include "runtime/TrackedBlock.h"

namespace {

struct SocketListener : ListenerBase {
    ClosureOwner accept;
    ClosureOwner result;
    uint32_t backlog = 0;
};

// The result goes out once: the closure is emptied with it.
void ReportListen(SocketListener* listener, NtStatus status)
{
    (void)NotifyStatusObjectAddress(listener->result.get(), status, status == kStatusSuccess ? listener : nullptr,
                                    listener->record);
    listener->result.reset();
}

// On the provider's I/O thread; the listener is held weakly.
void OnAccepted(BufferHandle* bound, BufferHandle* message)
{
    HandleOwner held = HandleLockCopy(bound);
    if (!held)
        return;  // the listener is gone: the message takes the connection with it
    auto* listener = static_cast<SocketListener*>(held->data);
    MessageView<const ObjectRecordMessage> accepted(message);
    StreamSocket* socket = ManagedNew<StreamSocket>();
    if (socket) {
        RefOwner<ControlBlock> made = RefOwner<ControlBlock>::Adopt(socket->cb);
        socket->local = RecordDuplicate(listener->record);
        socket->remote = RecordDuplicate(&accepted->record);
        ObjRefAssign(&socket->provider, accepted->object.object);
        if (socket->local && socket->remote)
            (void)NotifyObjectAddress(listener->accept.get(), socket->remote, ObjectRefOf(socket));
    }
}

void OnListening(BufferHandle* bound, BufferHandle* message)
{
    ReportListen(static_cast<SocketListener*>(bound->data), MessageView<const StatusMessage>(message)->status);
}

void OnProviderMade(BufferHandle* bound, BufferHandle* message)
{
    auto* listener = static_cast<SocketListener*>(bound->data);
    MessageView<const StatusObjectRecordMessage> made(message);
    if (made->status != kStatusSuccess) {
        ReportListen(listener, made->status);
        return;
    }
    ObjRefAssign(&listener->provider, made->object.object);
    ClosureOwner accept, listening;
    ClosureInitForObject(accept.put(), OnAccepted, nullptr, listener, 0, 1);
    ClosureInitForObject(listening.put(), OnListening, nullptr, listener, 0, 0);
    ProviderFromRef(listener->provider.object)->Listen(accept.get(), listener->backlog, listening.get());
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
    RefOwner<ControlBlock> held;
    SocketListener* listener = status == kStatusSuccess ? ManagedNew<SocketListener>() : nullptr;
    if (listener) {
        held.reset(listener->cb);
        if (!(listener->record = RecordDuplicate(record)))
            listener = nullptr;
    }
    if (!listener) {
        (void)NotifyStatusObjectAddress(result, status == kStatusSuccess ? kStatusNoMemory : status, nullptr, record);
        return;
    }
    listener->accept = ClosureOwner::Copy(accept);
    listener->result = ClosureOwner::Copy(result);
    listener->backlog = backlog;
    ClosureOwner made;
    ClosureInitForObject(made.put(), OnProviderMade, nullptr, listener, 0, 0);
    factory(record, made.get());
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
        *listener = MessageView<const StatusObjectRecordMessage>(&message)->object.object;
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
