#pragma once

#include "Platform/Foundation/ObserverToken.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace pf {

// Properties read and written by name, and observers told before and after a property changes, so
// that undo, bindings and deferred notifications can reach a property without knowing its class.
//
// A class answers valueForKey() and setValueForKey() for its keys and sends willChangeValueForKey() /
// didChangeValueForKey() around its changes (setValueForKey() does not send them by itself). Observers
// are told on the thread that sends the change: the interface's objects send on the main thread.
class KeyValueCoding
{
public:
    KeyValueCoding();
    virtual ~KeyValueCoding();
    KeyValueCoding(const KeyValueCoding&) = delete;
    KeyValueCoding& operator=(const KeyValueCoding&) = delete;

    virtual QVariant valueForKey(const QString& key) const = 0;
    virtual void setValueForKey(const QVariant& value, const QString& key) = 0;

    void willChangeValueForKey(const QString& key);
    void didChangeValueForKey(const QString& key);

    // Calls `willChange` and `didChange` (either may be empty) around every change of `key` until the
    // token goes. An observer may remove itself or others while it is told.
    [[nodiscard]] ObserverToken observeValueForKey(const QString& key, std::function<void()> willChange,
                                                   std::function<void()> didChange);

    // Expires when the object is destroyed: for holders of a plain pointer that must not outlive it.
    std::weak_ptr<const void> lifetime() const { return m_lifetime; }

private:
    struct Observers;
    void tell(const QString& key, bool before);

    std::shared_ptr<Observers> m_observers;
    std::shared_ptr<const void> m_lifetime;
};

} // namespace pf
