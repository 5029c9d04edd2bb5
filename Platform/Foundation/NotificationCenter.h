#pragma once

#include "Platform/Foundation/Notification.h"
#include "Platform/Foundation/ObserverToken.h"

#include <functional>
#include <memory>

namespace pf {

// Delivers named notifications synchronously, on the posting thread, to the matching observers in the
// order they were added.
//
// Thread safety: observers may be added, removed and notified from any thread. No lock is held while
// an observer runs, so an observer may post, add or remove observers during delivery.
//
// Removal (resetting or destroying the token) guarantees that, once it returns, the observer is
// neither running on another thread nor will be called again, so whatever the callback captured may
// be destroyed right after. Removal therefore waits for calls already running on other threads; it
// does not wait for a call running on its own thread (an observer removing itself), nor when waiting
// would close a cycle of threads each waiting for the other's callback (two observers removing each
// other from two posting threads): the last thread to join such a cycle proceeds without waiting.
// Do not remove an observer while holding a lock its callback takes.
//
// Tokens may outlive the center; removing then does nothing.
class NotificationCenter
{
public:
    using Callback = std::function<void(const Notification&)>;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The process-wide center. Never destroyed, so it stays usable while static objects are torn down.
    static NotificationCenter& defaultCenter();

    // Calls `callback` for each notification named `name` (an empty name matches every name) whose
    // sender is `sender` (a null sender matches every sender), until the returned token is reset or
    // destroyed. Observers added while a notification is being delivered do not receive it.
    [[nodiscard]] ObserverToken addObserver(const QString& name, const void* sender, Callback callback);

    // Delivers the notification before returning. An exception thrown by an observer propagates to
    // the poster and ends this delivery.
    void post(const QString& name, const void* sender = nullptr, const QVariantMap& userInfo = {});
    void post(const Notification& notification);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace pf
