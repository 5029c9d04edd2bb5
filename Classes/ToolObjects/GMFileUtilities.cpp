#include "Classes/ToolObjects/GMFileUtilities.h"

#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/RandomName.h"
#include "Platform/Image/ImageFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <mutex>

namespace {

const QString registryName = QStringLiteral("files");
const QString filenameKey = QStringLiteral("filename");
const QString modificationTimeKey = QStringLiteral("modification_time");
const QString pinnedKey = QStringLiteral("pinned");
constexpr int shadowCopyNameLength = 20;

std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

QString registryPath(const QString& applicationFolder)
{
    return applicationFolder + u'/' + registryName;
}

QVariantMap readRegistry(const QString& applicationFolder)
{
    const QString path = registryPath(applicationFolder);
    if (!QFileInfo::exists(path))
        return {};
    QString error;
    const std::optional<QVariant> registry = pf::PropertyList::fromFile(path, &error);
    if (!registry || registry->metaType() != QMetaType::fromType<QVariantMap>()) {
        // The next change writes a fresh registry; the damaged one is kept beside it, so whoever repairs
        // it still finds which images had shadow copies.
        const QString kept = path + QStringLiteral(".damaged");
        bool moved = false;
        if (QFileInfo(path).isFile() && !QFileInfo(path).isSymLink()) {
            QFile::remove(kept);
            moved = QFile::rename(path, kept);
        }
        pf::warning(
            QStringLiteral("The shadow-copy registry \"%1\" cannot be read; it counts as empty%2. %3")
                .arg(path, moved ? QStringLiteral(" and is kept as \"%1\"").arg(kept) : QString(), error));
        return {};
    }
    return registry->toMap();
}

bool writeRegistry(const QString& applicationFolder, const QVariantMap& registry)
{
    QString error;
    const std::optional<QByteArray> data =
        pf::PropertyList::toData(registry, pf::PropertyList::Format::Xml, &error);
    if (!data || !pf::FileSystem::writeFileAtomically(registryPath(applicationFolder), *data, &error)) {
        pf::warning(QStringLiteral("Could not write the shadow-copy registry: %1").arg(error));
        return false;
    }
    return true;
}

// The folder name of a registry entry, or empty (logged) when the entry names none this class made.
QString entryFilename(const QString& path, const QVariant& entry)
{
    const QVariant filename = entry.toMap().value(filenameKey);
    if (entry.metaType() == QMetaType::fromType<QVariantMap>() &&
        filename.metaType() == QMetaType::fromType<QString>() &&
        GMFileUtilities::isShadowCopyFilename(filename.toString()))
        return filename.toString();
    pf::warning(
        QStringLiteral("The shadow-copy registry entry for \"%1\" names no valid folder; it is ignored")
            .arg(path));
    return {};
}

bool nameIsTaken(const QString& applicationFolder, const QString& name, const QVariantMap& registry)
{
    const QFileInfo info(applicationFolder + u'/' + name);
    if (info.exists() || info.isSymLink())
        return true;
    // A folder registered but not yet written by the document still belongs to its image.
    for (const QVariant& entry : registry)
        if (entry.toMap().value(filenameKey).toString() == name)
            return true;
    return false;
}

QString originalPath(const QUrl& url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.path();
}

} // namespace

QString GMFileUtilities::genRandStringLength(int length)
{
    return pf::randomName(length);
}

bool GMFileUtilities::isShadowCopyFilename(const QString& name)
{
    if (name.size() != shadowCopyNameLength)
        return false;
    for (const QChar c : name)
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    return true;
}

QString GMFileUtilities::findOrCreateDirectory(QStandardPaths::StandardLocation kind,
                                               const QString& appendComponent, QString* error)
{
    QString path = QStandardPaths::writableLocation(kind);
    if (path.isEmpty())
        return {};
    if (!appendComponent.isEmpty())
        path += u'/' + appendComponent;
    QString reason;
    if (!pf::FileSystem::createDirectory(path, &reason)) {
        if (error)
            *error = reason;
        return {};
    }
    if (error)
        error->clear();
    return path;
}

QString GMFileUtilities::applicationSupportDirectory()
{
    const QString path = pf::FileSystem::applicationSupportDirectory();
    QString error;
    if (!pf::FileSystem::createDirectory(path, &error)) {
        pf::warning(QStringLiteral("Unable to find or create application support directory:\n%1").arg(error));
        return {};
    }
    return path;
}

bool GMFileUtilities::createDirectoryAtURL(const QUrl& url, QString* error)
{
    // The platform has no attribute that hides name extensions; a plain folder serves.
    return pf::FileSystem::createDirectory(originalPath(url), error);
}

QVariantMap GMFileUtilities::shadowCopyDictionary()
{
    const QString folder = applicationSupportDirectory();
    if (folder.isEmpty())
        return {};
    std::lock_guard lock(registryMutex());
    return readRegistry(folder);
}

bool GMFileUtilities::writeDictionaryAsShadowCopyDictionary(const QVariantMap& dictionary)
{
    const QString folder = applicationSupportDirectory();
    if (folder.isEmpty())
        return false;
    std::lock_guard lock(registryMutex());
    return writeRegistry(folder, dictionary);
}

QUrl GMFileUtilities::handleURLAsShadowCopy(const QUrl& imageURL)
{
    const QString folder = applicationSupportDirectory();
    if (folder.isEmpty())
        return {};
    const QString key = originalPath(imageURL);
    const QDateTime now = QDateTime::currentDateTimeUtc();

    std::lock_guard lock(registryMutex());
    QVariantMap registry = readRegistry(folder);
    if (registry.contains(key)) {
        const QString filename = entryFilename(key, registry.value(key));
        if (!filename.isEmpty()) {
            QVariantMap entry = registry.value(key).toMap();
            entry.insert(modificationTimeKey, now);
            registry.insert(key, entry);
            writeRegistry(folder, registry);
            return QUrl::fromLocalFile(folder + u'/' + filename);
        }
    }
    QString filename;
    do
        filename = genRandStringLength(shadowCopyNameLength);
    while (nameIsTaken(folder, filename, registry));
    registry.insert(key,
                    QVariantMap{{modificationTimeKey, now}, {filenameKey, filename}, {pinnedKey, false}});
    if (!writeRegistry(folder, registry)) {
        // A package written into an unregistered folder would be found by nobody and deleted by nothing.
        pf::error(
            QStringLiteral("No shadow copy can be made for \"%1\": the registry cannot be written").arg(key));
        return {};
    }
    return QUrl::fromLocalFile(folder + u'/' + filename);
}

QImage GMFileUtilities::previewImageForShadowCopyWithFilename(const QString& filename)
{
    if (!isShadowCopyFilename(filename)) {
        pf::warning(QStringLiteral("\"%1\" is not the name of a shadow copy").arg(filename));
        return {};
    }
    const QString folder = applicationSupportDirectory();
    if (folder.isEmpty())
        return {};
    const pf::Bitmap preview = pf::ImageFile::read(folder + u'/' + filename + QStringLiteral("/preview.jpg"));
    return preview.isNull() ? QImage() : preview.toQImage();
}

void GMFileUtilities::setPinned(bool pinned, const QString& path)
{
    const QString folder = applicationSupportDirectory();
    if (folder.isEmpty())
        return;
    std::lock_guard lock(registryMutex());
    QVariantMap registry = readRegistry(folder);
    if (!registry.contains(path) || entryFilename(path, registry.value(path)).isEmpty())
        return;
    QVariantMap entry = registry.value(path).toMap();
    entry.insert(pinnedKey, pinned);
    entry.insert(modificationTimeKey, QDateTime::currentDateTimeUtc());
    registry.insert(path, entry);
    writeRegistry(folder, registry);
}

bool GMFileUtilities::setShadowCopyValues(const QString& path, const QVariantMap& values)
{
    const QString folder = applicationSupportDirectory();
    if (folder.isEmpty())
        return false;
    std::lock_guard lock(registryMutex());
    QVariantMap registry = readRegistry(folder);
    if (!registry.contains(path) || entryFilename(path, registry.value(path)).isEmpty())
        return false;
    QVariantMap entry = registry.value(path).toMap();
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it.key() == filenameKey)
            continue; // the folder name is this class's alone to choose
        if (it.value().isValid())
            entry.insert(it.key(), it.value());
        else
            entry.remove(it.key());
    }
    registry.insert(path, entry);
    return writeRegistry(folder, registry);
}

void GMFileUtilities::removeShadowCopyWithPath(const QString& path)
{
    const QString folder = applicationSupportDirectory();
    if (folder.isEmpty())
        return;
    std::lock_guard lock(registryMutex());
    QVariantMap registry = readRegistry(folder);
    if (registry.contains(path)) {
        const QString filename = entryFilename(path, registry.value(path));
        QString error;
        if (!filename.isEmpty() &&
            !pf::FileSystem::removeRecursively(folder + u'/' + filename, folder, &error))
            pf::warning(error);
    }
    registry.remove(path);
    writeRegistry(folder, registry);
}
