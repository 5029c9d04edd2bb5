#include "Classes/Document/GMPhotoFile.h"

#include "Classes/Document/GMChainRenderer.h"
#include "Classes/Document/GMExif.h"
#include "Classes/Document/GMJPEGBlocks.h"
#include "Classes/Document/GMPaintedRegion.h"
#include "Classes/Document/GMPhotoEncoder.h"
#include "Classes/Document/GMTIFFLayout.h"
#include "Classes/Document/GMTIFFWriter.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/ColourConversion.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/InkProfile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <webp/decode.h>

namespace {

// The luminance table that quality scaling starts from (its sum is all the estimate needs).
constexpr int standardLuminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                       14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                       18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                       49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

// The metadata of a JPEG may be long (an EXIF thumbnail, a profile); what lies before its first scan
// is read, never the scan itself.
constexpr qint64 headerLimit = qint64(4) << 20;

// The most an EXIF block may take in a JPEG's segment (its name "Exif" and two zeros go before it).
constexpr qint64 exifLimit = 65533 - 6;

QImage applied(QImage image, QImageIOHandler::Transformations steps, bool inverse)
{
    // Reading mirrors, then flips, then turns by 90°; undoing goes the other way round.
    const auto mirror = [&] {
        if (steps & QImageIOHandler::TransformationMirror)
            image = image.mirrored(true, false);
        if (steps & QImageIOHandler::TransformationFlip)
            image = image.mirrored(false, true);
    };
    const auto turn = [&] {
        if (steps & QImageIOHandler::TransformationRotate90)
            image = image.transformed(QTransform().rotate(inverse ? 270 : 90));
    };
    if (inverse) {
        turn();
        mirror();
    } else {
        mirror();
        turn();
    }
    return image;
}

QImage::Format writtenFormat(const GMPhotoFile::Kind& kind)
{
    const bool wide = kind.bitsPerComponent > 8 && kind.format != "jpeg";
    // Qt writes no grey with alpha: such a picture keeps its alpha as colours with alpha.
    if (kind.grey && !kind.hasAlpha)
        return wide ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
    if (kind.hasAlpha && kind.format != "jpeg")
        return wide ? QImage::Format_RGBA64 : QImage::Format_ARGB32;
    if (kind.format == "jpeg")
        return QImage::Format_RGB888;
    return wide ? QImage::Format_RGBX64 : QImage::Format_RGB32;
}

// Premultiplied float pixels as straight ones (Qt's own conversion from premultiplied float loses
// precision and clamps); a clear pixel has no colour.
QImage straightFloat(const pf::Bitmap& picture)
{
    const pf::Bitmap rgba = picture.converted(pf::Bitmap::Format::RGBAf);
    QImage image(rgba.width(), rgba.height(), QImage::Format_RGBA32FPx4);
    for (int y = 0; y < rgba.height(); ++y) {
        const auto* src = reinterpret_cast<const float*>(rgba.row(y));
        auto* dst = reinterpret_cast<float*>(image.scanLine(y));
        for (int x = 0; x < rgba.width(); ++x) {
            const float a = src[4 * x + 3];
            for (int c = 0; c < 3; ++c)
                dst[4 * x + c] = a > 0 ? src[4 * x + c] / a : 0.0f;
            dst[4 * x + 3] = a;
        }
    }
    return image;
}

// The orientation tag's number (1..8) of the turn reading applies.
int tiffOrientation(QImageIOHandler::Transformations turn)
{
    using T = QImageIOHandler;
    const std::pair<QImageIOHandler::Transformations, int> numbers[] = {
        {T::TransformationMirror, 2},   {T::TransformationRotate180, 3},
        {T::TransformationFlip, 4},     {T::TransformationFlipAndRotate90, 5},
        {T::TransformationRotate90, 6}, {T::TransformationMirrorAndRotate90, 7},
        {T::TransformationRotate270, 8}};
    for (const auto& [transformation, number] : numbers)
        if (turn == transformation)
            return number;
    return 1;
}

// A part of a bitmap (rows top down), copied.
pf::Bitmap cropped(const pf::Bitmap& bitmap, const QRect& rect)
{
    if (rect == QRect(0, 0, bitmap.width(), bitmap.height()))
        return bitmap;
    pf::Bitmap part(rect.width(), rect.height(), bitmap.format(), pf::Bitmap::Fill::Uninitialized);
    const size_t pixel = size_t(pf::Bitmap::bytesPerPixel(bitmap.format()));
    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(part.mutableRow(y), bitmap.row(rect.y() + y) + size_t(rect.x()) * pixel,
                    size_t(rect.width()) * pixel);
    return part;
}

// The retouched picture as the file stores it: a part at a time, turned back as its orientation says,
// converted back into its colours, straight. Parts are asked for only where the layers painted.
class Retouched
{
public:
    Retouched(const pf::Bitmap& picture, const GMPhotoFile::Kind& kind) : m_picture(picture), m_kind(kind)
    {
        m_converts = kind.colorSpace.isValid() && kind.colorSpace != QColorSpace(QColorSpace::SRgb);
        m_float =
            picture.format() == pf::Bitmap::Format::RGBAf || picture.format() == pf::Bitmap::Format::Grayf;
        if (m_converts && m_float)
            m_back = std::make_unique<pf::ColourConversion>(QByteArray(), kind.colorSpace.iccProfile());
        const bool turned = kind.orientation & QImageIOHandler::TransformationRotate90;
        m_stored =
            turned ? QSize(picture.height(), picture.width()) : QSize(picture.width(), picture.height());
    }
    QSize storedSize() const { return m_stored; }

    // The stored rectangle's pixels in `format` (RGBA8888, RGBA64 or RGBA32FPx4, straight).
    QImage part(const QRect& stored, QImage::Format format) const
    {
        const QRect upright = GMPaintedRegion::uprightRect(stored, m_stored, m_kind.orientation);
        const pf::Bitmap piece = cropped(m_picture, upright);
        QImage image;
        if (m_float) {
            // Float pixels (a photo of more than 8 bits, translucent or outside sRGB) are converted while
            // they are float, and rounded to the file's depth only at the end.
            image = straightFloat(piece);
            if (m_back && m_back->isValid()) {
                for (int y = 0; y < image.height(); ++y)
                    m_back->apply(reinterpret_cast<float*>(image.scanLine(y)), image.width());
            } else if (m_converts) {
                image.setColorSpace(QColorSpace(QColorSpace::SRgb));
                image.convertToColorSpace(m_kind.colorSpace);
            }
            image.setColorSpace(QColorSpace());
            image = image.convertToFormat(format);
        } else {
            const bool wide = format != QImage::Format_RGBA8888;
            image = piece.toQImage();
            image.setColorSpace(QColorSpace(QColorSpace::SRgb));
            image = image.convertToFormat(wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
            if (m_converts)
                image.convertToColorSpace(m_kind.colorSpace);
            image.setColorSpace(QColorSpace());
            image = image.convertToFormat(format);
        }
        return applied(std::move(image), m_kind.orientation, true);
    }

private:
    const pf::Bitmap& m_picture;
    const GMPhotoFile::Kind& m_kind;
    bool m_converts = false;
    bool m_float = false;
    std::unique_ptr<pf::ColourConversion> m_back;
    QSize m_stored;
};

// The original file's own stored values, as the file being written stores its pixels (turned as its
// orientation says), straight, in `format`. Null when they cannot be read so.
QImage originalStored(const QByteArray& original, const GMPhotoFile::Kind& base,
                      const GMPhotoFile::Kind& kind, QImage::Format format)
{
    QImage image;
    if (base.format == "webp") {
        // Decoded by the library itself: straight, the colour under clear pixels too.
        int width = 0, height = 0;
        uint8_t* rgba = WebPDecodeRGBA(reinterpret_cast<const uint8_t*>(original.constData()),
                                       size_t(original.size()), &width, &height);
        if (!rgba)
            return {};
        image = QImage(rgba, width, height, width * 4, QImage::Format_RGBA8888).copy();
        WebPFree(rgba);
    } else {
        QBuffer buffer;
        buffer.setData(original);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAutoTransform(false);
        image = reader.read();
    }
    if (image.isNull())
        return {};
    image.setColorSpace(QColorSpace());
    image = image.convertToFormat(format);
    image = applied(std::move(image), base.orientation, false);
    return applied(std::move(image), kind.orientation, true);
}

// The retouched colours put over the original's stored values wherever the layers painted; alpha stays
// the original's (no retouch changes what is transparent), and so does the colour of a clear pixel.
void spliceRetouched(QImage& image, const GMPaintedRegion& painted, const Retouched& retouched)
{
    constexpr int bandRows = 64;
    const bool wide = image.format() == QImage::Format_RGBA64;
    for (int top = 0; top < image.height(); top += bandRows) {
        const QRect band(0, top, image.width(), std::min(bandRows, image.height() - top));
        if (!painted.intersects(band))
            continue;
        const QImage part = retouched.part(band, image.format());
        for (int y = 0; y < band.height(); ++y) {
            uchar* row = image.scanLine(top + y);
            const uchar* from = part.constScanLine(y);
            for (int x = 0; x < band.width(); ++x) {
                if (!painted.contains(x, top + y))
                    continue;
                if (wide) {
                    auto* p = reinterpret_cast<quint16*>(row) + 4 * x;
                    if (p[3] != 0)
                        std::copy_n(reinterpret_cast<const quint16*>(from) + 4 * x, 3, p);
                } else if (row[4 * x + 3] != 0) {
                    std::copy_n(from + 4 * x, 3, row + 4 * x);
                }
            }
        }
    }
}

// A thumbnail of the saved picture for its EXIF: fitted into the old one's size, stored turned as the
// picture is, small enough for its place.
QByteArray thumbnailOf(const pf::Bitmap& picture, QImageIOHandler::Transformations orientation, QSize size,
                       qint64 maxBytes)
{
    const bool turned = orientation & QImageIOHandler::TransformationRotate90;
    const QSize box = turned ? size.transposed() : size;
    const pf::Bitmap small = GMChainRenderer::fittedInside(picture, std::max(box.width(), box.height()));
    QImage image = small.toQImage().convertToFormat(QImage::Format_RGB888);
    image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image = applied(std::move(image), orientation, true);
    for (const int quality : {85, 70, 50, 30}) {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(quality);
        if (writer.write(image) && data.size() <= maxBytes)
            return data;
    }
    return {};
}

// The colour stored under the pixels that are clear both in `image` and in the file (as stored: not
// turned, not converted), put back: the pixels do not show it, but it is the user's data all the same.
void keepClearColours(QImage& image, const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    if (reader.size() != image.size())
        return;
    QImage stored = reader.read();
    if (stored.isNull())
        return;
    stored = stored.convertToFormat(image.format());
    const bool wide = image.depth() > 32;
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = image.scanLine(y);
        const uchar* from = stored.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (wide) {
                auto* p = reinterpret_cast<quint16*>(row) + 4 * x;
                const auto* q = reinterpret_cast<const quint16*>(from) + 4 * x;
                if (p[3] == 0 && q[3] == 0)
                    std::copy(q, q + 3, p);
            } else if (row[4 * x + 3] == 0 && from[4 * x + 3] == 0) {
                std::copy(from + 4 * x, from + 4 * x + 3, row + 4 * x);
            }
        }
    }
}

QByteArray write(const QImage& image, const QByteArray& format, int quality, QString* errorMessage,
                 bool compressed = false)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality > 0)
        writer.setQuality(quality);
    if (compressed)
        writer.setCompression(1); // the lossless compression the writer has (LZW for a TIFF)
    if (!writer.write(image)) {
        if (errorMessage)
            *errorMessage = QStringLiteral("The picture cannot be encoded as %1: %2")
                                .arg(QString::fromLatin1(format.toUpper()), writer.errorString());
        return {};
    }
    return data;
}

} // namespace

namespace {

quint32 bigEndian32(const uchar* d)
{
    return (quint32(d[0]) << 24) | (quint32(d[1]) << 16) | (quint32(d[2]) << 8) | d[3];
}

quint32 littleEndian32(const uchar* d)
{
    return (quint32(d[3]) << 24) | (quint32(d[2]) << 16) | (quint32(d[1]) << 8) | d[0];
}

// A JPEG's frame (components and their sampling) and its Adobe marker (inks inverted, YCCK).
void readJPEGLayout(const QByteArray& data, const std::vector<GMJPEGSegments::Segment>& segments,
                    GMPhotoFile::Kind& kind)
{
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    for (const GMJPEGSegments::Segment& s : segments) {
        const bool frame = (s.marker >= 0xC0 && s.marker <= 0xCF) && s.marker != 0xC4 && s.marker != 0xC8 &&
                           s.marker != 0xCC;
        if (frame && kind.jpegSampling.empty() && s.end - s.start >= 10) {
            const int components = d[s.start + 9];
            if (s.start + 10 + 3 * components > s.end)
                continue;
            for (int c = 0; c < components; ++c) {
                const uchar factors = d[s.start + 10 + 3 * c + 1];
                kind.jpegSampling.emplace_back(factors >> 4, factors & 0x0F);
                kind.jpegTableOfComponent.push_back(d[s.start + 10 + 3 * c + 2]);
            }
            kind.progressive = s.marker == 0xC2 || s.marker == 0xC6 || s.marker == 0xCA || s.marker == 0xCE;
            kind.cmyk = components == 4;
        } else if (s.marker == 0xDB) {
            // One or more tables: precision and number, then 64 values in zigzag order.
            static constexpr int natural[64] = {
                0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
            for (qint64 i = s.start + 4; i < s.end;) {
                const int width = (d[i] >> 4) ? 2 : 1;
                if (i + 1 + 64 * width > s.end)
                    break;
                std::array<quint16, 64> table{};
                for (int k = 0; k < 64; ++k) {
                    const qint64 at = i + 1 + k * width;
                    table[size_t(natural[k])] = quint16(width == 2 ? (d[at] << 8) | d[at + 1] : d[at]);
                }
                kind.jpegTables[d[i] & 0x0F] = table;
                i += 1 + 64 * width;
            }
        } else if (s.marker == 0xEE && s.end - s.start >= 16 && data.mid(s.start + 4, 5) == "Adobe") {
            kind.adobeTransform = d[s.start + 15];
        }
    }
}

// A PNG's layout from its header, and whether it names a transparent colour (a palette's alpha, or a
// grey level or colour that is clear): the reader's image format cannot tell either.
void readPNGLayout(const QByteArray& data, GMPhotoFile::Kind& kind)
{
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    if (data.size() < 33 || data.mid(12, 4) != "IHDR")
        return;
    const int depth = d[24], colourType = d[25];
    kind.bitsPerComponent = depth == 16 ? 16 : 8;
    kind.grey = colourType == 0 || colourType == 4;
    kind.hasAlpha = colourType == 4 || colourType == 6;
    for (qint64 i = 8; i + 12 <= data.size();) {
        const quint32 length = bigEndian32(d + i);
        const QByteArray type = data.mid(i + 4, 4);
        if (type == "IDAT" || type == "IEND" || length > quint32(data.size()))
            break;
        if (type == "tRNS")
            kind.hasAlpha = true;
        i += 12 + qint64(length);
    }
}

// A WebP's encoding (lossless or not), transparency, profile and metadata chunks, from its RIFF chunks.
void readWebPLayout(const QByteArray& data, GMPhotoFile::Kind& kind)
{
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    if (data.size() < 16 || !data.startsWith("RIFF") || data.mid(8, 4) != "WEBP")
        return;
    int frames = 0;
    for (qint64 i = 12; i + 8 <= data.size();) {
        const QByteArray type = data.mid(i, 4);
        const qint64 length = littleEndian32(d + i + 4);
        const qint64 next = i + 8 + length + (length & 1);
        if (i + 8 + length > data.size())
            break;
        if (type == "VP8L") {
            kind.lossless = true;
            // The header's bit 28 (after the signature byte and the 14-bit sizes) says alpha is used.
            if (length >= 5 && (d[i + 8 + 4] & 0x10))
                kind.hasAlpha = true;
        } else if (type == "VP8X" && length >= 1) {
            kind.hasAlpha = d[i + 8] & 0x10;
        } else if (type == "ALPH") {
            kind.hasAlpha = true;
        } else if (type == "ICCP") {
            kind.iccProfile = data.mid(i + 8, length);
        } else if (type == "EXIF" || type == "XMP ") {
            kind.webpMetadata += data.mid(i, next - i);
            QByteArray block = data.mid(i + 8, length);
            // Some writers put the JPEG segment's "Exif" name before the block.
            if (type == "EXIF" && block.startsWith(QByteArray("Exif\0\0", 6)))
                block = block.mid(6);
            (type == "EXIF" ? kind.exif : kind.xmp) = block;
        } else if (type == "ANMF") {
            ++frames;
        }
        i = next;
    }
    kind.pages = std::max(1, frames);
}

} // namespace

namespace {

GMPhotoFile::Kind inspectDevice(QIODevice* device, const std::function<QByteArray()>& header,
                                const QString& name)
{
    GMPhotoFile::Kind kind;
    QImageReader reader(device);
    kind.format = reader.format();
    if (kind.format.isEmpty())
        return {};
    // A damaged header may give any number for the format (Qt's table would be read past its end).
    QImage::Format format = reader.imageFormat();
    if (format <= QImage::Format_Invalid || format >= QImage::NImageFormats)
        format = QImage::Format_RGB32;
    const QPixelFormat pixel = QImage::toPixelFormat(format);
    kind.hasAlpha = pixel.alphaUsage() == QPixelFormat::UsesAlpha;
    kind.grey = format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16 ||
                format == QImage::Format_Mono || format == QImage::Format_MonoLSB;
    kind.bitsPerComponent = format == QImage::Format_Grayscale16 || pixel.bitsPerPixel() >= 48 ? 16 : 8;
    kind.orientation = reader.transformation();
    kind.pages = std::max(1, reader.imageCount());
    if (kind.format == "jpeg") {
        const QByteArray data = header();
        const std::vector<GMJPEGSegments::Segment> segments = GMJPEGSegments::header(data);
        for (const GMJPEGSegments::Segment& s : segments)
            if (GMJPEGSegments::isMetadata(s.marker))
                kind.jpegMetadata += data.mid(s.start, s.end - s.start);
        kind.iccProfile = GMJPEGSegments::profile(data, segments);
        kind.exif = GMJPEGSegments::exif(data, segments);
        kind.xmp = GMJPEGSegments::xmp(data, segments);
        kind.colorSpace =
            kind.iccProfile.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(kind.iccProfile);
        kind.jpegQuality = GMPhotoFile::estimateJPEGQuality(data);
        readJPEGLayout(data, segments, kind);
        // The pictures a multi-picture index names after the first (a depth map, a preview) stand after
        // its end, read from where the index says.
        kind.jpegAttachments = GMJPEGSegments::attachments(data, [device](qint64 at, qint64 size) {
            return device->seek(at) ? device->read(size) : QByteArray();
        });
        kind.pages = 1;
    } else if (kind.format == "png") {
        const QByteArray head = header();
        readPNGLayout(head, kind);
        kind.orientation = pf::ImageFile::orientation(head);
        kind.pngChunks = GMPNGChunks::read(device, name);
        kind.colorSpace = GMPNGChunks::colorSpace(kind.pngChunks);
        kind.exif = GMPNGChunks::exif(kind.pngChunks);
        kind.xmp = GMPNGChunks::xmp(kind.pngChunks);
    } else if (kind.format == "webp") {
        readWebPLayout(header(), kind);
        kind.colorSpace =
            kind.iccProfile.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(kind.iccProfile);
    } else if (kind.format == "tiff") {
        device->seek(0);
        GMTIFFLayout::read(device, kind);
    }
    if (kind.format == "tiff" && kind.cmyk)
        kind.refusal = QStringLiteral("“%1” stores its colours as inks (CMYK), which this application cannot "
                                      "write back into a TIFF.")
                           .arg(name);
    // A TIFF whose first page is written back in place keeps its other pages.
    else if (kind.pages > 1 && !(kind.format == "tiff" && kind.tiffRewritable))
        kind.refusal = QStringLiteral("“%1” holds %2 pictures; saving over it would keep only the first.")
                           .arg(name)
                           .arg(kind.pages);
    else if (!QImageWriter::supportedImageFormats().contains(kind.format))
        kind.refusal = QStringLiteral("“%1” is a %2 image, which this application cannot write.")
                           .arg(name, QString::fromLatin1(kind.format.toUpper()));
    return kind;
}

} // namespace

GMPhotoFile::Kind GMPhotoFile::inspect(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return inspectDevice(
        &file,
        [&] {
            // A JPEG's metadata and tables come before its pixels.
            file.seek(0);
            return file.read(headerLimit);
        },
        QFileInfo(path).fileName());
}

GMPhotoFile::Kind GMPhotoFile::inspectData(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return inspectDevice(
        &buffer, [&] { return data; }, QStringLiteral("the picture"));
}

int GMPhotoFile::estimateJPEGQuality(const QByteArray& data)
{
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    for (const GMJPEGSegments::Segment& s : GMJPEGSegments::header(data)) {
        if (s.marker != 0xDB)
            continue;
        // A DQT segment holds one or more tables: a byte of precision and number, then 64 values.
        qint64 i = s.start + 4;
        while (i < s.end) {
            const int precision = d[i] >> 4, number = d[i] & 0x0F;
            const int width = precision ? 2 : 1;
            if (i + 1 + 64 * width > s.end)
                break;
            if (number == 0) {
                double sum = 0, standard = 0;
                for (int k = 0; k < 64; ++k) {
                    const qint64 at = i + 1 + k * width;
                    sum += width == 2 ? (d[at] << 8) | d[at + 1] : d[at];
                    standard += standardLuminance[k];
                }
                // Quality q scales the standard table by 5000/q below 50 and by 200 - 2q above.
                const double scale = 100.0 * sum / standard;
                const double quality = scale <= 100 ? (200 - scale) / 2 : 5000 / scale;
                return std::clamp(int(std::ceil(quality - 0.25)), 1, 100);
            }
            i += 1 + 64 * width;
        }
    }
    return -1;
}

GMPhotoFile::Kind GMPhotoFile::forCopy(const Kind& kind, const QByteArray& format)
{
    if (!kind.isValid() || kind.format != format)
        return {};
    // A new file holds the one picture edited (a TIFF written back in place keeps its pages); inks a
    // TIFF cannot be written with become colours.
    Kind copy = kind;
    copy.pages = 1;
    copy.refusal.clear();
    if (copy.format == "tiff" && copy.cmyk) {
        copy.cmyk = false;
        copy.iccProfile.clear();
        copy.tiffRewritable = false;
    }
    return copy;
}

GMPhotoFile::Kind GMPhotoFile::forExport(const Kind& kind, const QByteArray& format)
{
    if (!kind.isValid() || kind.format == format)
        return forCopy(kind, format);
    Kind out;
    out.format = format;
    out.madeFromAnother = true;
    const bool deep = format == "png" || format == "tiff";
    out.hasAlpha = kind.hasAlpha && format != "jpeg";
    out.grey = kind.grey && (deep || format == "jpeg");
    out.floatingPoint = kind.floatingPoint && format == "tiff";
    out.bitsPerComponent = out.floatingPoint ? 32 : deep ? std::min(kind.bitsPerComponent, 16) : 8;
    // A profile of colours goes with them; inks are written as sRGB colours.
    if (!kind.cmyk && kind.colorSpace.isValid() && format != "bmp") {
        out.colorSpace = kind.colorSpace;
        out.iccProfile = kind.iccProfile.isEmpty() ? kind.colorSpace.iccProfile() : kind.iccProfile;
    }
    out.exif = kind.exif;
    out.xmp = kind.xmp;
    out.jpegQuality = kind.jpegQuality;
    // A photo stored without loss stays so where the format can.
    out.lossless = format == "webp" && (kind.format != "jpeg" && !(kind.format == "webp" && !kind.lossless));
    out.compressed = format == "tiff";
    out.tiffCompression = 5; // LZW
    out.tiffPredictor = 1;
    return out;
}

QByteArray GMPhotoFile::encode(const pf::Bitmap& picture, const Kind& kind, QString* errorMessage,
                               const Source& source)
{
    if (picture.isNull() || !kind.isValid()) {
        if (errorMessage)
            *errorMessage = QStringLiteral("There is no picture to write.");
        return {};
    }
    const Retouched retouched(picture, kind);
    const QSize storedSize = retouched.storedSize();
    const QRect whole(QPoint(), storedSize);
    const GMPaintedRegion* painted = source.painted && source.painted->width() == picture.width() &&
                                             source.painted->height() == picture.height()
                                         ? source.painted
                                         : nullptr;
    const Kind base = source.original.isEmpty() ? Kind() : inspectData(source.original);
    const bool alpha = kind.hasAlpha && kind.format != "jpeg";
    const bool floats = kind.floatingPoint && kind.format == "tiff";
    const bool wide = kind.bitsPerComponent > 8 && kind.format != "jpeg";
    const QImage::Format format = floats ? QImage::Format_RGBA32FPx4
                                  : wide ? QImage::Format_RGBA64
                                         : QImage::Format_RGBA8888;

    // The EXIF block as it is true of the new file: its thumbnail made from the saved picture; for a
    // file of another kind, stored upright at the picture's size.
    const auto mendedExif = [&](const QByteArray& block) {
        QByteArray mended = block;
        if (kind.madeFromAnother)
            mended = GMExif::withPixelSize(GMExif::withOrientation(mended, 1),
                                           QSize(picture.width(), picture.height()));
        return GMExif::withThumbnail(
            mended,
            [&](QSize size, qint64 maxBytes) {
                return thumbnailOf(picture, kind.orientation, size, maxBytes);
            },
            exifLimit);
    };

    if (kind.format == "jpeg") {
        QByteArray encoded;
        // The blocks no layer touched are the original's own, where the original is this JPEG's kind.
        if (painted && base.format == "jpeg" && !kind.madeFromAnother &&
            base.orientation == kind.orientation && base.jpegSampling == kind.jpegSampling &&
            base.cmyk == kind.cmyk && base.grey == kind.grey && base.adobeTransform == kind.adobeTransform) {
            const pf::InkProfile inks(kind.cmyk ? base.iccProfile : QByteArray());
            QString error;
            encoded = GMJPEGBlocks::write(
                source.original, painted->stored(kind.orientation),
                [&](const QRect& rect) {
                    return retouched.part(rect,
                                          kind.cmyk ? QImage::Format_RGBA32FPx4 : QImage::Format_RGBA8888);
                },
                kind.cmyk ? &inks : nullptr, base.adobeTransform >= 0, &error);
            if (encoded.isEmpty())
                pf::warning(QStringLiteral("%1; the whole picture is encoded again").arg(error));
        }
        if (encoded.isEmpty()) {
            const int quality = kind.jpegQuality > 0 ? kind.jpegQuality : defaultJPEGQuality;
            encoded = GMPhotoEncoder::jpeg(retouched.part(whole, QImage::Format_RGBA8888), kind, quality,
                                           errorMessage);
            if (encoded.isEmpty())
                return {};
        }
        // The profile and the rest of the metadata go in as the file had them, not as the encoder makes
        // them; the pictures its index names after this one follow it, but for previews of the old one.
        const QByteArray metadata =
            kind.madeFromAnother
                ? GMJPEGSegments::metadataSegments(kind.exif.isEmpty() ? QByteArray() : mendedExif(kind.exif),
                                                   kind.xmp, kind.grey ? QByteArray() : kind.iccProfile)
                : GMJPEGSegments::withExif(kind.jpegMetadata, mendedExif);
        const QByteArray out = metadata.isEmpty() ? encoded : GMJPEGSegments::withMetadata(encoded, metadata);
        if (kind.madeFromAnother)
            return out;
        std::vector<GMJPEGSegments::Attachment> kept;
        for (const GMJPEGSegments::Attachment& attachment : kind.jpegAttachments)
            if (!GMJPEGSegments::isPreview(attachment))
                kept.push_back(attachment);
        return GMJPEGSegments::withAttachments(out, kept);
    }

    if (kind.format == "tiff" && painted && base.format == "tiff" && !kind.madeFromAnother && !kind.cmyk &&
        !base.cmyk && base.tiffRewritable && kind.tiffRewritable && base.orientation == kind.orientation &&
        base.bitsPerComponent == kind.bitsPerComponent && base.floatingPoint == kind.floatingPoint &&
        base.grey == kind.grey && base.hasAlpha == kind.hasAlpha) {
        // Written back in place: every strip no layer touched, every tag and page, as they were.
        QString error;
        const QByteArray out = GMTIFFWriter::patched(
            source.original, painted->stored(kind.orientation),
            [&](const QRect& rect) { return retouched.part(rect, format); }, &error);
        if (!out.isEmpty())
            return out;
        pf::warning(QStringLiteral("%1; the picture is written as a new TIFF").arg(error));
    }
    if (kind.format == "tiff" && kind.pages > 1) {
        if (errorMessage)
            *errorMessage =
                QStringLiteral("The TIFF holds %1 pictures, and writing it anew would keep only the "
                               "first.")
                    .arg(kind.pages);
        return {};
    }

    // The original's own stored values wherever no layer painted, where its pixels are stored as this
    // file's are (a lossy coding changes them anyway).
    QImage image;
    const bool lossy = kind.format == "webp" && !kind.lossless;
    if (painted && base.isValid() && !lossy && !floats && !base.floatingPoint && !base.cmyk &&
        base.bitsPerComponent == kind.bitsPerComponent && base.colorSpace == kind.colorSpace) {
        image = originalStored(source.original, base, kind, format);
        if (image.size() == storedSize)
            spliceRetouched(image, painted->stored(kind.orientation), retouched);
        else
            image = QImage();
    }
    if (image.isNull()) {
        image = retouched.part(whole, format);
        if (alpha && !floats && !source.file.isEmpty() && !kind.madeFromAnother)
            keepClearColours(image, source.file);
    }

    if (kind.format == "png") {
        const QByteArray encoded = GMPhotoEncoder::png(image, kind.grey, alpha, errorMessage);
        // The original's chunks say what its colours are, and what else it told, not the encoder's.
        const GMPNGChunks::Kept chunks =
            kind.madeFromAnother
                ? GMPNGChunks::metadata(kind.iccProfile,
                                        kind.exif.isEmpty() ? QByteArray() : mendedExif(kind.exif), kind.xmp)
                : GMPNGChunks::withExif(kind.pngChunks, mendedExif);
        return encoded.isEmpty() || !chunks.isValid() ? encoded : GMPNGChunks::merged(encoded, chunks);
    }
    if (kind.format == "webp") {
        const int quality = kind.lossless ? 100 : defaultWebPQuality;
        QByteArray metadata;
        const auto chunk = [](const char* type, const QByteArray& data) {
            QByteArray c(type, 4);
            for (int i = 0; i < 4; ++i)
                c.append(char((quint32(data.size()) >> (8 * i)) & 0xFF));
            return c + data + (data.size() % 2 ? QByteArray(1, '\0') : QByteArray());
        };
        if (kind.madeFromAnother) {
            if (!kind.exif.isEmpty())
                metadata += chunk("EXIF", mendedExif(kind.exif));
            if (!kind.xmp.isEmpty())
                metadata += chunk("XMP ", kind.xmp);
        } else {
            // The file's own chunks, its EXIF's thumbnail made anew.
            const QByteArray& own = kind.webpMetadata;
            for (qsizetype i = 0; i + 8 <= own.size();) {
                const QByteArray type = own.mid(i, 4);
                const qsizetype length = qsizetype(uchar(own[i + 4])) | (qsizetype(uchar(own[i + 5])) << 8) |
                                         (qsizetype(uchar(own[i + 6])) << 16) |
                                         (qsizetype(uchar(own[i + 7])) << 24);
                if (length < 0 || i + 8 + length > own.size())
                    break;
                QByteArray data = own.mid(i + 8, length);
                if (type == "EXIF") {
                    const QByteArray prefix =
                        data.startsWith(QByteArray("Exif\0\0", 6)) ? data.left(6) : QByteArray();
                    const QByteArray mended = mendedExif(data.mid(prefix.size()));
                    data = mended.isEmpty() ? QByteArray() : prefix + mended;
                }
                if (!data.isEmpty())
                    metadata += chunk(type.constData(), data);
                i += 8 + length + (length & 1);
            }
        }
        return GMPhotoEncoder::webp(image, kind.lossless, alpha, quality, kind.iccProfile, metadata,
                                    errorMessage);
    }
    if (kind.format == "tiff") {
        GMTIFFWriter::Options options;
        options.grey = kind.grey;
        options.alpha = alpha;
        options.associatedAlpha = kind.associatedAlpha;
        options.floatingPoint = floats;
        options.bits = kind.bitsPerComponent;
        options.compression = kind.tiffCompression > 0 ? kind.tiffCompression : kind.compressed ? 5 : 1;
        options.predictor = kind.tiffPredictor;
        options.jpegQuality = kind.jpegQuality > 0 ? kind.jpegQuality : 90;
        options.iccProfile = kind.iccProfile;
        options.xmp = kind.madeFromAnother ? kind.xmp : QByteArray();
        // Its descriptive tags from the original where that is a TIFF, else from the file as it is.
        if (!kind.madeFromAnother) {
            if (base.format == "tiff")
                options.tagsFrom = source.original;
            else if (QFile file(source.file); !source.file.isEmpty() && file.open(QIODevice::ReadOnly))
                options.tagsFrom = file.readAll();
        }
        options.orientation = kind.madeFromAnother ? 1 : tiffOrientation(kind.orientation);
        return GMTIFFWriter::written(image, options, errorMessage);
    }
    if (kind.format == "bmp") {
        // Its resolution as the photo's file told it (72 dots an inch where it tells none).
        const QByteArray& own = base.format == "bmp" ? source.original : QByteArray();
        const auto le32 = [&](int at) {
            return int(uchar(own[at])) | (int(uchar(own[at + 1])) << 8) | (int(uchar(own[at + 2])) << 16) |
                   (int(uchar(own[at + 3])) << 24);
        };
        const bool told = own.size() >= 46 && le32(14) >= 40 && le32(38) > 0 && le32(42) > 0;
        return GMPhotoEncoder::bmp(image, alpha, told ? QSize(le32(38), le32(42)) : QSize(2835, 2835));
    }
    image = image.convertToFormat(writtenFormat(kind));
    // A profile goes in as the file's own bytes, and none where it had none.
    image.setColorSpace(kind.iccProfile.isEmpty() ? QColorSpace()
                                                  : QColorSpace::fromIccProfile(kind.iccProfile));
    return write(image, kind.format, -1, errorMessage, kind.compressed);
}

QByteArray GMPhotoFile::encode(const pf::Bitmap& picture, const Kind& kind, QString* errorMessage)
{
    return encode(picture, kind, errorMessage, Source());
}

QByteArray GMPhotoFile::losslessOriginal(const pf::Bitmap& decoded, const QByteArray& fileBytes)
{
    if (!fileBytes.isEmpty())
        return fileBytes;
    if (decoded.isNull())
        return {};
    const bool wide = decoded.format() == pf::Bitmap::Format::RGBAf ||
                      decoded.format() == pf::Bitmap::Format::Gray16 ||
                      decoded.format() == pf::Bitmap::Format::Grayf;
    return pf::ImageFile::encodePNG(decoded, wide ? 16 : 8);
}
