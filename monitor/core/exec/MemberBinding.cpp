#include "exec/MemberBinding.h"

static_assert(sizeof(void*) == 4, "a member routine travels in the 32-bit size word of a handle");

BufferHandle MakeWeakMemberHandle(void* object, MemberRoutine member)
{
    BufferHandle h;
    BufHandleInit(&h, ObjControlBlockOf(object), object, reinterpret_cast<uint32_t>(member), 1);
    return h;
}

void WeakMemberThunk(BufferHandle* payload, BufferHandle* message)
{
    if (!ObjTryLock(payload->cb))
        return;
    try {
        reinterpret_cast<MemberRoutine>(payload->size)(payload->data, message);
    } catch (...) {
        // Front-end code runs on I/O and timer threads, whose frames cannot be unwound.
    }
    ObjRelease(payload->cb);
}

void BindMember(Closure* closure, void* object, MemberRoutine member, ExecutorRecord* executor)
{
    BufferHandle handle = MakeWeakMemberHandle(object, member);
    ClosureInit(closure, WeakMemberThunk, executor, &handle);
    BufHandleRelease(&handle);
}
