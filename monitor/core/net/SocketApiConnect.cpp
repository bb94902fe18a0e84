#include "exec/ClosureOwner.h"
#include "net/CompletionMessage.h"
#include "net/datagram/DatagramSocket.h"
#include "net/DataSocket.h"
#include "net/SocketApi.h"
#include "net/SocketDispatch.h"
#include "net/TransportProvider.h"
#include "runtime/RefOwner.h"
#include "runtime/TrackedBlock.h"

namespace {

// The result goes out once: the closure is emptied with it.
void ReportConnect(StreamSocket* socket, NtStatus status)
{
    (void)NotifyConnect(&socket->result, status, socket->remote, socket->local,
                        status == kStatusSuccess ? ObjectRefOf(socket) : nullptr);
    ClosureReset(&socket->result);
}

// Without an endpoint nothing is bound: the default local record stands in,
// whatever record the caller gave.
void ReportNoEndpoint(StreamSocket* socket, NtStatus status)
{
    RecordReplace(&socket->local, nullptr);
    ReportConnect(socket, status);
}

void OnConnected(BufferHandle* bound, BufferHandle* message)
{
    auto* socket = static_cast<StreamSocket*>(DataSocketFromRef(bound->data));
    ReportConnect(socket, MessageView<const StatusMessage>(message)->status);
}

void OnProviderMade(BufferHandle* bound, BufferHandle* message)
{
    auto* socket = static_cast<StreamSocket*>(DataSocketFromRef(bound->data));
    MessageView<const StatusObjectRecordMessage> made(message);
    if (made->status != kStatusSuccess) {
        ReportNoEndpoint(socket, made->status);
        return;
    }
    AddressRecord* actual = message->size > 8 ? RecordDuplicate(&made->record) : nullptr;
    if (message->size > 8 && !actual) {
        ReportNoEndpoint(socket, kStatusNoMemory);
        return;
    }
    if (actual)
        RecordReplace(&socket->local, actual);
    ObjRefAssign(&socket->provider, made->object.object);
    ClosureOwner connected;
    ClosureInitForObject(connected.put(), OnConnected, nullptr, ObjectRefOf(socket), 0, 0);
    ProviderFromRef(socket->provider.object)->Connect(socket->remote, socket->option, connected.get());
}

}  // namespace

void SockConnect(const AddressRecord* remote, const AddressRecord* local, uint32_t option,
                 const Closure* result)
{
    const AddressRecord defaultLocal = {sizeof(AddressRecord), remote ? remote->type : 0};
    if (!local)
        local = &defaultLocal;
    FamilyFactory factory;
    uint32_t kind;
    NtStatus status = SocketDispatch(remote, &factory, &kind);
    if (status == kStatusSuccess && kind == kKindDatagram) {
        DatagramConnect(remote, local, factory, result);
        return;
    }
    RefOwner<ControlBlock> held;
    StreamSocket* socket = status == kStatusSuccess ? ManagedNew<StreamSocket>() : nullptr;
    if (socket) {
        held.reset(socket->cb);
        socket->remote = RecordDuplicate(remote);
        socket->local = RecordDuplicate(local);
        if (!socket->remote || !socket->local)
            socket = nullptr;
    }
    if (!socket) {
        (void)NotifyConnect(result, status == kStatusSuccess ? kStatusNoMemory : status, remote, nullptr, nullptr);
        return;
    }
    socket->option = option;
    ClosureCopy(&socket->result, result);
    ClosureOwner made;
    ClosureInitForObject(made.put(), OnProviderMade, nullptr, ObjectRefOf(socket), 0, 0);
    factory(socket->local, made.get());
}
