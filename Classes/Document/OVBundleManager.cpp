#include "Classes/Document/OVBundleManager.h"

#include "Classes/Document/GMLinks.h"
#include "Classes/Framework/OVImageWriter.h"
#include "Classes/Framework/Toolkit/OVTempCleaner.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/RandomName.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Alert.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>

namespace {

void alertFailure(const QString& path, const QString& reason)
{
    pf::Alert alert;
    alert.messageText = QStringLiteral("Could not save File");
    alert.informativeText = QStringLiteral("Failed writing the image '%1'. %2").arg(path, reason);
    const QString support = OVBundleManager::supportAddress();
    if (!support.isEmpty())
        alert.informativeText += QStringLiteral("\n\nIf this keeps happening, please send a screenshot of "
                                                "this message to %1.")
                                     .arg(support);
    alert.style = pf::Alert::Style::Critical;
    alert.addButton(QStringLiteral("OK"));
    // A modal alert belongs to the main thread; a write on a save thread must not wait for it.
    if (pf::isMainThread())
        alert.runModal();
    else
        pf::runOnMain([alert] { alert.runModal(); });
}

} // namespace

bool OVBundleManager::saveBitmapRep(const pf::Bitmap& bitmap, const QString& path)
{
    QString error;
    QString written;
    if (OVImageWriter::writeImage(bitmap, path, &error, &written))
        return true;
    pf::error(error);
    alertFailure(written.isEmpty() ? path : written, error);
    return false;
}

bool OVBundleManager::saveImage(const QImage& image, const QString& path)
{
    if (image.isNull())
        return false;
    return saveBitmapRep(pf::Bitmap::fromQImage(image), path);
}

bool OVBundleManager::saveCIImage(const pf::Image& image, const QString& path)
{
    const pf::Rect extent = image.isNull() ? pf::Rect() : image.extent();
    std::optional<pf::Bitmap> bitmap;
    if (!image.isNull() && extent.width() > 0 && extent.height() > 0 && extent.width() < 1e6 &&
        extent.height() < 1e6)
        bitmap = pf::RenderContext::shared()->render(image, extent);
    return saveBitmapRep(bitmap ? *bitmap : pf::Bitmap(), path);
}

QString OVBundleManager::randomStringWithLength(int length, const QStringList& avoid)
{
    QString name;
    do
        name = pf::randomName(length);
    while (length > 0 && avoid.contains(name));
    return name;
}

QString OVBundleManager::tempFileForImage(const QImage& image, const QString& name)
{
    QString path = QDir::tempPath() + u'/' + pf::randomName(10);
    if (!name.isEmpty()) {
        if (!QDir().mkpath(path))
            return {};
        path += u'/' + QFileInfo(name).fileName();
    }
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension != QLatin1String("jpg") && extension != QLatin1String("png"))
        path += QStringLiteral(".jpg");
    if (!saveImage(image, path))
        return {};
    OVTempCleaner::sharedTempCleaner().addURL(path);
    return path;
}

QString OVBundleManager::uniqueFileURL(const QString& name, const QString& directory)
{
    const QDir folder(directory);
    if (!QFileInfo::exists(folder.filePath(name)))
        return folder.filePath(name);
    const QFileInfo info(name);
    const QString extension = info.suffix();
    const QString stem = extension.isEmpty() ? name : name.left(name.size() - extension.size() - 1);
    for (quint64 counter = 1;; ++counter) {
        // Put together, not formatted: a name may itself hold "%1".
        QString candidate = stem + u' ' + QString::number(counter);
        if (!extension.isEmpty())
            candidate += u'.' + extension;
        if (!QFileInfo::exists(folder.filePath(candidate)))
            return folder.filePath(candidate);
    }
}

QString OVBundleManager::directoryPath(QStandardPaths::StandardLocation kind, const QString& component,
                                       QString* errorMessage)
{
    return GMFileUtilities::findOrCreateDirectory(kind, component, errorMessage);
}

QString OVBundleManager::applicationSupportDirectory()
{
    return GMFileUtilities::applicationSupportDirectory();
}

QVariantMap OVBundleManager::shadowCopyDictionary()
{
    return GMFileUtilities::shadowCopyDictionary();
}

QString OVBundleManager::supportAddress()
{
    return GMLinks::address(QStringLiteral("SupportMail"));
}
