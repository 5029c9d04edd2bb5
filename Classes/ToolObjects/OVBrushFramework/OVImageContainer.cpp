#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"

#include "Classes/Framework/ImageFunctions.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVPNGWriter.h"
#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/ArchivedObject.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

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
    Bitmap bitmap = ImageFile::readWritten(imagePath, &error);
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
    // Row by row against a row of the first pixel: a mask of a large photo is compared in long runs.
    const size_t pixel = size_t(Bitmap::bytesPerPixel(bitmap.format()));
    const size_t rowBytes = size_t(bitmap.width()) * pixel;
    std::vector<uint8_t> first(rowBytes);
    for (size_t at = 0; at < rowBytes; at += pixel)
        std::memcpy(first.data() + at, data, pixel);
    for (int y = 0; y < bitmap.height(); ++y)
        if (std::memcmp(bitmap.row(y), first.data(), rowBytes) != 0)
            return false;
    return true;
}

// The rows and columns of a float colour bitmap that hold anything but transparent black (top-down
// rows); null when none does.
Rect paintedPart(const Bitmap& bitmap)
{
    const size_t pixelBytes = size_t(Bitmap::bytesPerPixel(bitmap.format()));
    int left = bitmap.width(), right = -1, top = -1, bottom = -1;
    for (int y = 0; y < bitmap.height(); ++y) {
        const uint8_t* row = bitmap.row(y);
        const size_t bytes = size_t(bitmap.width()) * pixelBytes;
        const uint8_t* first = std::find_if(row, row + bytes, [](uint8_t b) { return b != 0; });
        if (first == row + bytes)
            continue;
        const uint8_t* last = row + bytes - 1;
        while (*last == 0)
            --last;
        left = std::min(left, int(size_t(first - row) / pixelBytes));
        right = std::max(right, int(size_t(last - row) / pixelBytes));
        if (top < 0)
            top = y;
        bottom = y;
    }
    return right < 0 ? Rect::null() : Rect(left, top, right - left + 1, bottom - top + 1);
}

// Copies `from` into `to` (of the same size and format) in bands on all cores: a mask of a large photo
// is tens of megabytes of new memory, whose pages one thread alone would take long to touch.
void copyInBands(const Bitmap& from, Bitmap& to)
{
    const size_t rowBytes = from.bytesPerRow();
    const uint8_t* source = from.data();
    uint8_t* target = to.mutableData();
    CpuRendering::inBands(from.height(), [&](int begin, int end) {
        std::memcpy(target + rowBytes * size_t(begin), source + rowBytes * size_t(begin),
                    rowBytes * size_t(end - begin));
    });
}

} // namespace

void OVImageContainer::store(const Bitmap& given, const Point& givenOrigin, const Size& givenFrame)
{
    Bitmap pixels = given;
    Point origin = givenOrigin;
    Size frame = givenFrame;
    if (pixels.format() == Bitmap::Format::RGBAf && !pixels.isNull()) {
        // A colour picture painted in a small part of it (healed spots read back from a folder) keeps
        // that part only.
        const Rect part = paintedPart(pixels);
        if (!part.isNull() && part.width() * part.height() * 2 < double(pixels.width()) * pixels.height()) {
            Bitmap cut(int(part.width()), int(part.height()), pixels.format(), Bitmap::Fill::Uninitialized);
            if (!cut.isNull()) {
                const size_t pixelBytes = size_t(Bitmap::bytesPerPixel(pixels.format()));
                for (int y = 0; y < cut.height(); ++y)
                    std::memcpy(cut.mutableRow(y),
                                pixels.row(int(part.minY()) + y) + size_t(part.minX()) * pixelBytes,
                                size_t(cut.width()) * pixelBytes);
                if (!(frame.width > 0))
                    frame = Size(pixels.width(), pixels.height());
                // The part's origin, y up, in the frame.
                origin = Point(origin.x + part.minX(), origin.y + (pixels.height() - part.maxY()));
                pixels = cut;
            }
        }
    }

    m_bitmap = Bitmap();
    m_uniformPixel = Bitmap();
    m_uniformWidth = m_uniformHeight = 0;
    m_origin = Point();
    m_frame = Size();
    const bool partial =
        frame.width > 0 && frame.height > 0 && !pixels.isNull() &&
        (origin.x != 0 || origin.y != 0 || frame.width != pixels.width() || frame.height != pixels.height());
    const bool colour = Bitmap::hasAlpha(pixels.format());
    // Only transparent black, the value outside a part, makes a part one value for its whole frame.
    if (!isUniform(pixels) || (colour && pixels.format() != Bitmap::Format::RGBAf) ||
        (partial && pixels.format() != Bitmap::Format::RGBAf) ||
        (!partial && pixels.width() == 1 && pixels.height() == 1)) {
        m_bitmap = pixels;
        if (partial) {
            m_origin = origin;
            m_frame = frame;
        }
        return;
    }
    Bitmap pixel(1, 1, pixels.format(), Bitmap::Fill::Uninitialized);
    if (pixel.isNull()) {
        m_bitmap = pixels;
        return;
    }
    std::memcpy(pixel.mutableData(), pixels.data(), size_t(Bitmap::bytesPerPixel(pixels.format())));
    m_uniformPixel = pixel;
    m_uniformWidth = partial ? int(frame.width) : pixels.width();
    m_uniformHeight = partial ? int(frame.height) : pixels.height();
}

Bitmap OVImageContainer::expandedPixel(const Bitmap& pixel, int width, int height)
{
    Bitmap whole(width, height, pixel.format(), Bitmap::Fill::Uninitialized);
    if (whole.isNull())
        return whole;
    const size_t size = size_t(Bitmap::bytesPerPixel(whole.format()));
    const size_t rowBytes = whole.bytesPerRow();
    std::vector<uint8_t> line(rowBytes);
    for (size_t at = 0; at < rowBytes; at += size)
        std::memcpy(line.data() + at, pixel.data(), size);
    // A mask of a large photo is tens of megabytes of new memory: its pages are first touched on all
    // cores, not by one thread.
    uint8_t* data = whole.mutableData();
    CpuRendering::inBands(height, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            std::memcpy(data + rowBytes * size_t(y), line.data(), rowBytes);
    });
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
    m_origin = Point();
    m_frame = Size();
    m_uniformPixel = Bitmap();
    m_image = image;
    m_patchBase.reset();
    ++m_generation;
}

void OVImageContainer::setImageOverStored(const Image& image, std::shared_ptr<const OVImageContainer> base,
                                          const Rect& changed, bool replacing)
{
    std::lock_guard lock(m_mutex);
    if (replacing && (image.isNull() || m_image.isNull() || hasStoredPixels()))
        return;
    if (!replacing) {
        m_bitmap = Bitmap();
        m_origin = Point();
        m_frame = Size();
        m_uniformPixel = Bitmap();
        ++m_generation;
    }
    m_image = image;
    m_patchBase = std::move(base);
    m_patchRect = changed;
}

std::optional<std::pair<std::shared_ptr<const OVImageContainer>, Rect>> OVImageContainer::patchOver() const
{
    std::lock_guard lock(m_mutex);
    if (!m_patchBase || m_image.isNull())
        return std::nullopt;
    return std::pair(m_patchBase, m_patchRect);
}

bool OVImageContainer::isStored() const
{
    std::lock_guard lock(m_mutex);
    return m_image.isNull() ? hasStoredPixels() : hasStoredPixels() && m_patchBase == nullptr;
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
    m_patchBase.reset();
    m_bitmap = Bitmap();
    m_origin = Point();
    m_frame = Size();
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

Image OVImageContainer::storedImage() const
{
    if (!m_bitmap.isNull()) {
        const Image pixels = Image::fromBitmap(m_bitmap);
        if (!(m_frame.width > 0))
            return pixels;
        // A part of a transparent frame: defined where the part is, the frame's size as its extent.
        return framedImage(
            pixels.imageByApplyingTransform(AffineTransform::translation(m_origin.x, m_origin.y)),
            Rect(m_origin, Size(m_bitmap.width(), m_bitmap.height())),
            Rect(0, 0, m_frame.width, m_frame.height));
    }
    if (m_uniformPixel.isNull())
        return Image();
    // The one value everywhere: renders read no pixels for it at all.
    float rgba[4];
    m_uniformPixel.pixel(0, 0, rgba);
    const Rect frame(0, 0, m_uniformWidth, m_uniformHeight);
    if (!(rgba[3] > 0) && Bitmap::hasAlpha(m_uniformPixel.format()))
        return transparentFrame(frame); // nothing defined: composites over it stay as small as they are
    const Color colour = rgba[3] > 0 ? Color(rgba[0] / rgba[3], rgba[1] / rgba[3], rgba[2] / rgba[3], rgba[3])
                                     : Color(0, 0, 0, 0);
    return Image::constantColor(colour).imageByCroppingToRect(frame);
}

Image OVImageContainer::image() const
{
    std::lock_guard lock(m_mutex);
    if (m_image.isNull())
        m_image = storedImage();
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
    if (!m_bitmap.isNull() && m_frame.width > 0)
        return m_frame;
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

// Makes the container's folder and its "content" description, before the picture is written into it.
bool makeFolderWithContent(const QString& folder, bool monochrome, QString* errorMessage)
{
    if (!FileSystem::createDirectory(folder, errorMessage))
        return false;
    const auto content = PropertyList::toData(QVariantMap{{QStringLiteral("isMonochrome"), monochrome}},
                                              PropertyList::Format::Xml, errorMessage);
    return content &&
           FileSystem::writeFileAtomically(folder + QStringLiteral("/content"), *content, errorMessage);
}

} // namespace

bool OVImageContainer::storedColourPart(Bitmap* part, Point* origin, Size* frame) const
{
    std::lock_guard lock(m_mutex);
    if (!m_bitmap.isNull() && m_frame.width > 0 && m_bitmap.format() == Bitmap::Format::RGBAf) {
        *part = m_bitmap;
        *origin = m_origin;
        *frame = m_frame;
        return true;
    }
    if (m_bitmap.isNull() && !m_uniformPixel.isNull() && m_uniformPixel.format() == Bitmap::Format::RGBAf) {
        const auto* value = reinterpret_cast<const float*>(m_uniformPixel.data());
        if (value[0] != 0 || value[1] != 0 || value[2] != 0 || value[3] != 0)
            return false;
        *part = Bitmap();
        *origin = Point();
        *frame = Size(m_uniformWidth, m_uniformHeight);
        return true;
    }
    return false;
}

std::optional<OVImageContainer::Patched> OVImageContainer::patchedPixels(const Image& pending,
                                                                         const OVImageContainer& base,
                                                                         const Rect& changed, bool monochrome)
{
    const Bitmap::Format format = monochrome ? Bitmap::Format::Gray16 : Bitmap::Format::RGBAf;
    const Rect extent = pending.extent();
    if (!base.isStored() || extent.isNull() || extent.isInfinite() || extent.minX() != 0 ||
        extent.minY() != 0)
        return std::nullopt;
    const Rect frame = extent.integral();
    Bitmap basePart;
    Point baseOrigin;
    Size baseFrame;
    if (!monochrome && base.storedColourPart(&basePart, &baseOrigin, &baseFrame) && baseFrame == frame.size) {
        // A healed layer keeps its spots, not its frame: the new part is the old one grown by where the
        // picture changed, and nothing of the frame's size is made (y up throughout, rows top down).
        const Rect had = basePart.isNull()
                             ? Rect::null()
                             : Rect(baseOrigin.x, baseOrigin.y, basePart.width(), basePart.height());
        const Rect landed = changed.integral().intersected(frame);
        const bool lands = !landed.isNull() && !landed.isEmpty();
        const Rect want =
            had.isNull() ? (lands ? landed : Rect(0, 0, 1, 1)) : (lands ? had.united(landed) : had);
        Bitmap result(int(want.width()), int(want.height()), format, Bitmap::Fill::Zero);
        if (result.isNull())
            return std::nullopt;
        const size_t pixelBytes = size_t(Bitmap::bytesPerPixel(format));
        auto place = [&](const Bitmap& pixels, const Rect& at) {
            const int top = int(want.maxY() - at.maxY());
            const size_t left = size_t(at.minX() - want.minX()) * pixelBytes;
            for (int y = 0; y < pixels.height(); ++y)
                std::memcpy(result.mutableRow(top + y) + left, pixels.row(y),
                            size_t(pixels.width()) * pixelBytes);
        };
        if (!basePart.isNull())
            place(basePart, had);
        if (lands) {
            const auto rendered =
                storingContext().render(pending, landed, format, RenderContext::Reuse::Discard);
            if (!rendered)
                return std::nullopt;
            place(*rendered, landed);
        }
        return Patched{result, want.origin, frame.size};
    }
    bool expanded = false; // base is one value: bitmap() makes new pixels, which become the result's
    {
        std::lock_guard lock(base.m_mutex);
        expanded = base.m_bitmap.isNull();
    }
    Bitmap below = base.bitmap();
    if (below.isNull() || below.format() != format || below.width() != int(frame.width()) ||
        below.height() != int(frame.height()))
        return std::nullopt;
    Bitmap result;
    if (expanded) {
        result = std::move(below);
    } else {
        result = Bitmap(below.width(), below.height(), format, Bitmap::Fill::Uninitialized);
        if (result.isNull())
            return std::nullopt;
        copyInBands(below, result);
    }
    const Rect part = changed.integral().intersected(frame);
    if (part.isNull() || part.isEmpty())
        return Patched{result, Point(), Size()};
    const auto rendered = storingContext().render(pending, part, format, RenderContext::Reuse::Discard);
    if (!rendered)
        return std::nullopt;
    const size_t pixelBytes = size_t(Bitmap::bytesPerPixel(format));
    const int top = result.height() - int(part.maxY());
    for (int y = 0; y < rendered->height(); ++y)
        std::memcpy(result.mutableRow(top + y) + size_t(part.minX()) * pixelBytes, rendered->row(y),
                    size_t(rendered->width()) * pixelBytes);
    return Patched{result, Point(), Size()};
}

bool OVImageContainer::flush(QString* errorMessage)
{
    // One flush at a time renders; readers of the picture (image(), size()) never wait for a render.
    std::lock_guard flushing(m_flushMutex);
    for (;;) {
        Image pending;
        quint64 generation = 0;
        bool monochrome = true;
        std::shared_ptr<const OVImageContainer> patchBase;
        Rect patchRect;
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
            patchBase = m_patchBase;
            patchRect = m_patchRect;
        }
        if (patchBase) {
            // Only where the stroke landed is rendered; the rest are the pixels it was placed onto.
            if (const std::optional<Patched> patched =
                    patchedPixels(pending, *patchBase, patchRect, monochrome)) {
                std::lock_guard lock(m_mutex);
                if (m_generation != generation)
                    continue;
                store(patched->pixels, patched->origin, patched->frame);
                m_image = Image();
                m_patchBase.reset();
                return true;
            }
        }
        // The picture's extent, drawn at the origin (masks grey without alpha, colour with alpha).
        const Rect extent = pending.extent();
        if (extent.isInfinite()) {
            if (errorMessage)
                *errorMessage = QStringLiteral("a picture without bounds cannot be stored as pixels");
            return false;
        }
        std::optional<Bitmap> rendered;
        Point origin;
        Size frame;
        if (!extent.isNull() && !extent.isEmpty()) {
            const Rect pixels = extent.integral();
            // A colour picture is transparent outside where it is defined: only that part is rendered
            // and kept (a healed spot on a large photo is not a picture of the photo's size).
            Rect part(0, 0, pixels.width(), pixels.height());
            const Rect domain = pending.definition().extent();
            if (!monochrome && !domain.isInfinite()) {
                frame = part.size;
                part = domain.offsetBy(-pixels.minX(), -pixels.minY()).integral().intersected(part);
                if (part.isNull() || part.isEmpty())
                    part = Rect(0, 0, 1, 1); // nothing defined: one transparent pixel stands for all
                origin = part.origin;
            }
            const Image atOrigin = pending.imageByApplyingTransform(
                AffineTransform::translation(-pixels.minX(), -pixels.minY()));
            // Masks keep the 16 bits they are written with: what is saved and read back is what is
            // shown now, in half the memory of floats.
            rendered = storingContext().render(atOrigin, part,
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
            store(*rendered, origin, frame);
        m_image = Image();
        return true;
    }
}

Bitmap OVImageContainer::bitmap() const
{
    Bitmap stored, pixel;
    int width = 0, height = 0;
    Point origin;
    Size frame;
    {
        std::lock_guard lock(m_mutex);
        stored = m_bitmap;
        pixel = m_uniformPixel;
        width = m_uniformWidth;
        height = m_uniformHeight;
        origin = m_origin;
        frame = m_frame;
    }
    if (stored.isNull())
        return pixel.isNull() ? stored : expandedPixel(pixel, width, height);
    if (!(frame.width > 0))
        return stored;
    // A part: laid into its transparent frame (rows top down, the part's origin y up).
    Bitmap whole(int(frame.width), int(frame.height), stored.format(), Bitmap::Fill::Zero);
    if (whole.isNull())
        return whole;
    const size_t pixelBytes = size_t(Bitmap::bytesPerPixel(stored.format()));
    const int top = int(frame.height) - int(origin.y) - stored.height();
    for (int y = 0; y < stored.height(); ++y)
        std::memcpy(whole.mutableRow(top + y) + size_t(origin.x) * pixelBytes, stored.row(y),
                    size_t(stored.width()) * pixelBytes);
    return whole;
}

bool OVImageContainer::writeFramedPNG(const Bitmap& part, const Point& origin, const Size& frame,
                                      const QString& path, QString* errorMessage)
{
    const int width = int(frame.width), height = int(frame.height);
    const int top = height - int(origin.y) - part.height();
    const int left = int(origin.x);
    auto channel = [](float v) { return quint16(std::lround(std::clamp(v, 0.0f, 1.0f) * 65535.0f)); };
    QString error;
    const auto png = OVPNGWriter::encode16(
        width, height, false,
        [&](int y, quint16* line) {
            std::fill(line, line + size_t(width) * 4, quint16(0));
            if (y < top || y >= top + part.height())
                return;
            for (int x = 0; x < part.width(); ++x) {
                float rgba[4];
                part.pixel(x, y - top, rgba); // premultiplied; the file holds straight colour
                const float a = rgba[3];
                if (!(a > 0))
                    continue;
                quint16* out = line + size_t(left + x) * 4;
                out[0] = channel(rgba[0] / a);
                out[1] = channel(rgba[1] / a);
                out[2] = channel(rgba[2] / a);
                out[3] = channel(a);
            }
        },
        &error, [&](int y) { return y < top || y >= top + part.height(); });
    if (!png) {
        if (errorMessage)
            *errorMessage = QStringLiteral("The image could not be encoded as PNG: %1").arg(error);
        return false;
    }
    return FileSystem::writeFileAtomically(path, *png, errorMessage);
}

bool OVImageContainer::writeUniformPNG(const Bitmap& pixel, int width, int height, const QString& path,
                                       QString* errorMessage)
{
    const bool grey = pixel.format() == Bitmap::Format::Gray16;
    quint16 value[4] = {0, 0, 0, 0};
    if (grey) {
        std::memcpy(value, pixel.row(0), sizeof(quint16));
    } else {
        float rgba[4];
        pixel.pixel(0, 0, rgba); // premultiplied; the file holds straight colour
        const float a = rgba[3];
        const auto channel = [](float v) {
            return quint16(std::lround(std::clamp(v, 0.0f, 1.0f) * 65535.0f));
        };
        if (a > 0)
            for (int c = 0; c < 4; ++c)
                value[c] = channel(c == 3 ? a : rgba[c] / a);
    }
    const int channels = grey ? 1 : 4;
    const bool zero = std::all_of(value, value + channels, [](quint16 v) { return v == 0; });
    QString error;
    const auto png = OVPNGWriter::encode16(
        width, height, grey,
        [&](int, quint16* line) {
            for (size_t x = 0; x < size_t(width); ++x)
                std::memcpy(line + x * size_t(channels), value, sizeof(quint16) * size_t(channels));
        },
        &error, [zero](int) { return zero; });
    if (!png) {
        if (errorMessage)
            *errorMessage = QStringLiteral("The image could not be encoded as PNG: %1").arg(error);
        return false;
    }
    return FileSystem::writeFileAtomically(path, *png, errorMessage);
}

bool OVImageContainer::writeGreyPNG(const Bitmap& pixels, const QString& path, QString* errorMessage)
{
    QString error;
    const size_t bytes = size_t(pixels.width()) * sizeof(quint16);
    // Most rows of a mask are unpainted: rows of zeros are told as such, so that the writer compresses
    // a band of them once instead of copying, summing and deflating every one.
    const auto png = OVPNGWriter::encode16(
        pixels.width(), pixels.height(), true,
        [&](int y, quint16* line) { std::memcpy(line, pixels.row(y), bytes); }, &error,
        [&](int y) {
            const uint8_t* row = pixels.row(y);
            return row[0] == 0 && std::memcmp(row, row + 1, bytes - 1) == 0;
        });
    if (!png) {
        if (errorMessage)
            *errorMessage = QStringLiteral("The image could not be encoded as PNG: %1").arg(error);
        return false;
    }
    return FileSystem::writeFileAtomically(path, *png, errorMessage);
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
    // A colour picture kept as a part of its frame is written from that part, straight into the 16-bit
    // picture of the whole frame the folder holds, quickly compressed: its transparent rest costs neither
    // a float copy of the frame nor time to squeeze.
    Bitmap part;
    Point origin;
    Size frame;
    {
        std::lock_guard lock(m_mutex);
        if (m_frame.width > 0 && m_bitmap.format() == Bitmap::Format::RGBAf) {
            part = m_bitmap;
            origin = m_origin;
            frame = m_frame;
        }
    }
    if (!part.isNull()) {
        if (!makeFolderWithContent(folder, monochrome, errorMessage))
            return false;
        return writeFramedPNG(part, origin, frame, folder + QStringLiteral("/image.png"), errorMessage);
    }
    // One value over the whole picture (a layer not painted yet, a mask filled): written from that value,
    // never laid out at the photo's size first.
    Bitmap pixel;
    int uniformWidth = 0, uniformHeight = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_bitmap.isNull() && !m_uniformPixel.isNull()) {
            pixel = m_uniformPixel;
            uniformWidth = m_uniformWidth;
            uniformHeight = m_uniformHeight;
        }
    }
    if (!pixel.isNull() && uniformWidth > 0 && uniformHeight > 0 &&
        (pixel.format() == Bitmap::Format::Gray16 || pixel.format() == Bitmap::Format::RGBAf)) {
        if (!makeFolderWithContent(folder, monochrome, errorMessage))
            return false;
        return writeUniformPNG(pixel, uniformWidth, uniformHeight, folder + QStringLiteral("/image.png"),
                               errorMessage);
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
    if (!makeFolderWithContent(folder, monochrome, errorMessage))
        return false;
    if (stored.format() == Bitmap::Format::Gray16)
        return writeGreyPNG(stored, folder + QStringLiteral("/image.png"), errorMessage);
    // A colour picture of the whole frame (a healing layer's, mostly transparent) goes the same quick
    // way as a part: the general encoder took seconds over a large photo's transparent rows, and the
    // documents kept by closing and quitting wait for this write.
    if (stored.format() == Bitmap::Format::RGBAf)
        return writeFramedPNG(stored, Point(), Size(stored.width(), stored.height()),
                              folder + QStringLiteral("/image.png"), errorMessage);
    return ImageFile::writePNG(stored, folder + QStringLiteral("/image.png"), 16, errorMessage);
}

namespace {

// A stroke not stored yet is shown reduced from its pixels at full size up to this many of them.
constexpr double MaxViewedStroke = 4096.0 * 4096.0;

// A view of much of a picture: smaller than half its size on both axes, not turned.
bool reducesStrongly(const AffineTransform& t)
{
    return t.b == 0 && t.c == 0 && t.a > 0 && t.d > 0 && t.a < 0.5 && t.d < 0.5;
}

} // namespace

std::optional<Bitmap> OVImageContainer::viewedStoredPixels(const AffineTransform& transform,
                                                           const Rect& region, RenderContext& context) const
{
    Bitmap stored, uniform;
    Point origin;
    {
        std::lock_guard lock(m_mutex);
        if (!m_bitmap.isNull()) {
            stored = m_bitmap;
            origin = m_frame.width > 0 ? m_origin : Point();
        } else {
            uniform = m_uniformPixel;
        }
    }
    if (!stored.isNull()) {
        // The mean of the pixels each output pixel covers, read where they lie (no render of the picture).
        const Image placed = Image::fromBitmap(stored).imageByApplyingTransform(
            AffineTransform::translation(origin.x, origin.y).concatenated(transform));
        return context.render(placed, region, Bitmap::Format::RGBAf, RenderContext::Reuse::Discard);
    }
    if (uniform.isNull())
        return std::nullopt;
    // One value everywhere: the caller cuts it to the picture's extent.
    float rgba[4];
    uniform.pixel(0, 0, rgba);
    Bitmap pixels(int(region.width()), int(region.height()), Bitmap::Format::RGBAf,
                  Bitmap::Fill::Uninitialized);
    if (pixels.isNull())
        return std::nullopt;
    for (int y = 0; y < pixels.height(); ++y) {
        auto* row = reinterpret_cast<float*>(pixels.mutableRow(y));
        for (int x = 0; x < pixels.width(); ++x)
            std::memcpy(row + size_t(x) * 4, rgba, sizeof rgba);
    }
    return pixels;
}

Image OVImageContainer::viewedImage(const AffineTransform& transform, const Rect& crop,
                                    RenderContext& context) const
{
    const Image picture = image();
    if (picture.isNull())
        return Image();
    const Image viewed = picture.imageByApplyingTransform(transform).imageByCroppingToRect(crop);
    const Rect extent = viewed.extent();
    if (!reducesStrongly(transform) || extent.isNull() || extent.isEmpty() || extent.isInfinite())
        return viewed;
    Image pending;
    std::shared_ptr<const OVImageContainer> base;
    Rect changed;
    {
        std::lock_guard lock(m_mutex);
        if (!hasStoredPixels()) {
            pending = m_image;
            base = m_patchBase;
            changed = m_patchRect;
        }
    }
    const Rect region = extent.integral();
    std::optional<Bitmap> pixels;
    if (pending.isNull()) {
        pixels = viewedStoredPixels(transform, region, context);
    } else if (!base && !pending.definition().extent().isInfinite()) {
        // A first stroke on a picture with nothing stored (a layer's first healed spot): transparent
        // outside where it is defined, so only that part is rendered, as over stored pixels below. Read
        // reduced as a recipe, it would make passes of the whole view.
        changed = pending.definition().extent();
        pixels = Bitmap(int(region.width()), int(region.height()), Bitmap::Format::RGBAf);
        if (pixels->isNull())
            pixels.reset();
    } else if (base) {
        pixels = changed.isNull() || changed.isInfinite()
                     ? std::nullopt
                     : base->viewedStoredPixels(transform, region, context);
    }
    if (!pending.isNull() && pixels) {
        // A stroke not stored yet: the pixels it was placed onto, and the stroke's own part (with a pixel
        // around it, where the reduction reaches) rendered over them.
        const Rect part = changed.isNull()
                              ? Rect::null()
                              : transform.map(changed).integral().insetBy(-1, -1).intersected(region);
        if (!part.isNull() && !part.isEmpty()) {
            // The stroke at full size under that part (a small one, on the CPU), then averaged as the
            // stored pixels are: a reduced read of the recipe would make passes of all of it.
            const Rect source =
                transform.inverted().map(part).integral().intersected(pending.extent()).integral();
            std::optional<Bitmap> stroke;
            if (!source.isNull() && !source.isEmpty() &&
                source.width() * source.height() <= MaxViewedStroke) {
                const auto full =
                    context.render(pending, source, Bitmap::Format::RGBAf, RenderContext::Reuse::Discard);
                if (full)
                    stroke = context.render(Image::fromBitmap(*full).imageByApplyingTransform(
                                                AffineTransform::translation(source.minX(), source.minY())
                                                    .concatenated(transform)),
                                            part, Bitmap::Format::RGBAf, RenderContext::Reuse::Discard);
            } else {
                stroke = context.render(pending.imageByApplyingTransform(transform), part,
                                        Bitmap::Format::RGBAf, RenderContext::Reuse::Discard);
            }
            if (!stroke)
                return viewed;
            const int top = int(region.maxY() - part.maxY());
            const size_t left = size_t(part.minX() - region.minX()) * 16;
            for (int y = 0; y < stroke->height(); ++y)
                std::memcpy(pixels->mutableRow(top + y) + left, stroke->row(y), stroke->bytesPerRow());
        }
    }
    if (!pixels)
        return viewed;
    return Image::fromBitmap(*pixels)
        .imageByApplyingTransform(AffineTransform::translation(region.minX(), region.minY()))
        .imageByCroppingToRect(extent);
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
