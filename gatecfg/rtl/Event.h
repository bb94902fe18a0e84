#pragma once
// An event slot: a bound method (or any callable) invoked with the event's
// parameters, by reference where the handler answers through them.
#include <functional>
#include <type_traits>
#include <utility>

namespace rtl {

template <class... Args>
class TEvent {
public:
    TEvent() = default;
    TEvent(std::nullptr_t) {}

    template <class C>
    TEvent(C* object, void (C::*method)(Args...))
        : FHandler([object, method](Args... args) { (object->*method)(std::forward<Args>(args)...); })
    {
    }

    template <class F, class = std::enable_if_t<std::is_invocable_r_v<void, F&, Args...> &&
                                                !std::is_same_v<std::decay_t<F>, TEvent>>>
    TEvent(F handler) : FHandler(std::move(handler))
    {
    }

    bool Assigned() const noexcept { return static_cast<bool>(FHandler); }
    void Clear() noexcept { FHandler = nullptr; }

    void operator()(Args... args) const { FHandler(std::forward<Args>(args)...); }

private:
    std::function<void(Args...)> FHandler;
};

}  // namespace rtl
