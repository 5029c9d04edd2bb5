#include "Classes/Framework/Toolkit/OVCachedImage.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/RandomName.h"
#include "Platform/UI/Timer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPdfDocument>
#include <QSaveFile>
#include <QSvgRenderer>
#include <cmath>

namespace {

constexpr double usefulVectorSide = 1536;

// What the files of a vector image are read with.
enum class VectorKind
{
    None,
    Svg,
    Pdf,
    PostScript,
};

VectorKind vectorKind(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("svg") || suffix == QLatin1String("svgz"))
        return VectorKind::Svg;
    if (suffix == QLatin1String("pdf"))
        return VectorKind::Pdf;
    if (suffix == QLatin1String("eps") || suffix == QLatin1String("epsf") || suffix == QLatin1String("ps"))
        return VectorKind::PostScript;
    return VectorKind::None;
}

QSize pixelSize(double width, double height, double scale)
{
    // Both sides rounded, at least one pixel each.
    return QSize(std::max(1, int(std::lround(width * scale))), std::max(1, int(std::lround(height * scale))));
}

} // namespace

// A vector image: its file and its size in points. Drawn from the file at any size, on any thread (a
// renderer is made per drawing; the PDF library serialises its own calls).
struct OVCachedImage::Vector
{
    VectorKind kind = VectorKind::None;
    QString path;
    QSizeF pointSize;

    static std::shared_ptr<const Vector> open(const QString& path, VectorKind kind)
    {
        auto vector = std::make_shared<Vector>();
        vector->kind = kind;
        vector->path = path;
        if (kind == VectorKind::Svg) {
            QSvgRenderer renderer(path);
            if (!renderer.isValid())
                return nullptr;
            vector->pointSize = renderer.defaultSize();
        } else if (kind == VectorKind::Pdf) {
            QPdfDocument document;
            if (document.load(path) != QPdfDocument::Error::None || document.pageCount() < 1)
                return nullptr;
            vector->pointSize = document.pagePointSize(0);
        } else {
            return nullptr; // PostScript cannot be read here
        }
        if (vector->pointSize.isEmpty())
            return nullptr;
        return vector;
    }

    QImage draw(QSize pixels) const
    {
        if (kind == VectorKind::Pdf) {
            QPdfDocument document;
            if (document.load(path) != QPdfDocument::Error::None || document.pageCount() < 1)
                return {};
            return document.render(0, pixels).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
        QSvgRenderer renderer(path);
        if (!renderer.isValid())
            return {};
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter, QRectF(QPointF(), QSizeF(pixels)));
        return image;
    }
};

double OVCachedImage::dropDelay(int strategy)
{
    switch (strategy) {
    case DropAtNextTurn:
        return 0;
    case DropAfterAMinute:
        return 60;
    case NeverDrop:
        return -1;
    default:
        return 300;
    }
}

OVCachedImage::OVCachedImage() = default;

OVCachedImage::~OVCachedImage()
{
    QObject::disconnect(m_quitConnection);
    if (std::shared_ptr<pf::Timer> timer = std::move(m_cacheTimer)) {
        if (pf::isMainThread())
            timer->invalidate();
        else
            pf::runOnMain([timer] { timer->invalidate(); });
    }
    deleteDiskCopy();
}

void OVCachedImage::observeQuit()
{
    if (!QCoreApplication::instance())
        return;
    std::weak_ptr<OVCachedImage> weak = weak_from_this();
    m_quitConnection = QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                                        QCoreApplication::instance(), [weak] {
                                            if (auto self = weak.lock())
                                                self->applicationWillTerminate();
                                        });
}

std::shared_ptr<OVCachedImage> OVCachedImage::initWithNSImage(const QImage& image)
{
    if (image.isNull())
        return nullptr;
    std::shared_ptr<OVCachedImage> cached(new OVCachedImage);
    cached->observeQuit();
    cached->m_storedImage = image;
    cached->m_hasTransparency = image.hasAlphaChannel();
    cached->m_isVectorial = false;
    cached->writeToDisk();
    return cached;
}

std::shared_ptr<OVCachedImage> OVCachedImage::initWithImageAtURL(const QString& source)
{
    std::shared_ptr<OVCachedImage> cached(new OVCachedImage);
    cached->observeQuit();
    QString destination = saveURLWithExtension(QFileInfo(source).suffix());
    QFile sourceFile(source);
    const bool copied = sourceFile.copy(destination);
    const QString copyError = copied ? QString() : sourceFile.errorString();
    const QString failedDestination = copied ? QString() : destination;
    if (!copied)
        destination.clear();
    const QString loadFrom = copied ? destination : source;

    QImage image;
    const VectorKind kind = vectorKind(loadFrom);
    if (kind != VectorKind::None) {
        if (auto vector = Vector::open(loadFrom, kind)) {
            image = vector->draw(pixelSize(vector->pointSize.width(), vector->pointSize.height(), 1));
            cached->m_vector = vector;
        }
    } else {
        image = QImageReader(loadFrom).read();
    }
    if (image.isNull()) {
        if (!copied)
            pf::warning(QStringLiteral("Could not copy: %1 to %2 because of %3")
                            .arg(source, failedDestination, copyError));
        else
            pf::warning(QStringLiteral("Could not load image %1 (Original:%2)").arg(destination, source));
        // The copy that could not be read is not left behind.
        if (copied)
            QFile::remove(destination);
        return nullptr;
    }
    cached->m_imageURL = destination;
    cached->m_storedImage = image;
    cached->m_isVectorial = cached->m_vector != nullptr;
    cached->m_hasTransparency = cached->m_isVectorial || image.hasAlphaChannel();
    if (!copied)
        cached->writeToDisk();
    return cached;
}

std::shared_ptr<OVCachedImage> OVCachedImage::cachedNSImage(const QImage& image, int strategy)
{
    auto cached = initWithNSImage(image);
    if (cached)
        cached->setCacheStrategy(strategy);
    return cached;
}

std::shared_ptr<OVCachedImage> OVCachedImage::cachedImageFile(const QString& path, int strategy)
{
    auto cached = initWithImageAtURL(path);
    if (cached)
        cached->setCacheStrategy(strategy);
    return cached;
}

QString OVCachedImage::saveURLWithExtension(const QString& extension)
{
    QString path;
    do
        path = QDir::tempPath() + u'/' + pf::randomName(10) + u'.' + extension;
    while (QFileInfo::exists(path));
    return path;
}

void OVCachedImage::writeToDisk()
{
    std::lock_guard lock(m_mutex);
    if (!m_imageURL.isEmpty())
        return;
    const QImage image = nsImage();
    if (image.isNull())
        return;
    const QByteArray format = m_hasTransparency ? "png" : "jpg";
    const QString path = saveURLWithExtension(QString::fromLatin1(format));
    QSaveFile file(path);
    QImageWriter writer(&file, format);
    if (format == "jpg")
        writer.setQuality(95);
    if (!file.open(QIODevice::WriteOnly) || !writer.write(image) || !file.commit()) {
        pf::warning(QStringLiteral("Could not write the image to %1 because %2; it stays in memory")
                        .arg(path, writer.error() != QImageWriter::UnknownError ? writer.errorString()
                                                                                : file.errorString()));
        return;
    }
    m_imageURL = path;
}

bool OVCachedImage::writeToURL(const QString& path, QString* error, QString* writtenPath)
{
    QString diskCopy;
    {
        std::lock_guard lock(m_mutex);
        if (m_imageURL.isEmpty())
            writeToDisk();
        diskCopy = m_imageURL;
    }
    if (diskCopy.isEmpty()) {
        if (error)
            *error = QStringLiteral("The image has no copy on disk to write from.");
        return false;
    }
    // The file keeps the type it has on disk, whatever the extension asked for.
    const QFileInfo target(path);
    const QString baseName = target.completeSuffix().isEmpty()
                                 ? target.fileName()
                                 : target.fileName().chopped(target.suffix().size() + 1);
    const QString destination = target.dir().filePath(baseName + u'.' + QFileInfo(diskCopy).suffix());
    QFile file(diskCopy);
    const bool copied = file.copy(destination);
    if (!copied && error)
        *error = file.errorString();
    if (copied && writtenPath)
        *writtenPath = destination;
    return copied;
}

bool OVCachedImage::isCached() const
{
    std::lock_guard lock(m_mutex);
    return !m_storedImage.isNull();
}

QImage OVCachedImage::storedImage() const
{
    std::lock_guard lock(m_mutex);
    return m_storedImage;
}

QString OVCachedImage::imageURL() const
{
    std::lock_guard lock(m_mutex);
    return m_imageURL;
}

bool OVCachedImage::ensureLoadedLocked()
{
    if (!m_storedImage.isNull())
        return true;
    if (m_vector)
        m_storedImage =
            m_vector->draw(pixelSize(m_vector->pointSize.width(), m_vector->pointSize.height(), 1));
    else if (!m_imageURL.isEmpty())
        m_storedImage = QImageReader(m_imageURL).read();
    if (m_storedImage.isNull()) {
        pf::warning(QStringLiteral("Could not load image %1").arg(m_vector ? m_vector->path : m_imageURL));
        return false;
    }
    return true;
}

QImage OVCachedImage::nsImage()
{
    QImage image;
    {
        std::lock_guard lock(m_mutex);
        ensureLoadedLocked();
        image = m_storedImage;
    }
    restartTimer();
    return image;
}

QImage OVCachedImage::vectorImageAt(QSize pixels) const
{
    QImage image = m_vector->draw(pixels);
    if (image.isNull()) {
        // The file is gone: the memory copy, scaled, is the best there is.
        image = m_storedImage.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

QImage OVCachedImage::cgImage()
{
    std::unique_lock lock(m_mutex);
    if (!m_vector) {
        lock.unlock();
        return nsImage();
    }
    const QSizeF points = m_vector->pointSize;
    const double longer = std::max(points.width(), points.height());
    if (longer >= usefulVectorSide) {
        lock.unlock();
        return nsImage();
    }
    ensureLoadedLocked();
    const QImage image = vectorImageAt(pixelSize(points.width(), points.height(), usefulVectorSide / longer));
    lock.unlock();
    restartTimer();
    return image;
}

pf::Image OVCachedImage::cachedCIImage()
{
    std::lock_guard lock(m_mutex);
    if (m_cachedCIImage.isNull()) {
        const QImage image = cgImage();
        if (!image.isNull())
            m_cachedCIImage = pf::Image::fromQImage(image);
    }
    return m_cachedCIImage;
}

pf::Image OVCachedImage::ciImage()
{
    const pf::Image image = cachedCIImage();
    restartTimer();
    return image;
}

pf::Image OVCachedImage::ciImageForSize(pf::Size size)
{
    std::lock_guard lock(m_mutex);
    const pf::Image kept = cachedCIImage();
    // A size that is not finite asks for nothing the kept image could not give.
    if (!m_vector || kept.isNull() || !std::isfinite(size.width) || !std::isfinite(size.height))
        return kept;
    const pf::Rect extent = kept.extent();
    if (extent.width() >= size.width && extent.height() >= size.height)
        return kept;
    const QSizeF points = m_vector->pointSize;
    const double scale = std::max(size.width / points.width(), size.height / points.height());
    const QImage image = vectorImageAt(pixelSize(points.width(), points.height(), scale));
    return image.isNull() ? kept : pf::Image::fromQImage(image);
}

void OVCachedImage::setCacheStrategy(int strategy)
{
    if (pf::isMainThread()) {
        m_cacheStrategy = strategy;
        updateCacheStrategy();
        return;
    }
    std::weak_ptr<OVCachedImage> weak = weak_from_this();
    pf::runOnMain([weak, strategy] {
        if (auto self = weak.lock()) {
            self->m_cacheStrategy = strategy;
            self->updateCacheStrategy();
        }
    });
}

void OVCachedImage::restartTimer()
{
    if (pf::isMainThread()) {
        updateCacheStrategy();
        return;
    }
    std::weak_ptr<OVCachedImage> weak = weak_from_this();
    pf::runOnMain([weak] {
        if (auto self = weak.lock())
            self->updateCacheStrategy();
    });
}

void OVCachedImage::updateCacheStrategy()
{
    if (m_cacheTimer) {
        m_cacheTimer->invalidate();
        m_cacheTimer.reset();
    }
    const double delay = dropDelay(m_cacheStrategy);
    if (delay < 0)
        return;
    {
        // Without a disk copy the memory copy is the only one.
        std::lock_guard lock(m_mutex);
        if (m_imageURL.isEmpty() && !m_vector)
            return;
    }
    std::weak_ptr<OVCachedImage> weak = weak_from_this();
    m_cacheTimer = pf::Timer::scheduled(delay, false, [weak](pf::Timer&) {
        if (auto self = weak.lock())
            self->cacheTimed();
    });
}

void OVCachedImage::cacheTimed()
{
    std::lock_guard lock(m_mutex);
    m_storedImage = QImage();
    m_cachedCIImage = pf::Image();
}

void OVCachedImage::deleteDiskCopy()
{
    std::lock_guard lock(m_mutex);
    if (m_imageURL.isEmpty())
        return;
    QFile file(m_imageURL);
    if (file.exists() && !file.remove())
        pf::log(
            QStringLiteral("Warning, problem deleting: %1 Error: %2)").arg(m_imageURL, file.errorString()));
    m_imageURL.clear();
}

void OVCachedImage::applicationWillTerminate()
{
    deleteDiskCopy();
}
