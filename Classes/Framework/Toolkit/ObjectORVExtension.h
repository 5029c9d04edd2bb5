#pragma once

#include <QString>
#include <memory>
#include <utility>

namespace pf {
class KeyValueCoding;
}

// Deferred change notification. Callable from any thread.
namespace ObjectORVExtension {

// Sends the object's will-change and did-change notifications for `key` on the main thread, on a later
// turn of its event loop, so that observers read the value again then. The object is kept alive until
// that has run.
void delayedChangeValueForKey(std::shared_ptr<pf::KeyValueCoding> object, const QString& key);

// Tells an optional delegate: calls `notification` on it with `args`, when there is one.
template <typename Delegate, typename... Params, typename... Args>
void notifyDelegate(Delegate* delegate, void (Delegate::*notification)(Params...), Args&&... args)
{
    if (delegate)
        (delegate->*notification)(std::forward<Args>(args)...);
}

} // namespace ObjectORVExtension
