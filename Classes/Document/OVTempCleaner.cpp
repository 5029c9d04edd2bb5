#include "Classes/Document/OVTempCleaner.h"

#include "Classes/Framework/StringORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/RandomName.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

OVTempCleaner& OVTempCleaner::sharedTempCleaner()
{
    // Never destroyed: the flush at quit runs from the application's about-to-quit signal.
    static OVTempCleaner* shared = [] {
        auto* cleaner = new OVTempCleaner;
        if (QCoreApplication::instance())
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                             [cleaner] { cleaner->flush(); });
        return cleaner;
    }();
    return *shared;
}

OVTempCleaner::OVTempCleaner() : m_resourcePath(newTemporaryFolder()) {}

OVTempCleaner::~OVTempCleaner()
{
    flush();
}

QString OVTempCleaner::newTemporaryFolder()
{
    QString path;
    do
        path = QDir::tempPath() + u'/' + pf::randomName(10);
    while (QFileInfo::exists(path));
    if (!QDir().mkpath(path))
        pf::warning(QStringLiteral("Could not create folder %1 because it cannot be made there").arg(path));
    return path;
}

QString OVTempCleaner::fileURLForName(const QString& name)
{
    const QString path = newTemporaryFolder() + u'/' + name;
    addURL(path);
    return path;
}

void OVTempCleaner::addURL(const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_tempURLs.append(path);
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
    {
        std::lock_guard lock(m_mutex);
        counter = m_resourceCounter++;
    }
    QString name = QStringLiteral("ORV-X#%1#%2").arg(counter, 3, 10, QLatin1Char('0')).arg(base);
    if (info.options() && !info.options()->isEmpty())
        name += u'#' + *info.options();
    const QString extension = QFileInfo(source).suffix();
    if (!extension.isEmpty())
        name += u'.' + extension;
    const QString destination = m_resourcePath + u'/' + name;
    QFile file(source);
    if (file.copy(destination))
        addURL(destination);
    else
        pf::warning(QStringLiteral("Could not copy %1 to %2 for this reason %3")
                        .arg(source, destination, file.errorString()));
    return destination;
}

void OVTempCleaner::flush()
{
    QStringList urls;
    {
        std::lock_guard lock(m_mutex);
        urls.swap(m_tempURLs);
    }
    for (const QString& path : urls) {
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
        QDir parent = info.dir();
        if (parent.exists() && parent.isEmpty())
            parent.rmdir(parent.absolutePath());
    }
}

QString OVTempCleaner::tempURLWithExtension(const QString& extension)
{
    QString path;
    do
        path = QDir::tempPath() + u'/' + pf::randomName(10) + u'.' + extension;
    while (QFileInfo::exists(path));
    return path;
}

QString OVTempCleaner::tempCopyFor(const QString& source, const QString& baseName)
{
    const QString copy = sharedTempCleaner().tempCopyURLFor(source, baseName);
    const QFileInfo info(copy);
    return info.dir().dirName() + u'/' + info.fileName();
}
