#pragma once

#include <QString>
#include <QStringList>

namespace pf {

// The application's read-only resources folder and look-up of files in it by name and type.
// Immutable once made, so every member may be called from any thread.
class Bundle
{
public:
    // The running application's resources, found once, in this order: the folder named by
    // PF_RESOURCES_DIR; "Resources" beside the executable; "../share/<executable name>/Resources"
    // relative to the executable's folder; the source tree's "Resources" (when run from a build tree).
    static Bundle& main();

    explicit Bundle(const QString& resourcePath);
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    QString resourcePath() const { return m_resourcePath; }

    // The full path of "<name>.<type>" (type without the dot) in the resources folder or its
    // `subdirectory`; with an empty type, `name` is the whole file name. A name that already ends in
    // ".<type>" is found as well. Empty when there is no such file, or when the name or subdirectory
    // would lead outside the resources folder.
    QString pathForResource(const QString& name, const QString& type = {},
                            const QString& subdirectory = {}) const;
    // Full paths of the entries ending in ".<type>" (every entry for an empty type), sorted by name.
    QStringList pathsForResourcesOfType(const QString& type, const QString& subdirectory = {}) const;

    // The choice main() makes, for an executable in `executableDirectory` called `executableName`.
    static QString findResourcesDirectory(const QString& executableDirectory, const QString& executableName);

private:
    QString directoryFor(const QString& subdirectory) const;

    const QString m_resourcePath;
};

} // namespace pf
