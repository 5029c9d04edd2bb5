#include "Platform/Foundation/Bundle.h"

#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>

namespace pf {

namespace {

bool staysInside(const QString& relativePath)
{
    if (relativePath.startsWith(u'/'))
        return false;
    for (const QString& component : relativePath.split(u'/'))
        if (component == u"..")
            return false;
    return true;
}

QString withoutLeadingDot(const QString& type)
{
    return type.startsWith(u'.') ? type.mid(1) : type;
}

QString absoluteClean(const QString& path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

} // namespace

Bundle& Bundle::main()
{
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static Bundle& bundle = *[] {
        const QString resources =
            findResourcesDirectory(FileSystem::executableDirectory(), FileSystem::executableName());
        return new Bundle(resources, findBuiltResourcesDirectories(resources));
    }();
    return bundle;
}

Bundle::Bundle(const QString& resourcePath, const QStringList& builtResourcePaths,
               const QStringList& localizationFolders)
    : m_localizationFolders(localizationFolders), m_resourcePath(absoluteClean(resourcePath)),
      m_builtResourcePaths([&] {
          QStringList paths;
          for (const QString& path : builtResourcePaths)
              if (!path.isEmpty() && absoluteClean(path) != absoluteClean(resourcePath))
                  paths.append(absoluteClean(path));
          return paths;
      }())
{}

QStringList Bundle::resourcePaths() const
{
    return QStringList{m_resourcePath} + m_builtResourcePaths;
}

QStringList Bundle::findBuiltResourcesDirectories(const QString& resourcePath)
{
    QString built = qEnvironmentVariable("PF_BUILT_RESOURCES_DIR");
#ifdef PF_BUILT_RESOURCES_DIR
    if (built.isEmpty())
        built = QStringLiteral(PF_BUILT_RESOURCES_DIR);
#endif
    if (built.isEmpty() || !QFileInfo(built).isDir() || absoluteClean(built) == absoluteClean(resourcePath))
        return {};
    return {absoluteClean(built)};
}

QString Bundle::findResourcesDirectory(const QString& executableDirectory, const QString& executableName)
{
    const QString fromEnvironment = qEnvironmentVariable("PF_RESOURCES_DIR");
    if (!fromEnvironment.isEmpty()) {
        if (QFileInfo(fromEnvironment).isDir())
            return QDir::cleanPath(QDir(fromEnvironment).absolutePath());
        warning(QStringLiteral("PF_RESOURCES_DIR names no folder: \"%1\"").arg(fromEnvironment));
    }
    QStringList candidates{executableDirectory + QStringLiteral("/Resources"),
                           executableDirectory + QStringLiteral("/../share/") + executableName +
                               QStringLiteral("/Resources")};
#ifdef PF_SOURCE_RESOURCES_DIR
    candidates.append(QStringLiteral(PF_SOURCE_RESOURCES_DIR));
#endif
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isDir())
            return QDir::cleanPath(QDir(candidate).absolutePath());
    warning(QStringLiteral("No resources folder found; looked in \"%1\"")
                .arg(candidates.join(QStringLiteral("\", \""))));
    return QDir::cleanPath(QDir(candidates.last()).absolutePath());
}

namespace {

QString directoryFor(const QString& root, const QString& subdirectory)
{
    if (subdirectory.isEmpty())
        return root;
    if (!staysInside(subdirectory))
        return {};
    return root + u'/' + subdirectory;
}

} // namespace

QString Bundle::pathForResource(const QString& name, const QString& type, const QString& subdirectory) const
{
    for (const QString& root : resourcePaths()) {
        const QString path = pathForResourceIn(root, name, type, subdirectory);
        if (!path.isEmpty())
            return path;
    }
    for (const QString& root : resourcePaths())
        for (const QString& folder : m_localizationFolders) {
            const QString path = pathForResourceIn(root + u'/' + folder, name, type, subdirectory);
            if (!path.isEmpty())
                return path;
        }
    return {};
}

QStringList Bundle::localizationFolders(const QString& language)
{
    QStringList folders;
    const auto add = [&](const QString& code) {
        const QString folder = code + QStringLiteral(".lproj");
        if (!code.isEmpty() && staysInside(code) && !code.contains(u'/') && !folders.contains(folder))
            folders.append(folder);
    };
    add(language);
    add(language.section(u'_', 0, 0));
    add(QStringLiteral("en"));
    return folders;
}

QStringList Bundle::pathsForResourcesOfType(const QString& type, const QString& subdirectory) const
{
    QStringList paths = pathsForResourcesOfTypeIn(m_resourcePath, type, subdirectory);
    if (m_builtResourcePaths.isEmpty())
        return paths;
    QMap<QString, QString> byName; // sorted by file name, the main folder's entry winning
    for (const QString& path : paths)
        byName.insert(path.mid(path.lastIndexOf(u'/') + 1), path);
    for (const QString& root : m_builtResourcePaths)
        for (const QString& path : pathsForResourcesOfTypeIn(root, type, subdirectory))
            if (!byName.contains(path.mid(path.lastIndexOf(u'/') + 1)))
                byName.insert(path.mid(path.lastIndexOf(u'/') + 1), path);
    return byName.values();
}

QString Bundle::pathForResourceIn(const QString& root, const QString& name, const QString& type,
                                  const QString& subdirectory) const
{
    const QString directory = directoryFor(root, subdirectory);
    if (name.isEmpty() || directory.isEmpty() || !staysInside(name))
        return {};
    const QString extension = withoutLeadingDot(type);
    QStringList fileNames;
    if (extension.isEmpty()) {
        fileNames.append(name);
    } else {
        fileNames.append(name + u'.' + extension);
        if (name.endsWith(u'.' + extension))
            fileNames.append(name);
    }
    for (const QString& fileName : fileNames) {
        const QString path = QDir::cleanPath(directory + u'/' + fileName);
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

QStringList Bundle::pathsForResourcesOfTypeIn(const QString& root, const QString& type,
                                              const QString& subdirectory) const
{
    const QString directory = directoryFor(root, subdirectory);
    if (directory.isEmpty())
        return {};
    const QString extension = withoutLeadingDot(type);
    const QStringList filters =
        extension.isEmpty() ? QStringList() : QStringList{QStringLiteral("*.") + extension};
    QDir folder(directory);
    folder.setFilter(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    folder.setSorting(QDir::Name);
    folder.setNameFilters(filters);
    QStringList paths;
    for (const QString& entry : folder.entryList())
        // Name filters ignore case only on some systems; the type must match exactly.
        if (extension.isEmpty() || entry.endsWith(u'.' + extension))
            paths.append(directory + u'/' + entry);
    return paths;
}

} // namespace pf
