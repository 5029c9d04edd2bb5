#include "Platform/UI/InterfaceRegistry.h"

namespace pf {

namespace {

QHash<QString, InterfaceRegistry::Builder>& builders()
{
    static QHash<QString, InterfaceRegistry::Builder> table;
    return table;
}

} // namespace

void InterfaceRegistry::registerInterface(const QString& name, Builder builder)
{
    builders().insert(name, std::move(builder));
}

void InterfaceRegistry::unregisterInterface(const QString& name)
{
    builders().remove(name);
}

bool InterfaceRegistry::hasInterface(const QString& name)
{
    return builders().contains(name);
}

std::optional<Interface> InterfaceRegistry::load(const QString& name, QObject* owner, const Bundle& bundle)
{
    // A copy, so that a builder may register further interfaces while it runs.
    const Builder builder = builders().value(name);
    if (!builder)
        return std::nullopt;
    return builder(owner, bundle);
}

} // namespace pf
