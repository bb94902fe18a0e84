#include "net/SyncWaiter.h"
#include <cstring>

SyncWaiter::SyncWaiter() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    BufferHandle self = {this, nullptr, 0, 0};
    ClosureInit(&closure_, Store, nullptr, &self);
}

SyncWaiter::~SyncWaiter()
{
    ClosureRelease(&closure_);
    BufHandleRelease(&message_);
}

void SyncWaiter::Store(BufferHandle* bound, BufferHandle* message)
{
    auto* self = static_cast<SyncWaiter*>(bound->data);
    BufHandleRelease(&self->message_);
    BufHandleCopy(&self->message_, message);
    SetEvent(self->event_.get());
}

const BufferHandle& SyncWaiter::Wait()
{
    if (event_)
        WaitForSingleObject(event_.get(), INFINITE);
    return message_;
}

NtStatus SyncWaiter::Status() const
{
    NtStatus status = kStatusNoMemory;
    if (message_.data && message_.size >= sizeof(status))
        std::memcpy(&status, message_.data, sizeof(status));
    return status;
}
