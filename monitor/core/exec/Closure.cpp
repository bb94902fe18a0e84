#include "exec/Closure.h"

namespace {

void HoldTarget(ExecutorRecord* target)
{
    if (target && target->cb)
        ObjAddRef(target->cb);
}

}  // namespace

void ClosureInit(Closure* c, ClosureRoutine routine, ExecutorRecord* target, const BufferHandle* bound)
{
    c->routine = routine;
    c->target = target;
    HoldTarget(target);
    BufHandleCopy(&c->bound, bound);
}

void ClosureInitForObject(Closure* c, ClosureRoutine routine, ExecutorRecord* target, void* object,
                          uint32_t sizeWord, uint32_t weak)
{
    c->routine = routine;
    c->target = target;
    HoldTarget(target);
    BufHandleInit(&c->bound, object ? ObjControlBlockOf(object) : nullptr, object, sizeWord, weak);
}

Closure* ClosureCopy(Closure* destination, const Closure* source)
{
    if (!source) {
        *destination = {};
        return destination;
    }
    ClosureInit(destination, source->routine, source->target, &source->bound);
    return destination;
}

void ClosureRelease(Closure* c)
{
    if (c->target && c->target->cb)
        ObjRelease(c->target->cb);
    BufHandleRelease(&c->bound);
}

void ClosureReset(Closure* c)
{
    ClosureRelease(c);
    *c = {};
}

NtStatus ClosureInvoke(ClosureRoutine routine, ExecutorRecord* target, BufferHandle* bound,
                       BufferHandle* message)
{
    if (!routine)
        return kStatusSuccess;
    if (target)
        return target->post(target, routine, bound, message);
    routine(bound, message);
    return kStatusSuccess;
}

NtStatus ClosureInvokeFor(void* object, ClosureRoutine routine, ExecutorRecord* target,
                          BufferHandle* message)
{
    BufferHandle bound = {object, ObjControlBlockOf(object), 0, 0};
    return ClosureInvoke(routine, target, &bound, message);
}
