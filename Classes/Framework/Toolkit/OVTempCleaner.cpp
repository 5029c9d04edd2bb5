#include "Classes/Framework/Toolkit/OVTempCleaner.h"

#include "Classes/Framework/StringORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/RandomName.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

// The system's temporary folder (TMPDIR) when it is a folder the application may write in, else none
// (empty). With TMPDIR naming a missing folder the system answers an empty path, and an empty folder
// would make every absolute path lie "inside" it, as would the file system's root (also through a
// link): then nothing is handed out, registered or deleted.
QString temporaryRoot()
{
    const QString system = QDir::tempPath();
    if (system.isEmpty() || !QDir::isAbsolutePath(system))
        return {};
    const QFileInfo info(system);
    if (!info.isDir() || !info.isWritable() || info.canonicalFilePath() == QLatin1String("/"))
        return {};
    return QDir::cleanPath(system);
}

// The temporary folder with links resolved, or empty when there is none.
QString canonicalTemporaryFolder()
{
    const QString root = temporaryRoot();
    return root.isEmpty() ? QString() : QFileInfo(root).canonicalFilePath();
}

// The path with every existing folder on the way resolved (symbolic links followed), so that it can be
// compared with the temporary folder; the last component itself is not followed.
QString resolvedParentPath(const QString& path)
{
    const QFileInfo info(QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(path)));
    QString parent = info.absolutePath();
    QStringList missing;
    while (!QFileInfo::exists(parent) && parent != QLatin1String("/")) {
        missing.prepend(QFileInfo(parent).fileName());
        parent = QFileInfo(parent).absolutePath();
    }
    QString resolved = QFileInfo(parent).canonicalFilePath();
    if (resolved.isEmpty())
        resolved = parent;
    for (const QString& component : std::as_const(missing))
        resolved += u'/' + component;
    return resolved + u'/' + info.fileName();
}

// Strictly inside the temporary folder (not the folder itself).
bool isInsideTemporaryFolder(const QString& path)
{
    const QString folder = canonicalTemporaryFolder();
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return false;
    const QString resolved = resolvedParentPath(path);
    return resolved.startsWith(folder + u'/') && resolved.size() > folder.size() + 1 &&
           !QFileInfo(resolved).fileName().isEmpty() && QFileInfo(resolved).fileName() != QLatin1String("..");
}

} // namespace

OVTempCleaner& OVTempCleaner::sharedTempCleaner()
{
    // Never destroyed: the flush at quit runs from the application's about-to-quit signal.
    static OVTempCleaner* shared = new OVTempCleaner;
    // Made before the application object, it starts observing once there is one.
    shared->observeQuit();
    return *shared;
}

OVTempCleaner::OVTempCleaner() : m_resourcePath(newTemporaryFolder())
{
    observeQuit();
}

OVTempCleaner::~OVTempCleaner()
{
    QObject::disconnect(m_quitConnection);
    flush();
}

void OVTempCleaner::observeQuit()
{
    std::lock_guard lock(m_mutex);
    if (m_quitConnection || !QCoreApplication::instance())
        return;
    m_quitConnection = QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                                        QCoreApplication::instance(), [this] { flush(); });
}

QString OVTempCleaner::newTemporaryFolder()
{
    const QString root = temporaryRoot();
    if (root.isEmpty()) {
        pf::warning(QStringLiteral("Could not create folder in the temporary folder \"%1\": it is missing or "
                                   "not a folder that may be written in")
                        .arg(qEnvironmentVariable("TMPDIR")));
        return {};
    }
    // Made exclusively: a folder that exists already (another process's) is never taken over.
    while (true) {
        const QString path = root + u'/' + pf::randomName(10);
        if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0)
            return path;
        if (errno == EEXIST)
            continue;
        pf::warning(QStringLiteral("Could not create folder %1 because %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return {};
    }
}

QString OVTempCleaner::fileURLForName(const QString& name)
{
    // The name must stay inside the folder made for it ("../x" would lead out of it).
    const QString inFolder = QDir::cleanPath(QStringLiteral("folder/") + name);
    if (name.isEmpty() || QDir::isAbsolutePath(name) || !inFolder.startsWith(QLatin1String("folder/"))) {
        pf::warning(QStringLiteral("\"%1\" is no name for a temporary file").arg(name));
        return {};
    }
    const QString folder = newTemporaryFolder();
    if (folder.isEmpty())
        return {};
    const QString path = QDir::cleanPath(folder + u'/' + name);
    if (!addURL(path)) {
        QDir().rmdir(folder);
        return {};
    }
    return path;
}

bool OVTempCleaner::addURL(const QString& path)
{
    if (path.isEmpty() || !isInsideTemporaryFolder(path)) {
        pf::warning(QStringLiteral("%1 is not in the temporary folder %2 and is not deleted at quit")
                        .arg(path, temporaryRoot()));
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_tempURLs.append(path);
    return true;
}

QStringList OVTempCleaner::registeredURLs() const
{
    std::lock_guard lock(m_mutex);
    return m_tempURLs;
}

QString OVTempCleaner::tempCopyURLFor(const QString& source, const QString& baseName)
{
    const OVResourceInfo info = ORVExtension::resourceInfo(source);
    const QString base = baseName.isEmpty() ? info.name() : baseName;
    quint64 counter;
    QString folder;
    {
        std::lock_guard lock(m_mutex);
        counter = m_resourceCounter++;
        folder = m_resourcePath;
    }
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        // The folder could not be made at first, or it has gone since (a flush takes it with its last
        // copy, and the system may clean its temporary folder): a new one now.
        const QString lost = folder;
        folder = newTemporaryFolder();
        std::lock_guard lock(m_mutex);
        if (m_resourcePath == lost)
            m_resourcePath = folder;
        else
            folder = m_resourcePath;
    }
    QString name = QStringLiteral("ORV-X#%1#%2").arg(counter, 3, 10, QLatin1Char('0')).arg(base);
    if (info.options() && !info.options()->isEmpty())
        name += u'#' + *info.options();
    const QString extension = QFileInfo(source).suffix();
    if (!extension.isEmpty())
        name += u'.' + extension;
    // Without a temporary folder now, a copy in the registry's folder could be neither registered nor
    // deleted.
    if (folder.isEmpty() || temporaryRoot().isEmpty()) {
        pf::warning(QStringLiteral("Could not copy %1 to %2 for this reason %3")
                        .arg(source, name, QStringLiteral("there is no temporary folder")));
        return {};
    }
    const QString destination = folder + u'/' + name;
    QFile file(source);
    if (!file.copy(destination)) {
        pf::warning(QStringLiteral("Could not copy %1 to %2 for this reason %3")
                        .arg(source, destination, file.errorString()));
        return {};
    }
    addURL(destination);
    return destination;
}

void OVTempCleaner::flush()
{
    QStringList urls;
    {
        std::lock_guard lock(m_mutex);
        urls.swap(m_tempURLs);
    }
    const QString temporaryFolder = canonicalTemporaryFolder();
    if (temporaryFolder.isEmpty())
        return; // nothing can be told to lie inside no folder
    for (const QString& path : std::as_const(urls)) {
        // Checked again: a folder on the way may have been replaced by a link since registration.
        if (!isInsideTemporaryFolder(path))
            continue;
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
        const QString parent = QFileInfo(resolvedParentPath(path)).absolutePath();
        if (parent.startsWith(temporaryFolder + u'/')) {
            QDir folder(parent);
            if (folder.exists() && folder.isEmpty())
                folder.rmdir(parent);
        }
    }
}

QString OVTempCleaner::tempURLWithExtension(const QString& extension)
{
    const QString root = temporaryRoot();
    if (root.isEmpty()) {
        pf::warning(QStringLiteral("There is no usable temporary folder for a .%1 file").arg(extension));
        return {};
    }
    QString path;
    do
        path = root + u'/' + pf::randomName(10) + u'.' + extension;
    while (QFileInfo::exists(path));
    return path;
}

QString OVTempCleaner::tempCopyFor(const QString& source, const QString& baseName)
{
    const QString copy = sharedTempCleaner().tempCopyURLFor(source, baseName);
    if (copy.isEmpty())
        return {};
    const QFileInfo info(copy);
    return info.dir().dirName() + u'/' + info.fileName();
}
