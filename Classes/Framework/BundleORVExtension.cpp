#include "Classes/Framework/BundleORVExtension.h"

#include "Classes/Framework/StringORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/ImageFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QSet>
#include <QWindow>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <unistd.h>

namespace ORVExtension {

namespace {

struct TypeTable
{
    std::shared_mutex mutex;
    QHash<QString, QString> directories{
        {QStringLiteral("ORV-B"), QStringLiteral("Backgrounds")},
        {QStringLiteral("ORV-O"), QStringLiteral("Objects")},
        {QStringLiteral("ORV-T"), QStringLiteral("Textures")},
        {QStringLiteral("ORV-F"), QStringLiteral("Frames")},
        {QStringLiteral("ORV-S"), QStringLiteral("Shadows")},
        {QStringLiteral("ORV-M"), QStringLiteral("Masks")},
        {QStringLiteral("FRM-M"), QStringLiteral("Masks")},
        {QStringLiteral("FRM-E"), QStringLiteral("ExternalMasks")},
        {QStringLiteral("FRM-I"), QStringLiteral("InternalMasks")},
        {QStringLiteral("FRM-S"), QStringLiteral("Shades")},
    };
};

TypeTable& typeTable()
{
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static auto* table = new TypeTable;
    return *table;
}

struct ScaleProvider
{
    std::mutex mutex;
    std::function<double()> provider;
};

ScaleProvider& scaleProvider()
{
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static auto* instance = new ScaleProvider;
    return *instance;
}

double screenBackingScale()
{
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!application)
        return 1.0;
    QWindow* window = QGuiApplication::focusWindow();
    if (!window || !window->screen())
        return 1.0;
    return window->screen()->devicePixelRatio();
}

// A little more than any sensible chain of shared resource folders.
constexpr int maximumBaseLinks = 16;
const QString baseLinkName = QStringLiteral("Base.lnk");

void logLookupFailure(const QString& prefix, const QString& base, const QString& avoiding,
                      const QString& reason)
{
    pf::error(QStringLiteral("Looking for '%1' in '%2' avoiding '%3' failed, because %4")
                  .arg(prefix, base, avoiding, reason));
}

QString nameWithoutExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 ? fileName.left(dot) : fileName;
}

QString extensionOf(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 ? fileName.mid(dot + 1) : QString();
}

// The identity of a folder for loop detection.
QString folderKey(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(path).absolutePath()) : canonical;
}

// The stored destination of a symbolic link, or empty with the reason.
QString readLink(const QString& path, QString* reason)
{
    const QByteArray encoded = QFile::encodeName(path);
    QByteArray buffer(4096, '\0');
    const ssize_t length = ::readlink(encoded.constData(), buffer.data(), size_t(buffer.size()));
    if (length < 0) {
        *reason = errno == EINVAL ? QStringLiteral("\"%1\" is not a symbolic link").arg(path)
                                  : QStringLiteral("\"%1\" cannot be read: %2")
                                        .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    if (length == buffer.size()) {
        *reason = QStringLiteral("the destination of \"%1\" is too long").arg(path);
        return {};
    }
    return QFile::decodeName(buffer.left(length));
}

// Path of a resource relative to the resources folder: what identifies a resource, whereas the folder
// the application is installed in must not change which resources match.
QString relativeToBundle(const pf::Bundle& bundle, const QString& path)
{
    const QString root = bundle.resourcePath() + u'/';
    return path.startsWith(root) ? path.mid(root.size()) : path;
}

QString withoutVariantMarks(const QString& path)
{
    QString name = nameWithoutExtension(path.mid(path.lastIndexOf(u'/') + 1));
    for (const char* mark : {"~iPad", "~iPhone", "@2x"}) {
        const qsizetype at = name.indexOf(QLatin1String(mark));
        if (at >= 0)
            name.remove(at, qsizetype(std::strlen(mark)));
    }
    return name;
}

QImage loadImage(const QString& path)
{
    if (path.isEmpty())
        return {};
    const pf::Bitmap bitmap = pf::ImageFile::read(path);
    return bitmap.isNull() ? QImage() : bitmap.toQImage();
}

QString firstTiffContaining(const pf::Bundle& bundle, const QString& prefix)
{
    if (prefix.isEmpty())
        return {};
    for (const QString& path : bundle.pathsForResourcesOfType(QStringLiteral("tiff")))
        if (relativeToBundle(bundle, path).contains(prefix))
            return path;
    return {};
}

} // namespace

QStringList imageFileTypes()
{
    return {QStringLiteral("tiff"), QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("pdf")};
}

void registerResourceDirectory(const QString& directory, const QString& type)
{
    TypeTable& table = typeTable();
    std::unique_lock lock(table.mutex);
    table.directories.insert(type, directory);
}

QString directoryForResourceType(const QString& type)
{
    TypeTable& table = typeTable();
    std::shared_lock lock(table.mutex);
    return table.directories.value(type);
}

QUrl URLForImageResourceIn(const QString& base, const QString& prefix, const QString& directory,
                           const QString& avoiding)
{
    const QStringList types = imageFileTypes();
    QSet<QString> visited;
    QString current = base;
    for (int links = 0;; ++links) {
        visited.insert(folderKey(current));
        const QString folderPath = current + u'/' + directory;
        QString listingError;
        const QFileInfo folderInfo(folderPath);
        if (!folderInfo.isDir())
            listingError = QStringLiteral("the folder \"%1\" does not exist").arg(folderPath);
        else if (!folderInfo.isReadable())
            listingError = QStringLiteral("the folder \"%1\" cannot be read").arg(folderPath);
        if (listingError.isEmpty()) {
            const QStringList files =
                QDir(folderPath).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString& file : files) {
                if (!types.contains(extensionOf(file)))
                    continue;
                const QString name = nameWithoutExtension(file);
                if (!prefix.isEmpty() && !name.startsWith(prefix))
                    continue;
                if (!avoiding.isEmpty() && name.endsWith(avoiding))
                    continue;
                return QUrl::fromLocalFile(QDir::cleanPath(folderPath + u'/' + file));
            }
        }

        const QString linkPath = current + u'/' + baseLinkName;
        const QFileInfo linkInfo(linkPath);
        if (!linkInfo.isSymLink() && !linkInfo.exists()) {
            if (!listingError.isEmpty())
                logLookupFailure(prefix, current, avoiding, listingError);
            return {};
        }
        QString reason;
        QString destination = readLink(linkPath, &reason);
        if (destination.isEmpty()) {
            logLookupFailure(prefix, current, avoiding, reason);
            return {};
        }
        // Like the file system itself, a relative destination starts from the link's folder.
        if (QDir::isRelativePath(destination))
            destination = QDir::cleanPath(current + u'/' + destination);
        if (visited.contains(folderKey(destination))) {
            logLookupFailure(
                prefix, current, avoiding,
                QStringLiteral("the links named \"%1\" lead back to \"%2\"").arg(baseLinkName, destination));
            return {};
        }
        if (links + 1 >= maximumBaseLinks) {
            logLookupFailure(prefix, current, avoiding,
                             QStringLiteral("more than %1 links named \"%2\" follow each other")
                                 .arg(maximumBaseLinks)
                                 .arg(baseLinkName));
            return {};
        }
        current = destination;
    }
}

void setBackingScaleFactorProvider(std::function<double()> provider)
{
    ScaleProvider& instance = scaleProvider();
    std::lock_guard lock(instance.mutex);
    instance.provider = std::move(provider);
}

double backingScaleFactor()
{
    std::function<double()> provider;
    {
        ScaleProvider& instance = scaleProvider();
        std::lock_guard lock(instance.mutex);
        provider = instance.provider;
    }
    return provider ? provider() : screenBackingScale();
}

QImage imageNamed(const pf::Bundle& bundle, const QString& name)
{
    return imageNamed(bundle, name, false);
}

QImage imageNamed(const pf::Bundle& bundle, const QString& name, bool prefer2X)
{
    QImage image = imageNamed(bundle, name, QStringLiteral("tiff"), prefer2X);
    if (image.isNull())
        image = imageNamed(bundle, name, QStringLiteral("png"), false);
    if (image.isNull())
        image = imageNamed(bundle, name, QStringLiteral("jpg"), prefer2X);
    return image;
}

QImage imageNamed(const pf::Bundle& bundle, const QString& name, const QString& type)
{
    return imageNamed(bundle, name, type, false);
}

QImage imageNamed(const pf::Bundle& bundle, const QString& name, const QString& type, bool prefer2X)
{
    if (name.isEmpty())
        return {};
    const QString highResolution = name + QStringLiteral("@2x");
    QString path;
    if (prefer2X)
        path = bundle.pathForResource(highResolution, type);
    if (path.isEmpty())
        path = bundle.pathForResource(name, type);
    if (path.isEmpty() && !prefer2X && backingScaleFactor() < 1.5)
        path = bundle.pathForResource(highResolution, type);
    return loadImage(path);
}

QString pathForImageNamed(const pf::Bundle& bundle, const QString& name)
{
    return bundle.pathForResource(name, QStringLiteral("tiff"));
}

QImage imageWithPrefix(const pf::Bundle& bundle, const QString& prefix)
{
    const QString path = firstTiffContaining(bundle, prefix);
    return path.isEmpty() ? QImage() : imageNamed(bundle, withoutVariantMarks(path));
}

QString pathForImageWithPrefix(const pf::Bundle& bundle, const QString& prefix)
{
    const QString path = firstTiffContaining(bundle, prefix);
    return path.isEmpty() ? QString() : pathForImageNamed(bundle, withoutVariantMarks(path));
}

QString pathForImageResourceWithPrefix(const pf::Bundle& bundle, const QString& prefix,
                                       const QString& directory, const QString& avoiding)
{
    for (const QString& type : imageFileTypes()) {
        for (const QString& path : bundle.pathsForResourcesOfType(type, directory)) {
            const QString relative = relativeToBundle(bundle, path);
            if (relative.contains(prefix) && (avoiding.isEmpty() || !relative.contains(avoiding)))
                return path;
        }
    }
    return {};
}

QStringList pathsForImageResourcesAvoding(const pf::Bundle& bundle, const QString& avoiding,
                                          const QString& directory)
{
    QStringList paths;
    for (const QString& type : imageFileTypes())
        for (const QString& path : bundle.pathsForResourcesOfType(type, directory))
            if (avoiding.isEmpty() || !relativeToBundle(bundle, path).contains(avoiding))
                paths.append(path);
    return paths;
}

QStringList resourceIDNamesForImageResourcesAvoding(const pf::Bundle& bundle, const QString& avoiding,
                                                    const QString& directory)
{
    QStringList names;
    for (const QString& path : pathsForImageResourcesAvoding(bundle, avoiding, directory))
        names.append(resourceIDName(path));
    return names;
}

QStringList imagePathsInDirectory(const pf::Bundle& bundle, const QString& directory)
{
    QStringList fileNames;
    for (const QString& path : bundle.pathsForResourcesOfType(QString(), directory))
        fileNames.append(path.mid(path.lastIndexOf(u'/') + 1));
    const QString folder =
        directory.isEmpty() ? bundle.resourcePath() : bundle.resourcePath() + u'/' + directory;

    QStringList paths;
    for (const QString& file : fileNames) {
        if (extensionOf(file) != u"tiff")
            continue;
        const QString plain = withoutVariantMarks(file) + QStringLiteral(".tiff");
        if (fileNames.contains(plain) && file != plain)
            continue;
        paths.append(folder + u'/' + file);
    }
    return paths;
}

} // namespace ORVExtension
