#include "net/SyncWaiter.h"
#include <cstring>

SyncWaiter::SyncWaiter() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    BufferHandle self = {this, nullptr, 0, 0};
    ClosureInit(closure_.put(), Store, nullptr, &self);
}

SyncWaiter::~SyncWaiter()
{
    if (event_)
        CloseHandle(event_);
}

void SyncWaiter::Store(BufferHandle* bound, BufferHandle* message)
{
    auto* self = static_cast<SyncWaiter*>(bound->data);
    self->message_ = HandleOwner::Copy(message);
    SetEvent(self->event_);
}

const BufferHandle& SyncWaiter::Wait()
{
    if (event_)
        WaitForSingleObject(event_, INFINITE);
    return *message_.get();
}

NtStatus SyncWaiter::Status() const
{
    NtStatus status = kStatusNoMemory;
    if (message_->data && message_->size >= sizeof(status))
        std::memcpy(&status, message_->data, sizeof(status));
    return status;
}
