#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The named actions a help topic's button may send ("openSample", "showWelcomeWindow",
// "showQuickTutorial"). A name is only ever looked up here, never turned into a call by its spelling;
// whoever can perform an action registers it. Main thread.
class OVHelpActions
{
public:
    using Action = std::function<void()>;

    static void registerAction(const QString& name, Action action);
    static void unregisterAction(const QString& name);
    // The action of that name; empty when none is registered.
    static Action action(const QString& name);
    static QStringList names();
};
