// Owner of one COM reference.
#pragma once

namespace vspmanager {

template <class Interface>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(Interface* adopted) : object_(adopted) {}
    ComRef(ComRef&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    ComRef& operator=(ComRef&& other) noexcept
    {
        if (this != &other) {
            reset();
            object_ = other.object_;
            other.object_ = nullptr;
        }
        return *this;
    }
    ~ComRef() { reset(); }

    Interface* get() const { return object_; }
    void reset()
    {
        Interface* object = object_;
        object_ = nullptr;
        if (object != nullptr)
            object->Release();
    }

private:
    Interface* object_ = nullptr;
};

}  // namespace vspmanager
