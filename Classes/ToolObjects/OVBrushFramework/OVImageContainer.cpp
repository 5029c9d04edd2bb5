#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"

#include "Classes/Framework/ImageFunctions.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/ArchivedObject.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

using namespace pf;

OVImageContainer::OVImageContainer(const Image& image, bool isMonochrome)
    : m_image(image), m_isMonochrome(isMonochrome)
{}

std::shared_ptr<OVImageContainer> OVImageContainer::imageContainerWithImage(const Image& image)
{
    return std::make_shared<OVImageContainer>(image, true);
}

bool OVImageContainer::folderIsReadable(const QString& path, QString* reason)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (reason)
            reason->clear();
        return false;
    }
    if (!info.isDir()) {
        if (reason)
            *reason = QStringLiteral("%1 is not a folder").arg(path);
        return false;
    }
    if (!info.isReadable() || !info.isExecutable()) {
        if (reason)
            *reason = QStringLiteral("%1 cannot be read (permission denied)").arg(path);
        return false;
    }
    return true;
}

std::shared_ptr<OVImageContainer> OVImageContainer::readFromFolder(const QString& folder, QString* problem)
{
    auto container = std::make_shared<OVImageContainer>();
    // Something there that cannot be read is not an empty picture: it is reported, never passed off as one.
    auto fail = [&](const QString& reason) {
        pf::error(QStringLiteral("A mask picture cannot be read: %1").arg(reason));
        if (problem)
            *problem = reason;
        return container;
    };
    QString reason;
    if (!folderIsReadable(folder, &reason))
        return reason.isEmpty() ? container : fail(reason);
    const QString contentPath = folder + QStringLiteral("/content");
    const QString imagePath = folder + QStringLiteral("/image.png");
    if (!QFileInfo::exists(contentPath)) {
        // A picture without its description is damage, not an empty container.
        return QFileInfo::exists(imagePath) ? fail(QStringLiteral("%1 is missing").arg(contentPath))
                                            : container;
    }
    QString error;
    const auto content = PropertyList::fromFile(contentPath, &error);
    if (!content)
        return fail(QStringLiteral("%1: %2").arg(contentPath, error));
    container->m_isMonochrome = content->toMap().value(QStringLiteral("isMonochrome")).toBool();
    if (!QFileInfo::exists(imagePath))
        return fail(QStringLiteral("%1 is missing").arg(imagePath));
    Bitmap bitmap = ImageFile::read(imagePath, &error);
    if (bitmap.isNull())
        return fail(QStringLiteral("%1: %2").arg(imagePath, error));
    container->store(bitmap);
    return container;
}

namespace {

// Whether every pixel of the bitmap is the first one's (float colour pictures: only when all are
// transparent black, the one value a constant colour gives back bit for bit).
bool isUniform(const Bitmap& bitmap)
{
    if (bitmap.isNull())
        return false;
    const size_t bytes = bitmap.byteCount();
    const uint8_t* data = bitmap.data();
    if (bitmap.format() == Bitmap::Format::RGBAf) {
        return std::all_of(data, data + bytes, [](uint8_t b) { return b == 0; });
    }
    const size_t pixel = size_t(Bitmap::bytesPerPixel(bitmap.format()));
    for (size_t at = pixel; at < bytes; at += pixel) {
        if (std::memcmp(data + at, data, pixel) != 0)
            return false;
    }
    return true;
}

} // namespace

void OVImageContainer::store(const Bitmap& pixels)
{
    m_bitmap = Bitmap();
    m_uniformPixel = Bitmap();
    m_uniformWidth = m_uniformHeight = 0;
    const bool colour = Bitmap::hasAlpha(pixels.format());
    if (!isUniform(pixels) || (colour && pixels.format() != Bitmap::Format::RGBAf) ||
        (pixels.width() == 1 && pixels.height() == 1)) {
        m_bitmap = pixels;
        return;
    }
    Bitmap pixel(1, 1, pixels.format(), Bitmap::Fill::Uninitialized);
    if (pixel.isNull()) {
        m_bitmap = pixels;
        return;
    }
    std::memcpy(pixel.mutableData(), pixels.data(), size_t(Bitmap::bytesPerPixel(pixels.format())));
    m_uniformPixel = pixel;
    m_uniformWidth = pixels.width();
    m_uniformHeight = pixels.height();
}

Bitmap OVImageContainer::expandedPixel(const Bitmap& pixel, int width, int height)
{
    Bitmap whole(width, height, pixel.format(), Bitmap::Fill::Uninitialized);
    if (whole.isNull())
        return whole;
    const size_t size = size_t(Bitmap::bytesPerPixel(whole.format()));
    uint8_t* data = whole.mutableData();
    const size_t bytes = whole.byteCount();
    for (size_t at = 0; at < bytes; at += size)
        std::memcpy(data + at, pixel.data(), size);
    return whole;
}

bool OVImageContainer::isMonochrome() const
{
    std::lock_guard lock(m_mutex);
    return m_isMonochrome;
}

void OVImageContainer::setImage(const Image& image)
{
    std::lock_guard lock(m_mutex);
    m_bitmap = Bitmap();
    m_uniformPixel = Bitmap();
    m_image = image;
    ++m_generation;
}

void OVImageContainer::replacePendingImage(const Image& image)
{
    std::lock_guard lock(m_mutex);
    if (!image.isNull() && !m_image.isNull() && !hasStoredPixels())
        m_image = image;
}

void OVImageContainer::setBlank(const Size& size)
{
    std::lock_guard lock(m_mutex);
    ++m_generation;
    m_image = Image();
    m_bitmap = Bitmap();
    m_uniformPixel = Bitmap();
    m_uniformWidth = m_uniformHeight = 0;
    const int width = int(std::round(size.width)), height = int(std::round(size.height));
    if (width <= 0 || height <= 0)
        return;
    m_uniformPixel =
        Bitmap(1, 1, m_isMonochrome ? Bitmap::Format::Gray16 : Bitmap::Format::RGBAf, Bitmap::Fill::Zero);
    m_uniformWidth = width;
    m_uniformHeight = height;
}

Image OVImageContainer::image() const
{
    std::lock_guard lock(m_mutex);
    if (m_image.isNull() && !m_bitmap.isNull())
        m_image = Image::fromBitmap(m_bitmap);
    if (m_image.isNull() && !m_uniformPixel.isNull()) {
        // The one value everywhere: renders read no pixels for it at all.
        float rgba[4];
        m_uniformPixel.pixel(0, 0, rgba);
        const Color colour = rgba[3] > 0
                                 ? Color(rgba[0] / rgba[3], rgba[1] / rgba[3], rgba[2] / rgba[3], rgba[3])
                                 : Color(0, 0, 0, 0);
        m_image =
            Image::constantColor(colour).imageByCroppingToRect(Rect(0, 0, m_uniformWidth, m_uniformHeight));
    }
    return m_image;
}

bool OVImageContainer::isEmpty() const
{
    std::lock_guard lock(m_mutex);
    return m_image.isNull() && !hasStoredPixels();
}

Size OVImageContainer::size() const
{
    std::lock_guard lock(m_mutex);
    if (!m_bitmap.isNull())
        return Size(m_bitmap.width(), m_bitmap.height());
    if (!m_uniformPixel.isNull())
        return Size(m_uniformWidth, m_uniformHeight);
    if (!m_image.isNull() && !m_image.extent().isNull() && !m_image.extent().isInfinite())
        return Size(m_image.extent().width(), m_image.extent().height());
    return Size();
}

namespace {

// Pictures are made into stored pixels on a context of their own: a flush in the background (a mask
// snapshot being written, a save) must never keep a brush or a display waiting on theirs.
RenderContext& storingContext()
{
    // Never destroyed, like the shared context: a GL context must not be torn down at exit.
    static auto* context =
        new std::shared_ptr<RenderContext>(std::make_shared<RenderContext>(QStringLiteral("mask storing")));
    return **context;
}

} // namespace

bool OVImageContainer::flush(QString* errorMessage)
{
    // One flush at a time renders; readers of the picture (image(), size()) never wait for a render.
    std::lock_guard flushing(m_flushMutex);
    for (;;) {
        Image pending;
        quint64 generation = 0;
        bool monochrome = true;
        {
            std::lock_guard lock(m_mutex);
            if (m_image.isNull())
                return true;
            if (hasStoredPixels()) {
                m_image = Image();
                return true;
            }
            pending = m_image;
            generation = m_generation;
            monochrome = m_isMonochrome;
        }
        // The picture's extent, drawn at the origin (masks grey without alpha, colour with alpha).
        const Rect extent = pending.extent();
        if (extent.isInfinite()) {
            if (errorMessage)
                *errorMessage = QStringLiteral("a picture without bounds cannot be stored as pixels");
            return false;
        }
        std::optional<Bitmap> rendered;
        if (!extent.isNull() && !extent.isEmpty()) {
            const Rect pixels = extent.integral();
            const Image atOrigin = pending.imageByApplyingTransform(
                AffineTransform::translation(-pixels.minX(), -pixels.minY()));
            // Masks keep the 16 bits they are written with: what is saved and read back is what is
            // shown now, in half the memory of floats.
            rendered = storingContext().render(atOrigin, Rect(0, 0, pixels.width(), pixels.height()),
                                               monochrome ? Bitmap::Format::Gray16 : Bitmap::Format::RGBAf,
                                               RenderContext::Reuse::Discard);
            if (!rendered) {
                // Keep the recipe: dropping it would lose the picture and later read as an empty mask.
                if (errorMessage)
                    *errorMessage = QStringLiteral("the picture of %1 x %2 pixels could not be rendered")
                                        .arg(pixels.width())
                                        .arg(pixels.height());
                return false;
            }
        }
        std::lock_guard lock(m_mutex);
        if (m_generation != generation)
            continue; // a new picture was set meanwhile: that one is what must become pixels
        if (rendered)
            store(*rendered);
        m_image = Image();
        return true;
    }
}

Bitmap OVImageContainer::bitmap() const
{
    Bitmap stored, pixel;
    int width = 0, height = 0;
    {
        std::lock_guard lock(m_mutex);
        stored = m_bitmap;
        pixel = m_uniformPixel;
        width = m_uniformWidth;
        height = m_uniformHeight;
    }
    return stored.isNull() && !pixel.isNull() ? expandedPixel(pixel, width, height) : stored;
}

bool OVImageContainer::writeToFolder(const QString& folder, QString* errorMessage)
{
    // Flushed first; the pixels are then encoded and written without holding the picture, so that the
    // interface can read it meanwhile. A picture replaced between the two is flushed again.
    Bitmap stored;
    bool monochrome = true;
    for (;;) {
        QString flushError;
        if (!flush(&flushError)) {
            if (errorMessage)
                *errorMessage = QStringLiteral("%1 was not written: %2").arg(folder, flushError);
            return false;
        }
        std::lock_guard lock(m_mutex);
        if (!m_image.isNull() && !hasStoredPixels())
            continue;
        monochrome = m_isMonochrome;
        break;
    }
    stored = bitmap();
    if (stored.isNull()) {
        // Nothing to write: a folder left by an earlier write would read back as this picture.
        if (QFileInfo::exists(folder)) {
            const QString parent = QFileInfo(folder).absolutePath();
            if (!FileSystem::removeRecursively(folder, parent, errorMessage))
                return false;
        }
        return true;
    }
    if (!FileSystem::createDirectory(folder, errorMessage))
        return false;
    const auto content = PropertyList::toData(QVariantMap{{QStringLiteral("isMonochrome"), monochrome}},
                                              PropertyList::Format::Xml, errorMessage);
    if (!content ||
        !FileSystem::writeFileAtomically(folder + QStringLiteral("/content"), *content, errorMessage))
        return false;
    return ImageFile::writePNG(stored, folder + QStringLiteral("/image.png"), 16, errorMessage);
}

Image OVImageContainer::imageWithRect(const Rect& rect, const Size& size) const
{
    const Image picture = image();
    if (picture.isNull())
        return Image();
    return cropAndScaleImage(picture, rect, size.width, size.height);
}

std::shared_ptr<OVImageContainer> OVImageContainer::scaleUpToSize(const Size& size) const
{
    const Image picture = image();
    auto container = std::make_shared<OVImageContainer>(Image(), isMonochrome());
    if (!picture.isNull())
        container->setImage(scaleImageToSizeLanczos(picture, size.width, size.height));
    return container;
}

std::shared_ptr<OVImageContainer>
OVImageContainer::scaleAndPlaceImageWithRect(const Rect& rect, const OVImageContainer& background) const
{
    const Image picture = image();
    auto container = std::make_shared<OVImageContainer>(Image(), isMonochrome());
    if (!picture.isNull())
        container->setImage(
            ORVExtension::fixedImage(placeImageOnBackground(picture, background.image(), rect)));
    return container;
}

namespace {

// The picture of an archived container: PNG data as this program writes it, or, from older archives,
// a bitmap object whose data field holds an image file (TIFF).
Bitmap bitmapFromArchive(const QVariant& value)
{
    QByteArray data;
    if (value.metaType().id() == QMetaType::QByteArray) {
        data = value.toByteArray();
    } else if (value.metaType() == QMetaType::fromType<ArchivedObject>()) {
        const ArchivedObject object = value.value<ArchivedObject>();
        for (auto it = object.fields.begin(); it != object.fields.end(); ++it) {
            if (it.value().metaType().id() == QMetaType::QByteArray) {
                data = it.value().toByteArray();
                break;
            }
        }
    }
    return data.isEmpty() ? Bitmap() : ImageFile::readData(data);
}

} // namespace

void OVImageContainer::registerArchiveClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ArchiveClassRegistry::registerClass<OVImageContainerPtr>(
            QStringLiteral("OVImageContainer"), {QStringLiteral("NSObject")},
            [](const OVImageContainerPtr& container, KeyedArchiver& archiver) {
                QString error;
                if (!container->flush(&error)) {
                    archiver.failWithError(
                        QStringLiteral("A mask picture cannot be archived: %1").arg(error));
                    return;
                }
                const Bitmap bitmap = container->bitmap();
                if (!bitmap.isNull())
                    archiver.encodeObject(QStringLiteral("image"), ImageFile::encodePNG(bitmap, 16));
                archiver.encodeBool(QStringLiteral("isMonochrome"), container->isMonochrome());
            },
            [](KeyedUnarchiver& unarchiver) {
                auto container = std::make_shared<OVImageContainer>(
                    Image(), unarchiver.decodeBool(QStringLiteral("isMonochrome")));
                if (unarchiver.containsValueForKey(QStringLiteral("image"))) {
                    const Bitmap bitmap = bitmapFromArchive(unarchiver.decodeObject(QStringLiteral("image")));
                    if (bitmap.isNull())
                        pf::warning(
                            QStringLiteral("An archived mask picture cannot be decoded; the mask is empty"));
                    container->store(bitmap);
                }
                return container;
            });
        ArchiveClassRegistry::registerClass<OVContentContainerPtr>(
            QStringLiteral("OVContentContainer"), {QStringLiteral("NSObject")},
            [](const OVContentContainerPtr& container, KeyedArchiver& archiver) {
                archiver.encodeObject(QStringLiteral("imageContainer"),
                                      QVariant::fromValue(container->imageContainer()));
                archiver.encodeObject(QStringLiteral("additionalImageContainer"),
                                      QVariant::fromValue(container->additionalImageContainer()));
            },
            [](KeyedUnarchiver& unarchiver) {
                return std::make_shared<OVContentContainer>(
                    unarchiver.decodeObjectOfType<OVImageContainerPtr>(QStringLiteral("imageContainer")),
                    unarchiver.decodeObjectOfType<OVImageContainerPtr>(
                        QStringLiteral("additionalImageContainer")));
            });
    });
}
