#pragma once
#include "runtime/ControlBlock.h"
#include "runtime/RefOwner.h"
#include <gtest/gtest.h>

// A new object of the type, the test's one reference held in an owner.
template <class T = void>
RefOwner<T> MakeOwned(const TypeDescriptor& type)
{
    void* object = nullptr;
    EXPECT_EQ(ObjCreateFromDescriptor(&object, type), kStatusSuccess);
    return RefOwner<T>::Adopt(static_cast<T*>(object));
}
