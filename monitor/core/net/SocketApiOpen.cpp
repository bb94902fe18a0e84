#include "exec/ClosureOwner.h"
#include "net/CompletionMessage.h"
#include "net/SocketApi.h"
#include "net/SocketDispatch.h"
#include "net/SyncWaiter.h"
#include "net/TransportProvider.h"
#include "runtime/RefOwner.h"
#include "runtime/TrackedBlock.h"

namespace {

// An endpoint used directly: close, send-to and receive-from go straight to its provider.
struct RawEndpoint {
    ControlBlock* cb = nullptr;
    AddressRecord* local = nullptr;  // the caller's, then the actual one
    ObjRef provider = {};
    ClosureOwner result;

    // Fields in 32-bit words as the listeners' and sockets'; this is their teardown.
    ~RawEndpoint()
    {
        BlockRelease(local);
        ObjRefRelease(&provider);
    }
};

void ReportOpen(RawEndpoint* raw, NtStatus status)
{
    (void)NotifyStatusObjectAddress(raw->result.get(), status, status == kStatusSuccess ? raw : nullptr, raw->local);
    raw->result.reset();
}

void OnProviderMade(BufferHandle* bound, BufferHandle* message)
{
    auto* raw = static_cast<RawEndpoint*>(bound->data);
    MessageView<const StatusObjectRecordMessage> made(message);
    if (made->status != kStatusSuccess) {
        ReportOpen(raw, made->status);
        return;
    }
    if (message->size > 8) {
        AddressRecord* actual = RecordDuplicate(&made->record);
        if (!actual) {
            ReportOpen(raw, kStatusNoMemory);
            return;
        }
        RecordReplace(&raw->local, actual);
    }
    ObjRefAssign(&raw->provider, made->object.object);
    ReportOpen(raw, kStatusSuccess);
}

TransportProvider* ProviderOf(void* raw)
{
    return ProviderFromRef(static_cast<RawEndpoint*>(raw)->provider.object);
}

}  // namespace

void SockOpen(const AddressRecord* local, const Closure* closure)
{
    FamilyFactory factory;
    uint32_t kind;
    NtStatus status = SocketDispatch(local, &factory, &kind);
    RefOwner<ControlBlock> held;
    RawEndpoint* raw = status == kStatusSuccess ? ManagedNew<RawEndpoint>() : nullptr;
    if (raw) {
        held.reset(raw->cb);
        if (!(raw->local = RecordDuplicate(local)))
            raw = nullptr;
    }
    if (!raw) {
        (void)NotifyStatusObjectAddress(closure, status == kStatusSuccess ? kStatusNoMemory : status, nullptr, local);
        return;
    }
    raw->result = ClosureOwner::Copy(closure);
    ClosureOwner made;
    ClosureInitForObject(made.put(), OnProviderMade, nullptr, raw, 0, 0);
    factory(local, made.get());
}

void SockOpenFamily(uint32_t type, const Closure* closure)
{
    const AddressRecord local = {sizeof(AddressRecord), type};
    SockOpen(&local, closure);
}

namespace {

[[nodiscard]] NtStatus TakeRawEndpoint(SyncWaiter& waiter, void** raw, BufferHandle* actual)
{
    const BufferHandle& message = waiter.Wait();
    NtStatus status = waiter.Status();
    if (status == kStatusSuccess) {
        *raw = MessageView<const StatusObjectRecordMessage>(&message)->object.object;
        ObjAddRef(ObjControlBlockOf(*raw));
    }
    if (actual) {
        *actual = {};
        if (message.size > 8) {
            MessageView<const StatusObjectRecordMessage> opened(&message);
            (void)BufAllocCopy(actual, &opened->record, opened->record.size);  // left empty without memory
        }
    }
    return status;
}

}  // namespace

NtStatus SockOpenSync(void** raw, const AddressRecord* local)
{
    *raw = nullptr;
    SyncWaiter waiter;
    SockOpen(local, waiter.closure());
    return TakeRawEndpoint(waiter, raw, nullptr);
}

NtStatus SockOpenFamilySync(void** raw, uint32_t type, BufferHandle* actual)
{
    *raw = nullptr;
    SyncWaiter waiter;
    SockOpenFamily(type, waiter.closure());
    return TakeRawEndpoint(waiter, raw, actual);
}

void RawEndpointClose(void* raw, const Closure* closure) { ProviderOf(raw)->Close(closure); }

void RawEndpointCloseSync(void* raw)
{
    SyncWaiter waiter;
    RawEndpointClose(raw, waiter.closure());
    waiter.Wait();
}

void RawEndpointSendTo(void* raw, const BufferHandle* buffer, const AddressRecord* destination,
                     const Closure* closure)
{
    ProviderOf(raw)->SendTo(buffer, destination, closure);
}

void RawEndpointReceiveFrom(void* raw, const BufferHandle* buffer, const Closure* closure)
{
    ProviderOf(raw)->ReceiveFrom(buffer, closure);
}
