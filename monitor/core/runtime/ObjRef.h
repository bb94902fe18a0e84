#pragma once
#include "runtime/ControlBlock.h"

// Holder of one strong reference on a managed object (its control block sits
// in the object's first word), or none.
struct ObjRef {
    void* object;
};

static_assert(sizeof(ObjRef) == 4, "an object reference is one 32-bit word");

inline void ObjRefRelease(ObjRef* ref)
{
    void* object = ref->object;
    ref->object = nullptr;
    if (object)
        ObjRelease(ObjControlBlockOf(object));
}

// Takes a strong reference on `object` (which the caller keeps alive), drops the old one.
inline void ObjRefAssign(ObjRef* ref, void* object)
{
    if (ref->object == object)
        return;
    if (object)
        ObjAddRef(ObjControlBlockOf(object));
    void* old = ref->object;
    ref->object = object;
    if (old)
        ObjRelease(ObjControlBlockOf(old));
}
