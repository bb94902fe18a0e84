#pragma once
#include "runtime/BufferHandle.h"
#include "runtime/ValueOwner.h"

// Owns the one reference a BufferHandle carries.
using HandleOwner = ValueOwner<BufferHandle, BufHandleRelease, BufHandleCopy>;

// A strong reference from `source`; empty when the source is none or its
// object is destroyed.
inline HandleOwner HandleLockCopy(const BufferHandle* source)
{
    BufferHandle h;
    BufHandleLockCopy(&h, source);
    return HandleOwner::Adopt(h);
}
