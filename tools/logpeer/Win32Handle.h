// Owners of a kernel handle and of a socket.
#pragma once

#include <winsock2.h>
#include <windows.h>

namespace logpeer {

// Sole owner of one kernel object; Traits say what "none" is and how to close it.
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
    bool valid() const { return Traits::Valid(v_); }
    Value release()
    {
        Value v = v_;
        v_ = Traits::kNone;
        return v;
    }
    void reset(Value v = Traits::kNone)
    {
        if (valid())
            Traits::Close(v_);
        v_ = v;
    }

private:
    Value v_ = Traits::kNone;
};

struct HandleTraits {
    using Value = HANDLE;
    static constexpr HANDLE kNone = nullptr;
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

struct SocketTraits {
    using Value = SOCKET;
    static constexpr SOCKET kNone = INVALID_SOCKET;
    static bool Valid(SOCKET s) { return s != INVALID_SOCKET; }
    static void Close(SOCKET s) { closesocket(s); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueSocket = UniqueResource<SocketTraits>;

// A manual-reset event, initially clear.
inline UniqueHandle MakeEvent() { return UniqueHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr)); }

}  // namespace logpeer
