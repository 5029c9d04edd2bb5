#include "Platform/Image/ImageFile.h"

#include "Platform/Foundation/FileSystem.h"
#include "Platform/Image/ParallelJpegEncoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTransform>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pf {

namespace {

// What the reader may allocate for one picture. Large photos are normal here; the reader's own default
// is too small for them.
constexpr int AllocationLimitMB = 2048;

// Whether JPEG data holds its end-of-image marker after the first scan. A file cut short lacks it, and
// the decoder would fill the missing part with grey instead of failing. The segments before the scan
// are stepped over by their lengths, so a thumbnail in the metadata (with its own end marker) does not
// count; inside scans a 0xFF byte is never followed by 0xD9.
bool jpegIsComplete(const uchar* data, qint64 size)
{
    qint64 i = 2; // after the start-of-image marker
    while (i + 4 <= size) {
        if (data[i] != 0xFF)
            return false;
        const uchar marker = data[i + 1];
        if (marker == 0xFF) {
            ++i; // fill byte
            continue;
        }
        if (marker == 0xDA)
            break;
        if (marker == 0xD9)
            return false; // an end before any scan
        i += 2 + ((qint64(data[i + 2]) << 8) | data[i + 3]);
    }
    for (qint64 j = i + 2; j + 1 < size; ++j)
        if (data[j] == 0xFF && data[j + 1] == 0xD9)
            return true;
    return false;
}

bool isJpeg(const uchar* data, qint64 size)
{
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

QString damagedMessage(const QString& name)
{
    return QStringLiteral("The image “%1” is damaged: its data ends before the picture does.").arg(name);
}

// Whether 8-bit premultiplied pixels would lose colour: some pixel is neither opaque nor clear.
bool hasPartialAlpha(const QImage& image)
{
    if (!image.hasAlphaChannel() || image.depth() > 32)
        return false;
    const QImage argb =
        image.format() == QImage::Format_ARGB32 ? image : image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (const int a = qAlpha(row[x]); a != 0 && a != 255)
                return true;
    }
    return false;
}

// The picture as premultiplied float pixels, converted to sRGB when it is in another space: nothing is
// clamped, so that converting back gives its own values. Made a band of rows at a time, so that no
// float copy of the whole picture is made besides the result.
Bitmap exactBitmap(const QImage& image, bool converts)
{
    constexpr int bandRows = 256;
    const int width = image.width(), height = image.height();
    Bitmap out(width, height, Bitmap::Format::RGBAf, Bitmap::Fill::Uninitialized);
    // Qt's own conversion to float goes through premultiplied pixels, which loses the colour of a
    // nearly clear pixel: straight values are taken over here.
    const bool deep = image.depth() > 32;
    for (int top = 0; !out.isNull() && top < height; top += bandRows) {
        const int rows = std::min(bandRows, height - top);
        const QImage straight = image.copy(0, top, width, rows)
                                    .convertToFormat(deep ? QImage::Format_RGBA64 : QImage::Format_ARGB32);
        QImage band(width, rows, QImage::Format_RGBA32FPx4);
        for (int y = 0; y < rows; ++y) {
            auto* dst = reinterpret_cast<float*>(band.scanLine(y));
            if (deep) {
                const auto* src = reinterpret_cast<const quint16*>(straight.constScanLine(y));
                for (int i = 0; i < 4 * width; ++i)
                    dst[i] = src[i] / 65535.0f;
            } else {
                const auto* src = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
                for (int x = 0; x < width; ++x) {
                    dst[4 * x + 0] = qRed(src[x]) / 255.0f;
                    dst[4 * x + 1] = qGreen(src[x]) / 255.0f;
                    dst[4 * x + 2] = qBlue(src[x]) / 255.0f;
                    dst[4 * x + 3] = qAlpha(src[x]) / 255.0f;
                }
            }
        }
        if (converts) {
            band.setColorSpace(image.colorSpace());
            band.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
        }
        for (int y = 0; y < rows; ++y) {
            const auto* src = reinterpret_cast<const float*>(band.constScanLine(y));
            auto* dst = reinterpret_cast<float*>(out.mutableRow(top + y));
            for (int x = 0; x < width; ++x) {
                const float a = src[4 * x + 3];
                dst[4 * x + 0] = src[4 * x + 0] * a;
                dst[4 * x + 1] = src[4 * x + 1] * a;
                dst[4 * x + 2] = src[4 * x + 2] * a;
                dst[4 * x + 3] = a;
            }
        }
    }
    return out;
}

// `data` (the file's bytes, when at hand) lets a JPEG cut short be refused before it is decoded.
Bitmap readFrom(QImageReader& reader, const QString& name, const uchar* data, qint64 size,
                QString* errorMessage, ImageFile::Precision precision)
{
    auto fail = [&](const QString& message) {
        if (errorMessage)
            *errorMessage = message;
        return Bitmap();
    };
    if (data && isJpeg(data, size) && !jpegIsComplete(data, size))
        return fail(damagedMessage(name));

    QImageReader::setAllocationLimit(AllocationLimitMB);
    // Turned upright here rather than by the reader, which drops the colour profile of a turned picture
    // (its colours would then be taken for sRGB).
    reader.setAutoTransform(false);
    const QImageIOHandler::Transformations turn = reader.transformation();
    // A header may claim any size: say so before the decoder refuses with a vaguer message.
    const QSize claimed = reader.size();
    if (claimed.isValid()) {
        const int bits = std::max(32, int(QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel()));
        const double megabytes = double(claimed.width()) * claimed.height() * bits / 8 / (1 << 20);
        if (megabytes > AllocationLimitMB)
            return fail(QStringLiteral("The image “%1” is too large to open: %2 x %3 pixels need %4 MB; the "
                                       "limit is %5 MB.")
                            .arg(name)
                            .arg(claimed.width())
                            .arg(claimed.height())
                            .arg(std::llround(megabytes))
                            .arg(AllocationLimitMB));
    }
    QImage image = reader.read();
    if (image.isNull())
        return fail(QStringLiteral("The image “%1” could not be read: %2.").arg(name, reader.errorString()));
    const QColorSpace space = image.colorSpace();
    if (turn != QImageIOHandler::TransformationNone) {
        // As the reader would: mirrored, then flipped, then turned by 90°.
        const bool mirror = turn.testFlag(QImageIOHandler::TransformationMirror);
        const bool flip = turn.testFlag(QImageIOHandler::TransformationFlip);
        if (mirror || flip)
            image = image.mirrored(mirror, flip);
        if (turn.testFlag(QImageIOHandler::TransformationRotate90))
            image = image.transformed(QTransform().rotate(90));
        image.setColorSpace(space);
    }
    const bool converts = space.isValid() && space != QColorSpace(QColorSpace::SRgb);
    Bitmap bitmap;
    if (precision == ImageFile::Precision::Exact && (converts || hasPartialAlpha(image))) {
        // In float the conversion keeps what sRGB cannot show (below 0, above 1), and the conversion
        // back when the photo is saved gives its own values again.
        bitmap = exactBitmap(image, converts);
    } else {
        if (converts)
            image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
        bitmap = Bitmap::fromQImage(std::move(image));
    }
    if (bitmap.isNull())
        return fail(QStringLiteral("The image “%1” is too large to open.").arg(name));
    return bitmap;
}

// Why a path cannot be opened for reading, in words for the user; empty when it can.
QString unreadableReason(const QString& path, const QFileInfo& info)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status
    {};
    if (::stat(native.constData(), &status) != 0) {
        if (errno == EACCES)
            return QStringLiteral("You don’t have permission to open the folder that holds the image “%1”.")
                .arg(info.fileName());
        return QStringLiteral("The image “%1” does not exist.").arg(info.fileName());
    }
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("“%1” is a folder, not an image.").arg(info.fileName());
    const int descriptor = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        if (errno == EACCES || errno == EPERM)
            return QStringLiteral("You don’t have permission to read the image “%1”.").arg(info.fileName());
        return QStringLiteral("The image “%1” could not be opened: %2.")
            .arg(info.fileName(), QString::fromLocal8Bit(std::strerror(errno)));
    }
    ::close(descriptor);
    return {};
}

QImage toWritable(const Bitmap& bitmap, int bits, bool dropAlpha)
{
    const bool grey = !Bitmap::hasAlpha(bitmap.format());
    if (grey) {
        if (bits == 16)
            return bitmap.converted(Bitmap::Format::Gray16).toQImage();
        return bitmap.converted(Bitmap::Format::Gray8).toQImage();
    }
    if (dropAlpha) {
        // Over black: for premultiplied pixels that is their colour as it stands, alpha dropped.
        const Bitmap bytes = bitmap.converted(Bitmap::Format::RGBA8);
        QImage image(bytes.width(), bytes.height(), QImage::Format_RGB888);
        for (int y = 0; y < bytes.height(); ++y) {
            const uint8_t* src = bytes.row(y);
            uchar* dst = image.scanLine(y);
            for (int x = 0; x < bytes.width(); ++x)
                std::memcpy(dst + x * 3, src + x * 4, 3);
        }
        return image;
    }
    QImage image = bitmap.toQImage();
    return image.convertToFormat(bits == 16 ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
}

QByteArray encode(const QImage& image, const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        return {};
    return bytes;
}

} // namespace

Bitmap ImageFile::read(const QString& path, QString* errorMessage, Precision precision)
{
    const QFileInfo info(path);
    const QString reason = unreadableReason(path, info);
    if (!reason.isEmpty()) {
        if (errorMessage)
            *errorMessage = reason;
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorMessage)
            *errorMessage = QStringLiteral("The image “%1” could not be opened: %2.")
                                .arg(info.fileName(), file.errorString());
        return {};
    }
    // Mapped, not read: the check for a complete JPEG costs no copy of the file.
    const qint64 size = file.size();
    if (size == 0) {
        // Not a format question: there is nothing in it (a copy that failed, a download cut off).
        if (errorMessage)
            *errorMessage =
                QStringLiteral("The image “%1” is empty: the file holds no data.").arg(info.fileName());
        return {};
    }
    const uchar* data = size > 0 ? file.map(0, size) : nullptr;
    QImageReader reader(&file);
    return readFrom(reader, info.fileName(), data, data ? size : 0, errorMessage, precision);
}

Bitmap ImageFile::readData(const QByteArray& data, QString* errorMessage, Precision precision)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return readFrom(reader, QStringLiteral("data"), reinterpret_cast<const uchar*>(data.constData()),
                    data.size(), errorMessage, precision);
}

QByteArray ImageFile::encodePNG(const Bitmap& bitmap, int bitsPerComponent)
{
    if (bitmap.isNull())
        return {};
    return encode(toWritable(bitmap, bitsPerComponent == 16 ? 16 : 8, false), "png", -1);
}

QByteArray ImageFile::encodeJPEG(const Bitmap& bitmap, double quality)
{
    if (bitmap.isNull())
        return {};
    const int q = static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100.0));
    // A colour picture is encoded on every core, straight from its rows (the colour over black, as
    // below); a small one, or one that cannot be so, the usual way.
    if (Bitmap::hasAlpha(bitmap.format())) {
        const Bitmap bytes =
            bitmap.format() == Bitmap::Format::RGBA8 ? bitmap : bitmap.converted(Bitmap::Format::RGBA8);
        QByteArray encoded = ParallelJpegEncoder::encode(bytes, q);
        if (!encoded.isEmpty())
            return encoded;
    }
    return encode(toWritable(bitmap, 8, true), "jpeg", q);
}

bool ImageFile::writePNG(const Bitmap& bitmap, const QString& path, int bitsPerComponent,
                         QString* errorMessage)
{
    const QByteArray bytes = encodePNG(bitmap, bitsPerComponent);
    if (bytes.isEmpty()) {
        if (errorMessage)
            *errorMessage = QStringLiteral("The image could not be encoded as PNG.");
        return false;
    }
    return FileSystem::writeFileAtomically(path, bytes, errorMessage);
}

bool ImageFile::writeJPEG(const Bitmap& bitmap, const QString& path, double quality, QString* errorMessage)
{
    const QByteArray bytes = encodeJPEG(bitmap, quality);
    if (bytes.isEmpty()) {
        if (errorMessage)
            *errorMessage = QStringLiteral("The image could not be encoded as JPEG.");
        return false;
    }
    return FileSystem::writeFileAtomically(path, bytes, errorMessage);
}

} // namespace pf
