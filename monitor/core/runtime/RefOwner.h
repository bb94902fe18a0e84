#pragma once
#include "runtime/ControlBlock.h"

// The control block a strong reference is counted on: a control block itself,
// or the one in a managed object's first word.
inline ControlBlock* RefControlBlock(ControlBlock* cb) { return cb; }
template <class T>
ControlBlock* RefControlBlock(T* object)
{
    return ObjControlBlockOf(object);
}

// Owns one strong reference on a control block (RefOwner<ControlBlock>) or on
// a managed object (any other T), or none, and releases it when it goes. A
// copy adds a reference of its own.
template <class T>
class RefOwner {
public:
    RefOwner() = default;
    ~RefOwner() { reset(); }
    RefOwner(const RefOwner& other) : p_(other.p_)
    {
        if (p_)
            ObjAddRef(RefControlBlock(p_));
    }
    RefOwner(RefOwner&& other) noexcept : p_(other.release()) {}
    RefOwner& operator=(RefOwner other) noexcept
    {
        reset(other.release());
        return *this;
    }

    // Takes over a strong reference the caller holds, without adding one.
    static RefOwner Adopt(T* p) { return RefOwner(p); }
    // Adds a strong reference; the caller already holds one on `p`.
    static RefOwner AddRef(T* p)
    {
        if (p)
            ObjAddRef(RefControlBlock(p));
        return RefOwner(p);
    }
    // A strong reference from a weak one: empty when the object is destroyed
    // or being destroyed.
    static RefOwner TryLock(T* p) { return RefOwner(p && ObjTryLock(RefControlBlock(p)) ? p : nullptr); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Hands the reference to the caller and leaves the owner empty.
    T* release()
    {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    // Drops what was held, then adopts `p`.
    void reset(T* p = nullptr)
    {
        T* old = p_;
        p_ = p;
        if (old)
            ObjRelease(RefControlBlock(old));
    }

private:
    explicit RefOwner(T* p) : p_(p) {}

    T* p_ = nullptr;
};
