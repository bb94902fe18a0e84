#include "exec/StrandPair.h"

namespace {

template <class T>
void Replace(T*& slot, T* value, ControlBlock* (*cbOf)(T*))
{
    if (slot == value)
        return;
    if (value && cbOf(value))
        ObjAddRef(cbOf(value));
    T* old = slot;
    slot = value;
    if (old)
        ObjRelease(cbOf(old));
}

ControlBlock* StrandCb(Strand* s) { return s->exec.cb; }
ControlBlock* ExecutorCb(ExecutorRecord* e) { return e->cb; }

}  // namespace

void StrandPairInit(StrandPair* pair, ControlBlock* cb)
{
    pair->exec = {cb, StrandPairPost};
    pair->a = nullptr;
    pair->b = nullptr;
}

void StrandPairSet(StrandPair* pair, Strand* a, ExecutorRecord* b)
{
    Replace(pair->a, a, StrandCb);
    Replace(pair->b, b, ExecutorCb);
}

void StrandPairDestroy(StrandPair* pair) { StrandPairSet(pair, nullptr, nullptr); }

NtStatus StrandPairPost(void* record, ClosureRoutine routine, BufferHandle* bound, BufferHandle* message)
{
    auto* pair = static_cast<StrandPair*>(record);
    if (!pair->a)
        return ClosureInvoke(routine, pair->b, bound, message);
    return StrandHop(pair->a, pair->b, routine, bound, message);
}
