#include "exec/StrandPair.h"
#include "runtime/RefOwner.h"
#include <utility>

namespace {

// The new reference is taken before the old one goes with the temporary owner.
template <class T>
void Replace(T*& slot, T* value)
{
    if (slot == value)
        return;
    if (value && ObjControlBlockOf(value))
        ObjAddRef(ObjControlBlockOf(value));
    RefOwner<T>::Adopt(std::exchange(slot, value));
}

}  // namespace

void StrandPairInit(StrandPair* pair, ControlBlock* cb)
{
    pair->exec = {cb, StrandPairPost};
    pair->a = nullptr;
    pair->b = nullptr;
}

void StrandPairSet(StrandPair* pair, Strand* a, ExecutorRecord* b)
{
    Replace(pair->a, a);
    Replace(pair->b, b);
}

void StrandPairDestroy(StrandPair* pair) { StrandPairSet(pair, nullptr, nullptr); }

NtStatus StrandPairPost(void* record, ClosureRoutine routine, BufferHandle* bound, BufferHandle* message)
{
    auto* pair = static_cast<StrandPair*>(record);
    if (!pair->a)
        return ClosureInvoke(routine, pair->b, bound, message);
    return StrandHop(pair->a, pair->b, routine, bound, message);
}
