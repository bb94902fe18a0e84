#include "gui/ThreadBinding.h"
#include "gui/DispatchManager.h"

void BindToCurrentThread(void* binding, ControlBlock* cb)
{
    auto* b = static_cast<ThreadBinding*>(binding);
    b->exec = {cb, PostToBoundThread};
    b->threadId = GetCurrentThreadId();
}

const TypeDescriptor kThreadBindingType = {sizeof(ThreadBinding), BindToCurrentThread, nullptr};

NtStatus PostToBoundThread(void* binding, ClosureRoutine routine, BufferHandle* bound,
                           BufferHandle* message)
{
    NtStatus status = DispatchManagerEnsure();
    if (status == kStatusSuccess)
        status = DispatchPostToThread(static_cast<ThreadBinding*>(binding)->threadId, routine, bound,
                                      message);
    return status == kStatusSuccess ? kStatusPending : status;
}

NtStatus BindingMemberCreate(void* owner, BindingMember* member)
{
    member->constructed = 0;
    // A binding holds nothing to tear down: no destroy routine.
    NtStatus status = ObjAttachPayload(&member->binding, BindToCurrentThread, nullptr,
                                       ObjControlBlockOf(owner));
    if (status == kStatusSuccess)
        member->constructed = 1;
    return status;
}

void BindingMemberRelease(BindingMember* member)
{
    if (!member->constructed)
        return;
    member->constructed = 0;
    ObjRelease(member->binding.exec.cb);
}
