#include "Classes/Document/GMPhotoFile.h"

#include "Platform/Image/ImageFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace {

// The luminance table that quality scaling starts from (its sum is all the estimate needs).
constexpr int standardLuminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                       14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                       18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                       49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

// The metadata of a JPEG may be long (an EXIF thumbnail, a profile); what lies before its first scan
// is read, never the scan itself.
constexpr qint64 headerLimit = qint64(4) << 20;

struct Segment
{
    uchar marker = 0;
    qint64 start = 0; // at the 0xFF of the marker
    qint64 end = 0;   // one past its payload
};

// The segments of a JPEG from its start to its first scan (SOS excluded).
std::vector<Segment> jpegSegments(const QByteArray& data)
{
    std::vector<Segment> segments;
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    if (size < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return segments;
    qint64 i = 2;
    while (i + 4 <= size) {
        if (d[i] != 0xFF)
            break;
        const uchar marker = d[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        const qint64 length = (qint64(d[i + 2]) << 8) | d[i + 3];
        if (length < 2 || i + 2 + length > size)
            break;
        segments.push_back({marker, i, i + 2 + length});
        i += 2 + length;
    }
    return segments;
}

bool isMetadata(uchar marker)
{
    return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
}

QColorSpace jpegColorSpace(const QByteArray& data, const std::vector<Segment>& segments)
{
    // The profile may be split over several APP2 segments, numbered.
    static const QByteArray tag("ICC_PROFILE\0", 12);
    std::map<int, QByteArray> chunks;
    for (const Segment& s : segments) {
        if (s.marker != 0xE2)
            continue;
        const QByteArray payload = data.mid(s.start + 4, s.end - s.start - 4);
        if (payload.size() > 14 && payload.startsWith(tag))
            chunks[uchar(payload[12])] = payload.mid(14);
    }
    QByteArray profile;
    for (const auto& [number, chunk] : chunks)
        profile += chunk;
    return profile.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(profile);
}

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
    if (kind.grey)
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

QByteArray write(const QImage& image, const QByteArray& format, int quality, QString* errorMessage)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality > 0)
        writer.setQuality(quality);
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

GMPhotoFile::Kind inspectDevice(QIODevice* device, const std::function<QByteArray()>& header,
                                const QString& name)
{
    GMPhotoFile::Kind kind;
    QImageReader reader(device);
    kind.format = reader.format();
    if (kind.format.isEmpty())
        return {};
    const QImage::Format format = reader.imageFormat();
    const QPixelFormat pixel = QImage::toPixelFormat(format);
    kind.hasAlpha = pixel.alphaUsage() == QPixelFormat::UsesAlpha;
    kind.grey = format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16 ||
                format == QImage::Format_Mono || format == QImage::Format_MonoLSB;
    kind.bitsPerComponent = format == QImage::Format_Grayscale16 || pixel.bitsPerPixel() >= 48 ? 16 : 8;
    kind.orientation = reader.transformation();
    if (kind.format == "jpeg") {
        const QByteArray data = header();
        const std::vector<Segment> segments = jpegSegments(data);
        for (const Segment& s : segments)
            if (isMetadata(s.marker))
                kind.jpegMetadata += data.mid(s.start, s.end - s.start);
        kind.colorSpace = jpegColorSpace(data, segments);
        kind.jpegQuality = GMPhotoFile::estimateJPEGQuality(data);
    } else if (kind.format == "png") {
        kind.pngChunks = GMPNGChunks::read(device, name);
        kind.colorSpace = GMPNGChunks::colorSpace(kind.pngChunks);
    }
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
    for (const Segment& s : jpegSegments(data)) {
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

QByteArray GMPhotoFile::encode(const pf::Bitmap& picture, const Kind& kind, QString* errorMessage)
{
    if (picture.isNull() || !kind.isValid()) {
        if (errorMessage)
            *errorMessage = QStringLiteral("There is no picture to write.");
        return {};
    }
    // Back into the file's own colour space and stored orientation: its metadata says so.
    const bool converts = kind.colorSpace.isValid() && kind.colorSpace != QColorSpace(QColorSpace::SRgb);
    QImage image;
    if (picture.format() == pf::Bitmap::Format::RGBAf || picture.format() == pf::Bitmap::Format::Grayf) {
        // Float pixels (a photo of more than 8 bits, translucent or outside sRGB) are converted while
        // they are float, and rounded to the file's depth only at the end.
        image = straightFloat(picture);
        if (converts) {
            image.setColorSpace(QColorSpace(QColorSpace::SRgb));
            image.convertToColorSpace(kind.colorSpace);
            image.setColorSpace(QColorSpace());
        }
        image = image.convertToFormat(writtenFormat(kind));
        image.setColorSpace(converts ? kind.colorSpace : QColorSpace(QColorSpace::SRgb));
    } else {
        image = picture.toQImage();
        image.setColorSpace(QColorSpace(QColorSpace::SRgb));
        image = image.convertToFormat(writtenFormat(kind));
        if (converts)
            image.convertToColorSpace(kind.colorSpace);
    }
    image = applied(std::move(image), kind.orientation, true);

    if (kind.format == "png" && kind.pngChunks.isValid()) {
        // The original's chunks say what its colours are, and what else it told, not the encoder's.
        image.setColorSpace(QColorSpace());
        const QByteArray encoded = write(image, "png", -1, errorMessage);
        return encoded.isEmpty() ? encoded : GMPNGChunks::merged(encoded, kind.pngChunks);
    }
    if (kind.format != "jpeg")
        return write(image, kind.format, -1, errorMessage);

    // The profile and the rest of the metadata go in as the file had them, not as the encoder makes them.
    image.setColorSpace(QColorSpace());
    const int quality = kind.jpegQuality > 0 ? kind.jpegQuality : defaultJPEGQuality;
    const QByteArray encoded = write(image, "jpeg", quality, errorMessage);
    if (encoded.isEmpty() || kind.jpegMetadata.isEmpty())
        return encoded;
    qint64 pixelsStart = 2;
    for (const Segment& s : jpegSegments(encoded)) {
        if (!isMetadata(s.marker))
            break;
        pixelsStart = s.end;
    }
    return encoded.left(2) + kind.jpegMetadata + encoded.mid(pixelsStart);
}

QByteArray GMPhotoFile::losslessOriginal(const pf::Bitmap& decoded, const QByteArray& fileBytes)
{
    if (fileBytes.startsWith("\x89PNG\r\n\x1a\n"))
        return fileBytes;
    if (decoded.isNull())
        return {};
    const bool wide = decoded.format() == pf::Bitmap::Format::RGBAf ||
                      decoded.format() == pf::Bitmap::Format::Gray16 ||
                      decoded.format() == pf::Bitmap::Format::Grayf;
    return pf::ImageFile::encodePNG(decoded, wide ? 16 : 8);
}
