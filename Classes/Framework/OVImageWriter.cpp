#include "Classes/Framework/OVImageWriter.h"

#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

namespace {

constexpr double jpegQuality = 0.92;

bool qtWrites(const QByteArray& format)
{
    return !format.isEmpty() && QImageWriter::supportedImageFormats().contains(format);
}

QByteArray formatForExtension(const QString& extension)
{
    const QByteArray e = extension.toLower().toLatin1();
    if (e == "jpg" || e == "jpeg")
        return "jpeg";
    if (e == "tif")
        return "tiff";
    return e;
}

// Whether any pixel lets the background through (a colour bitmap always has the channel).
bool isTranslucent(const pf::Bitmap& bitmap)
{
    if (!pf::Bitmap::hasAlpha(bitmap.format()))
        return false;
    for (int y = 0; y < bitmap.height(); ++y) {
        const uint8_t* row = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            if (bitmap.format() == pf::Bitmap::Format::RGBA8
                    ? row[4 * x + 3] != 255
                    : reinterpret_cast<const float*>(row)[4 * x + 3] < 1.0f)
                return true;
        }
    }
    return false;
}

} // namespace

OVImageWriter::ImageTarget OVImageWriter::targetForPath(const QString& path, bool hasAlpha)
{
    const QFileInfo info(path);
    const QString name = info.fileName().toLower();
    const QByteArray finalFormat = formatForExtension(info.suffix());
    if (finalFormat == "jpeg" || finalFormat == "png")
        return {path, finalFormat};
    if (qtWrites(finalFormat))
        return {path, finalFormat};
    if (name.contains(QLatin1String(".jpg")) || name.contains(QLatin1String(".jpeg")))
        return {path, "jpeg"};
    if (name.contains(QLatin1String("png")))
        return {path, "png"};
    const QString stem = info.suffix().isEmpty() ? path : path.left(path.size() - info.suffix().size() - 1);
    return hasAlpha ? ImageTarget{stem + QStringLiteral(".png"), "png"}
                    : ImageTarget{stem + QStringLiteral(".jpg"), "jpeg"};
}

bool OVImageWriter::writesUnderTheSameName(const QString& path)
{
    return targetForPath(path, false).path == path && targetForPath(path, true).path == path;
}

QByteArray OVImageWriter::encodedImage(const pf::Bitmap& bitmap, const QString& path, QString* errorMessage,
                                       QString* writtenPath)
{
    if (bitmap.isNull()) {
        if (errorMessage)
            *errorMessage = QStringLiteral("There is no picture to write to \"%1\".").arg(path);
        return {};
    }
    const ImageTarget target = targetForPath(path, isTranslucent(bitmap));
    if (writtenPath)
        *writtenPath = target.path;
    QByteArray data;
    if (target.format == "jpeg") {
        data = pf::ImageFile::encodeJPEG(bitmap, jpegQuality);
    } else if (target.format == "png") {
        data = pf::ImageFile::encodePNG(bitmap);
    } else {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, target.format);
        QImage image = bitmap.toQImage();
        if (image.format() == QImage::Format_RGBA32FPx4_Premultiplied)
            image = image.convertToFormat(QImage::Format_RGBA64_Premultiplied);
        if (!writer.write(image)) {
            if (errorMessage)
                *errorMessage = QStringLiteral("The picture cannot be encoded as %1: %2")
                                    .arg(QString::fromLatin1(target.format.toUpper()), writer.errorString());
            return {};
        }
    }
    if (data.isEmpty() && errorMessage)
        *errorMessage = QStringLiteral("The picture cannot be encoded as %1.")
                            .arg(QString::fromLatin1(target.format.toUpper()));
    return data;
}

bool OVImageWriter::writeImage(const pf::Bitmap& bitmap, const QString& path, QString* errorMessage,
                               QString* writtenPath)
{
    QString target;
    const QByteArray data = encodedImage(bitmap, path, errorMessage, &target);
    if (writtenPath)
        *writtenPath = target;
    return !data.isEmpty() && pf::FileSystem::writeFileAtomically(target, data, errorMessage);
}

bool OVImageWriter::saveImage(const QImage& image, const QString& path, QString* errorMessage)
{
    if (image.isNull()) {
        if (errorMessage)
            *errorMessage = QStringLiteral("There is no picture to write to \"%1\".").arg(path);
        return false;
    }
    return writeImage(pf::Bitmap::fromQImage(image), path, errorMessage);
}
