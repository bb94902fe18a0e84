// The sole owner of one system resource: move-only, closed once by its traits.
#pragma once

#include <utility>

namespace win32 {

// Traits give the resource's Value type, what "none" is (kNone), which values
// own something (Valid) and how to give one back (Close).
template <class Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value v) : v_(v) {}
    UniqueResource(UniqueResource&& o) noexcept : v_(o.release()) {}
    UniqueResource& operator=(UniqueResource&& o) noexcept
    {
        reset(o.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Value get() const { return v_; }
    explicit operator bool() const { return Traits::Valid(v_); }
    Value release() { return std::exchange(v_, Traits::kNone); }
    void reset(Value v = Traits::kNone)
    {
        if (Traits::Valid(v_))
            Traits::Close(v_);
        v_ = v;
    }
    // For an out parameter: closes what is held and lends the empty slot.
    Value* put()
    {
        reset();
        return &v_;
    }

private:
    Value v_ = Traits::kNone;
};

}  // namespace win32
