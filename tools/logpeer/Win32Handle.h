// Owners of a kernel handle and of a socket.
#pragma once

#include <winsock2.h>
#include <windows.h>

namespace logpeer {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    reset(o.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }
  void reset(HANDLE h = nullptr) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};

class UniqueSocket {
 public:
  UniqueSocket() = default;
  explicit UniqueSocket(SOCKET s) : s_(s) {}
  UniqueSocket(UniqueSocket&& o) noexcept : s_(o.release()) {}
  UniqueSocket& operator=(UniqueSocket&& o) noexcept {
    reset(o.release());
    return *this;
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;
  ~UniqueSocket() { reset(); }

  SOCKET get() const { return s_; }
  bool valid() const { return s_ != INVALID_SOCKET; }
  SOCKET release() {
    SOCKET s = s_;
    s_ = INVALID_SOCKET;
    return s;
  }
  void reset(SOCKET s = INVALID_SOCKET) {
    if (valid()) closesocket(s_);
    s_ = s;
  }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

// A manual-reset event, initially clear.
inline UniqueHandle MakeEvent() { return UniqueHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr)); }

}  // namespace logpeer
