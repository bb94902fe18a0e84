#include "gui/ThreadBinding.h"
#include "gui/DispatchManager.h"
#include "runtime/MemberEmbedding.h"

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
    // A binding holds nothing to tear down: no destroy routine.
    return MemberCreate(&member->binding, &member->constructed, BindToCurrentThread, nullptr,
                        ObjControlBlockOf(owner));
}

void BindingMemberRelease(BindingMember* member) { MemberRelease(&member->binding, &member->constructed); }
