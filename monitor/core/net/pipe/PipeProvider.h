#pragma once
#include "net/pipe/PipeWorker.h"
#include "net/TransportProvider.h"
#include "runtime/RefOwner.h"

// The transport of address family 65: one provider is one named-pipe
// endpoint (a listener with up to eight waiting instances, an accepted pipe,
// or a client end), driven by its worker's I/O thread. Connect, read and
// write report the system's error numbers unconverted (2 no such pipe, 231
// busy, 109 or 233 the other end is gone, 995 cancelled by a close).
class PipeProvider final : public TransportProvider {
public:
    RefOwner<PipeWorker> worker;

    // Posts a close and lets the worker go; it ends once its I/O has completed.
    ~PipeProvider();

    void Close(const Closure* closure) override;
    void Listen(const Closure* accept, uint32_t backlog, const Closure* result) override;
    void Connect(const AddressRecord* remote, uint32_t option, const Closure* closure) override;
    void Disconnect(uint32_t option, const Closure* closure) override;
    void Write(const BufferHandle* buffer, const Closure* closure) override;
    void Read(const BufferHandle* buffer, const Closure* closure) override;
    // Not offered by pipes: kStatusNotImplemented at once, on the calling thread.
    void SendTo(const BufferHandle* buffer, const AddressRecord* destination,
                const Closure* closure) override;
    void ReceiveFrom(const BufferHandle* buffer, const Closure* closure) override;
};

// A new endpoint with its worker and running thread, holding the creating
// reference; none when it cannot be had.
PipeProvider* PipeProviderCreate();
// An endpoint for a connected server pipe handle, which it takes over (and
// closes when no endpoint can be had): its object reference, with the
// creating reference, or null.
void* PipeProviderAdopt(HANDLE pipe);
