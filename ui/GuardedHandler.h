// Handlers connected to signals never let an error into Qt: Qt does not promise that its own
// objects (a header in the middle of a click, a button's pressed state) stay consistent when an
// exception unwinds through its signal code. Every such handler is wrapped here; the error ends
// the operation and is shown by the general error display, and the program goes on.
#pragma once

#include <concepts>
#include <functional>
#include <utility>

namespace velmora {

/// Runs `handler`; an error it raises is shown by the general error display, not thrown on.
void runGuarded(const std::function<void()>& handler) noexcept;

/// A handler for connect(): takes the signal's arguments (or fewer) and runs `Handler` with
/// them under runGuarded.
template <typename Handler>
class GuardedHandler {
public:
    explicit GuardedHandler(Handler handler) : m_handler(std::move(handler)) {}

    template <typename... Args>
        requires std::invocable<const Handler&, Args...>
    void operator()(Args&&... args) const
    {
        runGuarded([&] { std::invoke(m_handler, std::forward<Args>(args)...); });
    }

private:
    Handler m_handler;
};

/// Wraps a callable for connect(sender, signal, context, guarded(...)).
template <typename Handler>
GuardedHandler<Handler> guarded(Handler handler)
{
    return GuardedHandler<Handler>(std::move(handler));
}

/// Wraps a member function of `object` taking no arguments: guarded(this, &Tab::Click).
template <typename Object>
auto guarded(Object* object, void (Object::*member)())
{
    return guarded([object, member] { (object->*member)(); });
}

} // namespace velmora
