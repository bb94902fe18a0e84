#pragma once
#include "runtime/ControlBlock.h"
#include "runtime/TrackedBlock.h"
#include <cstddef>
#include <new>
#include <utility>

// C++ objects of the core live in a tracked block under a control block of
// their own, kept in their member `cb`: the destructor runs at the last strong
// release, the memory goes back at the last weak one. The destructor is called
// through the concrete type, so interfaces need no virtual destructor.
template <class T>
void ManagedDestroy(void* payload)
{
    static_cast<T*>(payload)->~T();
}

// The new object holds one strong reference for the caller; none when memory is short.
template <class T, class... Args>
T* ManagedNew(Args&&... args)
{
    void* memory = BlockAlloc(sizeof(T));
    if (!memory)
        return nullptr;
    T* object = new (memory) T(std::forward<Args>(args)...);
    if (ObjCreate(&object->cb, object, ManagedDestroy<T>, BlockRelease, nullptr) != kStatusSuccess) {
        object->~T();
        BlockRelease(memory);
        return nullptr;
    }
    return object;
}

// An object reference (in messages and arguments) is the address of the word
// that holds the object's control block; objects with virtual operations keep
// their dispatch pointer before it.
template <class T>
void* ObjectRefOf(T* object)
{
    return object ? &object->cb : nullptr;
}

template <class T>
T* ObjectFromRef(void* ref)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    constexpr size_t offset = offsetof(T, cb);
#pragma GCC diagnostic pop
    return ref ? reinterpret_cast<T*>(static_cast<char*>(ref) - offset) : nullptr;
}
