#include "net/pipe/PipeProvider.h"
#include "containers/CountedArray.h"
#include "net/AddressRecordReader.h"
#include "net/CompletionMessage.h"
#include "net/pipe/PipeName.h"
#include "net/pipe/SecurityDescriptorCheck.h"
#include "net/TransportFactories.h"
#include <utility>

PipeProvider::~PipeProvider()
{
    if (!worker)
        return;
    const Closure none = {};
    worker->PostClose(&none);
}

void PipeProvider::Close(const Closure* closure) { worker->PostClose(closure); }

void PipeProvider::Listen(const Closure* accept, uint32_t backlog, const Closure* result)
{
    worker->PostListen(accept, backlog, result);
}

void PipeProvider::Connect(const AddressRecord* remote, uint32_t, const Closure* closure)
{
    worker->PostConnect(remote, closure);
}

void PipeProvider::Disconnect(uint32_t, const Closure* closure) { worker->PostDisconnect(closure); }
void PipeProvider::Write(const BufferHandle* buffer, const Closure* closure) { worker->PostWrite(buffer, closure); }
void PipeProvider::Read(const BufferHandle* buffer, const Closure* closure) { worker->PostRead(buffer, closure); }

void PipeProvider::SendTo(const BufferHandle*, const AddressRecord*, const Closure* closure)
{
    (void)CompleteWithStatus(closure, kStatusNotImplemented, nullptr, 0);
}

void PipeProvider::ReceiveFrom(const BufferHandle*, const Closure* closure)
{
    (void)NotifyStatusCountAddress(closure, kStatusNotImplemented, 0, nullptr);
}

PipeProvider* PipeProviderCreate()
{
    PipeProvider* provider = ManagedNew<PipeProvider>();
    if (!provider)
        return nullptr;
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(provider->cb);
    provider->worker.reset(ManagedNew<PipeWorker>());
    if (!provider->worker || !provider->worker->Start())
        return nullptr;
    held.release();  // the caller's
    return provider;
}

void* PipeProviderAdopt(HANDLE pipe)
{
    PipeProvider* provider = PipeProviderCreate();
    if (!provider) {
        CloseHandle(pipe);
        return nullptr;
    }
    provider->worker->pipe = pipe;
    return ObjectRefOf(provider);
}

namespace {

// The name and the security descriptor of a record, checked: 0, kStatusInvalidAddress or kStatusNoMemory.
[[nodiscard]] NtStatus ReadEndpoint(const AddressRecord* record, Str* name, void** extra)
{
    PipeRecordView view;
    if (PipeRecordRead(record, record ? record->size : 0, &view) != kStatusSuccess)
        return kStatusInvalidAddress;
    if (view.extraBytes) {
        // The copy is aligned, as the system wants a descriptor to be.
        if (ArrayAssign(extra, view.extra, view.extraBytes, 1) != kStatusSuccess)
            return kStatusNoMemory;
        if (!SecurityDescriptorCheck(*extra, view.extraBytes))
            return kStatusInvalidAddress;
    }
    return PipeNameFromRecord(view, name) ? kStatusSuccess : kStatusNoMemory;
}

}  // namespace

NtStatus PipeProviderFactory(const AddressRecord* record, const Closure* closure)
{
    Str name;
    void* extra = nullptr;
    NtStatus status = ReadEndpoint(record, &name, &extra);
    PipeProvider* provider = status == kStatusSuccess ? PipeProviderCreate() : nullptr;
    if (!provider) {
        ArrayFree(&extra);
        return NotifyStatusObjectAddress(closure, status == kStatusSuccess ? kStatusNoMemory : status,
                                         nullptr, record);
    }
    provider->worker->name = std::move(name);
    provider->worker->extra = extra;
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::Adopt(provider->cb);
    return NotifyStatusObjectAddress(closure, kStatusSuccess, ObjectRefOf(provider), record);
}
