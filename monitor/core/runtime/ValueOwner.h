#pragma once
#include <cstring>

// Owns a value of the core's C layouts that carries references (a buffer
// handle, a closure) and drops them with `Drop` when it goes. Move-only: a
// second set of references is taken on purpose, through Copy (`Duplicate`).
// An empty value is all zeros, as the layouts define it.
template <class T, void (*Drop)(T*), T* (*Duplicate)(T*, const T*)>
class ValueOwner {
public:
    ValueOwner() = default;
    ~ValueOwner() { reset(); }
    ValueOwner(ValueOwner&& other) noexcept : v_(other.release()) {}
    ValueOwner& operator=(ValueOwner&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ValueOwner(const ValueOwner&) = delete;
    ValueOwner& operator=(const ValueOwner&) = delete;

    // Takes over the value's references without adding any.
    static ValueOwner Adopt(const T& v) { return ValueOwner(v); }
    // A copy with references of its own; none gives an empty owner.
    static ValueOwner Copy(const T* source)
    {
        ValueOwner owner;
        Duplicate(&owner.v_, source);
        return owner;
    }

    T* get() { return &v_; }
    const T* get() const { return &v_; }
    T* operator->() { return &v_; }
    const T* operator->() const { return &v_; }
    explicit operator bool() const
    {
        const T empty{};
        return std::memcmp(&v_, &empty, sizeof(T)) != 0;
    }

    // Hands the references to the caller and leaves the owner empty.
    T release()
    {
        T v = v_;
        v_ = T{};
        return v;
    }
    void reset() { reset(T{}); }
    // Drops what was held, then adopts `v`.
    void reset(const T& v)
    {
        T old = v_;
        v_ = v;
        Drop(&old);
    }
    // Empty, for a routine that fills the value without releasing what it held.
    T* put()
    {
        reset();
        return &v_;
    }

private:
    explicit ValueOwner(const T& v) : v_(v) {}

    T v_{};
};
