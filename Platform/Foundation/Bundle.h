#pragma once

#include <QString>
#include <QStringList>

namespace pf {

// The application's read-only resources folder and look-up of files in it by name and type.
// Resources made at build time (artwork rendered from SVG) may live in further folders, searched after
// the main one as if their contents were part of it; an installed application has them all in one.
// Immutable once made, so every member may be called from any thread.
class Bundle
{
public:
    // The running application's resources, found once, in this order: the folder named by
    // PF_RESOURCES_DIR; "Resources" beside the executable; "../share/<executable name>/Resources"
    // relative to the executable's folder; the source tree's "Resources" (when run from a build tree).
    // The built resources: the folder named by PF_BUILT_RESOURCES_DIR, else the build tree's.
    static Bundle& main();

    // `localizationFolders` ("de.lproj", "en.lproj", best first; see localizationFolders()) are looked in
    // for what the folders themselves do not hold.
    explicit Bundle(const QString& resourcePath, const QStringList& builtResourcePaths = {},
                    const QStringList& localizationFolders = {});
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    QString resourcePath() const { return m_resourcePath; }
    // The main folder first, then the folders of built resources.
    QStringList resourcePaths() const;

    // The full path of "<name>.<type>" (type without the dot) in the resources folder or its
    // `subdirectory`; with an empty type, `name` is the whole file name. A name that already ends in
    // ".<type>" is found as well. Empty when there is no such file, or when the name or subdirectory
    // would lead outside the resources folder. A file found in no folder itself is looked for in the
    // bundle's localisation folders, in their order; the path found tells which one held it.
    QString pathForResource(const QString& name, const QString& type = {},
                            const QString& subdirectory = {}) const;
    // Full paths of the entries ending in ".<type>" (every entry for an empty type), sorted by name;
    // an entry of a built-resources folder whose name the main folder also has is left out.
    QStringList pathsForResourcesOfType(const QString& type, const QString& subdirectory = {}) const;

    // The localisation folders for `language` ("de_CH": "de_CH.lproj", "de.lproj"), then "en.lproj".
    static QStringList localizationFolders(const QString& language);

    // The choice main() makes, for an executable in `executableDirectory` called `executableName`.
    static QString findResourcesDirectory(const QString& executableDirectory, const QString& executableName);
    // The built-resources folders main() adds to `resourcePath` (none that is the same folder).
    static QStringList findBuiltResourcesDirectories(const QString& resourcePath);

private:
    QString pathForResourceIn(const QString& root, const QString& name, const QString& type,
                              const QString& subdirectory) const;
    QStringList pathsForResourcesOfTypeIn(const QString& root, const QString& type,
                                          const QString& subdirectory) const;

    const QStringList m_localizationFolders;
    const QString m_resourcePath;
    const QStringList m_builtResourcePaths;
};

} // namespace pf
