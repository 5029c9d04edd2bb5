#include "Platform/Foundation/Bundle.h"

#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"

#include <QDir>
#include <QFileInfo>

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

} // namespace

Bundle& Bundle::main()
{
    static Bundle bundle(
        findResourcesDirectory(FileSystem::executableDirectory(), FileSystem::executableName()));
    return bundle;
}

Bundle::Bundle(const QString& resourcePath)
    : m_resourcePath(QDir::cleanPath(QDir(resourcePath).absolutePath()))
{}

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

QString Bundle::directoryFor(const QString& subdirectory) const
{
    if (subdirectory.isEmpty())
        return m_resourcePath;
    if (!staysInside(subdirectory))
        return {};
    return m_resourcePath + u'/' + subdirectory;
}

QString Bundle::pathForResource(const QString& name, const QString& type, const QString& subdirectory) const
{
    const QString directory = directoryFor(subdirectory);
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

QStringList Bundle::pathsForResourcesOfType(const QString& type, const QString& subdirectory) const
{
    const QString directory = directoryFor(subdirectory);
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
