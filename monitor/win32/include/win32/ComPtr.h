// Owner of one COM reference.
#pragma once

#include <cstddef>
#include <utility>

namespace win32 {

// A copy takes a reference of its own (AddRef); the destructor, reset and an
// assignment give the held one back (Release). A raw pointer given to the
// constructor is shared, so AddRef'd; Adopt takes over a reference the
// caller already owns.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(T* shared) : p_(shared)
    {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(o.release()) {}
    // The new reference is taken before the old one is given back: assigning
    // the object a pointer already holds must not free it in between.
    ComPtr& operator=(const ComPtr& o)
    {
        ComPtr(o).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept
    {
        ComPtr(std::move(o)).swap(*this);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Hands the reference to the caller, who must Release it.
    T* release() { return std::exchange(p_, nullptr); }
    void reset()
    {
        if (T* old = release())
            old->Release();
    }
    // For an out parameter: gives back what is held and lends the empty slot.
    T** put()
    {
        reset();
        return &p_;
    }
    void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

    // Takes over `owned`, a reference the caller holds, without AddRef.
    static ComPtr Adopt(T* owned)
    {
        ComPtr held;
        held.p_ = owned;
        return held;
    }

private:
    T* p_ = nullptr;
};

}  // namespace win32
