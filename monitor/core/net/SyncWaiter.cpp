#include "net/SyncWaiter.h"
#include <cstring>

SyncWaiter::SyncWaiter() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    BufferHandle self = {this, nullptr, 0, 0};
    ClosureInit(closure_.put(), Store, nullptr, &self);
}

void SyncWaiter::Store(BufferHandle* bound, BufferHandle* message)
{
    auto* self = static_cast<SyncWaiter*>(bound->data);
    self->message_ = HandleOwner::Copy(message);
    SetEvent(self->event_.get());
}

const BufferHandle& SyncWaiter::Wait()
{
    if (event_)
        WaitForSingleObject(event_.get(), INFINITE);
    return *message_.get();
}

NtStatus SyncWaiter::Status() const
{
    NtStatus status = kStatusNoMemory;
    if (message_->data && message_->size >= sizeof(status))
        std::memcpy(&status, message_->data, sizeof(status));
    return status;
}
