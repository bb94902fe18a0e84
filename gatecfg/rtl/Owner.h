#pragma once
// The sole owner of one resource: move-only, given back once by its traits.
#include <windows.h>

#include <utility>

namespace rtl {

// Traits give the resource's Value type, what "none" is (None), which values
// own something (Valid) and how to give one back (Free).
template <class TTraits>
class TOwner {
public:
    using Value = typename TTraits::Value;

    TOwner() = default;
    explicit TOwner(Value value) : FValue(value) {}
    TOwner(TOwner&& other) noexcept : FValue(other.Release()) {}
    TOwner& operator=(TOwner&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }
    TOwner(const TOwner&) = delete;
    TOwner& operator=(const TOwner&) = delete;
    ~TOwner() { Reset(); }

    Value Get() const noexcept { return FValue; }
    explicit operator bool() const noexcept { return TTraits::Valid(FValue); }
    // Hands the resource to the caller, who gives it back.
    Value Release() noexcept { return std::exchange(FValue, TTraits::None); }
    // The owner is let go of the old value before it is given back, so that
    // nothing reached from the freeing sees it still held.
    void Reset(Value value = TTraits::None)
    {
        const Value old = std::exchange(FValue, value);
        if (TTraits::Valid(old))
            TTraits::Free(old);
    }
    // For an out parameter: gives back what is held and lends the empty slot.
    Value* Put()
    {
        Reset();
        return &FValue;
    }

private:
    Value FValue = TTraits::None;
};

// A pointer that nullptr marks as none, given back by calling through `FreeFn`:
// the address of a function, or of a pointer to one resolved at run time.
template <class T, auto* FreeFn>
struct TPointerTraits {
    using Value = T*;
    static constexpr Value None = nullptr;
    static bool Valid(Value value) noexcept { return value != nullptr; }
    static void Free(Value value) { (*FreeFn)(value); }
};

// A kernel handle; NULL and CreateFile's INVALID_HANDLE_VALUE both mean none.
struct THandleTraits {
    using Value = HANDLE;
    static constexpr Value None = nullptr;
    static bool Valid(Value value) noexcept { return value != nullptr && value != INVALID_HANDLE_VALUE; }
    static void Free(Value value) { CloseHandle(value); }
};

using THandleOwner = TOwner<THandleTraits>;

}  // namespace rtl
