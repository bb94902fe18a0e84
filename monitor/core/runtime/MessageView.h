#pragma once
#include "runtime/BufferHandle.h"
#include <cassert>
#include <cstdint>
#include <type_traits>

// The bytes that every message of layout T holds. A layout whose tail may be
// missing states its fixed part next to its declaration.
template <class T>
constexpr uint32_t kMessageFixedSize = sizeof(T);

// A message's data seen as the layout it was built in: `const T` for a message
// that is only read, `T` for one the receiver answers in (a stage offer). The
// layouts stay as they are; the view names the cast once, and asserts that the
// message holds at least the layout's fixed part.
template <class T>
class MessageView {
public:
    explicit MessageView(const BufferHandle* message) : fields_(static_cast<T*>(message->data))
    {
        assert(message->data && message->size >= kMessageFixedSize<std::remove_const_t<T>> &&
               "a message holds its layout's fixed part");
    }

    T* get() const { return fields_; }
    T* operator->() const { return fields_; }
    T& operator*() const { return *fields_; }

private:
    T* fields_;
};
