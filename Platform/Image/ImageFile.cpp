#include "Platform/Image/ImageFile.h"

#include "Platform/Foundation/FileSystem.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <cmath>

namespace pf {

namespace {

Bitmap readFrom(QImageReader& reader, const QString& name, QString* errorMessage)
{
    // Large photos are normal here; the reader's default allocation limit is too small for them.
    QImageReader::setAllocationLimit(2048);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        if (errorMessage)
            *errorMessage =
                QStringLiteral("The image “%1” could not be read: %2.").arg(name, reader.errorString());
        return {};
    }
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
    Bitmap bitmap = Bitmap::fromQImage(image);
    if (bitmap.isNull() && errorMessage)
        *errorMessage = QStringLiteral("The image “%1” is too large to open.").arg(name);
    return bitmap;
}

QImage toWritable(const Bitmap& bitmap, int bits, bool dropAlpha)
{
    const bool grey = !Bitmap::hasAlpha(bitmap.format());
    if (grey) {
        if (bits == 16)
            return bitmap.converted(Bitmap::Format::Gray16).toQImage();
        return bitmap.converted(Bitmap::Format::Gray8).toQImage();
    }
    QImage image = bitmap.toQImage();
    if (dropAlpha)
        return image.convertToFormat(QImage::Format_RGB888);
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

Bitmap ImageFile::read(const QString& path, QString* errorMessage)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (errorMessage)
            *errorMessage = QStringLiteral("The image “%1” does not exist.").arg(info.fileName());
        return {};
    }
    QImageReader reader(path);
    return readFrom(reader, info.fileName(), errorMessage);
}

Bitmap ImageFile::readData(const QByteArray& data, QString* errorMessage)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return readFrom(reader, QStringLiteral("data"), errorMessage);
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
