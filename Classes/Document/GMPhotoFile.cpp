#include "Classes/Document/GMPhotoFile.h"

#include "Classes/Document/GMPhotoEncoder.h"
#include "Classes/Document/GMTIFFLayout.h"
#include "Platform/Image/ColourConversion.h"
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

QByteArray jpegProfile(const QByteArray& data, const std::vector<Segment>& segments)
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
    return profile;
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
void readJPEGLayout(const QByteArray& data, const std::vector<Segment>& segments, GMPhotoFile::Kind& kind)
{
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    for (const Segment& s : segments) {
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
        const std::vector<Segment> segments = jpegSegments(data);
        for (const Segment& s : segments)
            if (isMetadata(s.marker))
                kind.jpegMetadata += data.mid(s.start, s.end - s.start);
        kind.iccProfile = jpegProfile(data, segments);
        kind.colorSpace =
            kind.iccProfile.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(kind.iccProfile);
        kind.jpegQuality = GMPhotoFile::estimateJPEGQuality(data);
        readJPEGLayout(data, segments, kind);
        kind.pages = 1;
    } else if (kind.format == "png") {
        const QByteArray head = header();
        readPNGLayout(head, kind);
        kind.orientation = pf::ImageFile::orientation(head);
        kind.pngChunks = GMPNGChunks::read(device, name);
        kind.colorSpace = GMPNGChunks::colorSpace(kind.pngChunks);
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
    else if (kind.pages > 1)
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

GMPhotoFile::Kind GMPhotoFile::forCopy(const Kind& kind, const QByteArray& format)
{
    if (!kind.isValid() || kind.format != format)
        return {};
    // A new file holds the one picture edited; inks a TIFF cannot be written with become colours.
    Kind copy = kind;
    copy.pages = 1;
    copy.refusal.clear();
    if (copy.format == "tiff" && copy.cmyk) {
        copy.cmyk = false;
        copy.iccProfile.clear();
    }
    return copy;
}

QByteArray GMPhotoFile::encode(const pf::Bitmap& picture, const Kind& kind, QString* errorMessage,
                               const QString& clearColoursFrom)
{
    if (picture.isNull() || !kind.isValid()) {
        if (errorMessage)
            *errorMessage = QStringLiteral("There is no picture to write.");
        return {};
    }
    // Back into the file's own colour space and stored orientation: its metadata says so.
    const bool converts = kind.colorSpace.isValid() && kind.colorSpace != QColorSpace(QColorSpace::SRgb);
    const bool wide = kind.bitsPerComponent > 8 && kind.format != "jpeg";
    QImage image;
    if (picture.format() == pf::Bitmap::Format::RGBAf || picture.format() == pf::Bitmap::Format::Grayf) {
        // Float pixels (a photo of more than 8 bits, translucent or outside sRGB) are converted while
        // they are float, and rounded to the file's depth only at the end.
        image = straightFloat(picture);
        const pf::ColourConversion back(QByteArray(), converts ? kind.colorSpace.iccProfile() : QByteArray());
        if (converts && back.isValid()) {
            for (int y = 0; y < image.height(); ++y)
                back.apply(reinterpret_cast<float*>(image.scanLine(y)), image.width());
        } else if (converts) {
            image.setColorSpace(QColorSpace(QColorSpace::SRgb));
            image.convertToColorSpace(kind.colorSpace);
        }
        image.setColorSpace(QColorSpace());
        image = image.convertToFormat(wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    } else {
        image = picture.toQImage();
        image.setColorSpace(QColorSpace(QColorSpace::SRgb));
        image = image.convertToFormat(wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
        if (converts)
            image.convertToColorSpace(kind.colorSpace);
        image.setColorSpace(QColorSpace());
    }
    image = applied(std::move(image), kind.orientation, true);
    const bool alpha = kind.hasAlpha && kind.format != "jpeg";
    if (alpha && !clearColoursFrom.isEmpty())
        keepClearColours(image, clearColoursFrom);

    if (kind.format == "png") {
        const QByteArray encoded = GMPhotoEncoder::png(image, kind.grey, alpha, errorMessage);
        // The original's chunks say what its colours are, and what else it told, not the encoder's.
        return encoded.isEmpty() || !kind.pngChunks.isValid() ? encoded
                                                              : GMPNGChunks::merged(encoded, kind.pngChunks);
    }
    if (kind.format == "webp") {
        const int quality = kind.lossless ? 100 : defaultWebPQuality;
        return GMPhotoEncoder::webp(image, kind.lossless, alpha, quality, kind.iccProfile, kind.webpMetadata,
                                    errorMessage);
    }
    if (kind.format != "jpeg") {
        image = image.convertToFormat(writtenFormat(kind));
        // A profile goes in as the file's own bytes, and none where it had none.
        image.setColorSpace(kind.iccProfile.isEmpty() ? QColorSpace()
                                                      : QColorSpace::fromIccProfile(kind.iccProfile));
        return write(image, kind.format, -1, errorMessage, kind.compressed);
    }

    // The profile and the rest of the metadata go in as the file had them, not as the encoder makes them.
    const int quality = kind.jpegQuality > 0 ? kind.jpegQuality : defaultJPEGQuality;
    const QByteArray encoded = GMPhotoEncoder::jpeg(image, kind, quality, errorMessage);
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
