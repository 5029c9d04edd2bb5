#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace pf {

class Bundle;

// What building an interface made: its named connections for the owner (the outlets: "view" or
// "window" for the controllers' root, and whatever else the owner works on) and the objects at its top,
// which the owner then keeps (the view or window among them, and possibly the application object, which
// owners never keep).
struct Interface
{
    QHash<QString, QPointer<QObject>> outlets;
    std::vector<QObject*> topLevelObjects;

    template <typename T> T* outlet(const QString& name) const
    {
        return qobject_cast<T*>(outlets.value(name).data());
    }
};

// Interfaces by name, built in code: each name has a builder that makes the views or windows of one
// interface for an owner, with resources from a bundle. A name without a builder has no interface, so
// a controller asking for it finds none. Main thread only.
class InterfaceRegistry
{
public:
    using Builder = std::function<Interface(QObject* owner, const Bundle& bundle)>;

    // Registers (or replaces) the builder of `name`.
    static void registerInterface(const QString& name, Builder builder);
    static void unregisterInterface(const QString& name);
    static bool hasInterface(const QString& name);
    // Builds the interface; nothing when no builder has that name.
    static std::optional<Interface> load(const QString& name, QObject* owner, const Bundle& bundle);
};

} // namespace pf
