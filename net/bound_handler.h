#pragma once
// An event handler of a network component, optionally tied to the lifetime of a QObject
// (usually the window whose method it calls): once that object is destroyed the handler is
// no longer called.
//
// Threads: the owning component's thread rules apply; Set and the call on one thread.

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <utility>

namespace quorvex::net {

template <typename Signature>
class BoundHandler;

template <typename... Args>
class BoundHandler<void(Args...)> {
  public:
    using Function = std::function<void(Args...)>;

    // `context` null: the handler lives as long as the component.
    void Set(Function handler, QObject* context) {
        handler_ = handler ? std::make_shared<const Function>(std::move(handler)) : nullptr;
        context_ = context;
        tied_ = context != nullptr;
    }

    explicit operator bool() const { return handler_ && (!tied_ || context_); }

    // Calls the handler if it is set and its context lives. A handler may replace itself
    // during the call: the call keeps the one it started with alive.
    void operator()(Args... args) const {
        if (!*this) return;
        const std::shared_ptr<const Function> handler = handler_;
        (*handler)(std::forward<Args>(args)...);
    }

  private:
    std::shared_ptr<const Function> handler_;
    QPointer<QObject> context_;
    bool tied_ = false;
};

}  // namespace quorvex::net
