#include "Classes/Help/OVHelpActions.h"

#include <QHash>

namespace {

QHash<QString, OVHelpActions::Action>& registry()
{
    static QHash<QString, OVHelpActions::Action> actions;
    return actions;
}

} // namespace

void OVHelpActions::registerAction(const QString& name, Action action)
{
    if (!name.isEmpty() && action)
        registry().insert(name, std::move(action));
}

void OVHelpActions::unregisterAction(const QString& name)
{
    registry().remove(name);
}

OVHelpActions::Action OVHelpActions::action(const QString& name)
{
    return registry().value(name);
}

QStringList OVHelpActions::names()
{
    QStringList names = registry().keys();
    names.sort();
    return names;
}
