#include "exec/MemberBinding.h"
#include "runtime/HandleOwner.h"
#include "runtime/RefOwner.h"

static_assert(sizeof(void*) == 4, "a member routine travels in the 32-bit size word of a handle");

namespace {

uint32_t MemberRoutineWord(MemberRoutine member) { return reinterpret_cast<uint32_t>(member); }
MemberRoutine MemberRoutineOf(const BufferHandle* payload) { return reinterpret_cast<MemberRoutine>(payload->size); }

}  // namespace

BufferHandle MakeWeakMemberHandle(void* object, MemberRoutine member)
{
    BufferHandle h;
    BufHandleInit(&h, ObjControlBlockOf(object), object, MemberRoutineWord(member), 1);
    return h;
}

void WeakMemberThunk(BufferHandle* payload, BufferHandle* message)
{
    RefOwner<ControlBlock> held = RefOwner<ControlBlock>::TryLock(payload->cb);
    if (!held)
        return;
    try {
        MemberRoutineOf(payload)(payload->data, message);
    } catch (...) {
        // Front-end code runs on I/O and timer threads, whose frames cannot be unwound.
    }
}

void BindMember(Closure* closure, void* object, MemberRoutine member, ExecutorRecord* executor)
{
    HandleOwner handle = HandleOwner::Adopt(MakeWeakMemberHandle(object, member));
    ClosureInit(closure, WeakMemberThunk, executor, handle.get());
}
