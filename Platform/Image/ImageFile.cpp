#include "Platform/Image/ImageFile.h"

#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/ColourConversion.h"
#include "Platform/Image/InkProfile.h"
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
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <jpeglib.h>
#include <memory>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pf {

namespace {

// What the reader may allocate for one picture. Large photos are normal here; the reader's own default
// is too small for them.
constexpr int AllocationLimitMB = 2048;
std::atomic<int> allocationLimitMB{AllocationLimitMB};
// What the exact copy of an 8-bit opaque photo may take before the photo is held in 8 bits instead.
std::atomic<int> exactCopyLimitMB{AllocationLimitMB};

// A picture this application wrote itself (a layer's healed pixels, kept in float at the photo's size)
// must read back whatever size it was written at, or the work in it is lost: it may take what the
// largest photo that opens (4 bytes a pixel within the limit) needs decoded in 16 bits with its float
// copy, 24 bytes a pixel. Still a bound, so that a damaged header claiming any size is refused.
int writtenLimitMB()
{
    return allocationLimitMB.load() * 6;
}

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

quint32 littleEndian(const uchar* d, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | d[i];
    return v;
}

// Whether a BMP holds all the pixels its header promises. The decoder fills missing rows with black
// instead of failing; a file cut short is recognised by the size its header gives, and (stored without
// compression) by the rows its dimensions need.
bool bmpIsComplete(const uchar* data, qint64 size)
{
    if (size < 26)
        return false;
    const qint64 declared = littleEndian(data + 2, 4);
    const qint64 offset = littleEndian(data + 10, 4);
    const quint32 header = littleEndian(data + 14, 4);
    if (declared > size)
        return false;
    qint64 width = 0, height = 0, bits = 0, compression = 0;
    if (header == 12) {
        width = littleEndian(data + 18, 2);
        height = littleEndian(data + 20, 2);
        bits = littleEndian(data + 24, 2);
    } else if (size >= 34) {
        width = qint32(littleEndian(data + 18, 4));
        height = qint32(littleEndian(data + 22, 4));
        bits = littleEndian(data + 28, 2);
        compression = littleEndian(data + 30, 4);
    } else {
        return false;
    }
    // Uncompressed or with bit fields: every row is there, padded to four bytes.
    if (compression != 0 && compression != 3 && compression != 6)
        return true;
    // In doubles: a header may claim sizes whose product overflows.
    const double rowBytes = std::floor((double(std::abs(width)) * double(bits) + 31) / 32) * 4;
    return double(offset) + rowBytes * double(std::abs(height)) <= double(size);
}

// Whether a GIF's blocks all end within its data. The decoder shows a file cut short as if whole, the
// missing part clear; one that ends between blocks (without its trailer) is whole.
bool gifIsComplete(const uchar* data, qint64 size)
{
    if (size < 13)
        return false;
    qint64 i = 13;
    if (data[10] & 0x80)
        i += 3 * (qint64(1) << ((data[10] & 7) + 1));
    const auto subBlocks = [&] {
        while (i < size) {
            const uchar length = data[i++];
            if (length == 0)
                return true;
            i += length;
        }
        return false;
    };
    bool pictures = false;
    while (i < size) {
        const uchar block = data[i++];
        if (block == 0x3B)
            return true;
        if (block == 0x21) {
            if (++i > size || !subBlocks())
                return false;
        } else if (block == 0x2C) {
            if (i + 9 > size)
                return false;
            const uchar flags = data[i + 8];
            i += 9;
            if (flags & 0x80)
                i += 3 * (qint64(1) << ((flags & 7) + 1));
            if (++i > size || !subBlocks()) // the code size, then the picture's data
                return false;
            pictures = true;
        } else {
            return pictures; // anything else ends the file's blocks
        }
    }
    return pictures && i == size;
}

// A PNG's orientation, from its EXIF chunk (before its pixels); none without one.
int pngExifOrientation(const uchar* data, qint64 size)
{
    static const uchar signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(data, signature, 8) != 0)
        return 0;
    const auto big = [](const uchar* d) {
        return (quint32(d[0]) << 24) | (quint32(d[1]) << 16) | (quint32(d[2]) << 8) | d[3];
    };
    for (qint64 i = 8; i + 12 <= size;) {
        const qint64 length = big(data + i);
        const uchar* type = data + i + 4;
        if (std::memcmp(type, "IDAT", 4) == 0 || length > size - i - 12)
            return 0;
        if (std::memcmp(type, "eXIf", 4) == 0 && length >= 8) {
            const uchar* tiff = data + i + 8;
            const bool motorola = tiff[0] == 'M';
            const auto u16 = [&](qint64 at) {
                return motorola ? (tiff[at] << 8) | tiff[at + 1] : tiff[at] | (tiff[at + 1] << 8);
            };
            const qint64 ifd = motorola ? big(tiff + 4) : littleEndian(tiff + 4, 4);
            if (ifd + 2 > length)
                return 0;
            for (int k = 0, n = u16(ifd); k < n && ifd + 2 + 12 * (k + 1) <= length; ++k)
                if (u16(ifd + 2 + 12 * k) == 0x0112)
                    return u16(ifd + 2 + 12 * k + 8);
            return 0;
        }
        i += 12 + length;
    }
    return 0;
}

QImageIOHandler::Transformations fromExif(int orientation)
{
    switch (orientation) {
    case 2:
        return QImageIOHandler::TransformationMirror;
    case 3:
        return QImageIOHandler::TransformationRotate180;
    case 4:
        return QImageIOHandler::TransformationFlip;
    case 5:
        return QImageIOHandler::TransformationFlipAndRotate90;
    case 6:
        return QImageIOHandler::TransformationRotate90;
    case 7:
        return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8:
        return QImageIOHandler::TransformationRotate270;
    default:
        return QImageIOHandler::TransformationNone;
    }
}

struct InkErrors
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// A JPEG of inks (CMYK or YCCK) decoded through its own profile, as colour-managed programs show it
// (Qt's reader knows only the plain formula): straight sRGB, float or 8 bits. Null for a JPEG of
// colours, or one the library cannot decode (the usual reader then says why).
QImage inkJpeg(const uchar* data, qint64 size, bool wide)
{
    jpeg_decompress_struct info{};
    InkErrors errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<InkErrors*>(common->err)->jump, 1);
    };
    errors.base.output_message = [](j_common_ptr) {};
    QImage image;
    std::vector<uint8_t> row;
    std::unique_ptr<InkProfile> profile;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
        (info.jpeg_color_space != JCS_CMYK && info.jpeg_color_space != JCS_YCCK)) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    JOCTET* icc = nullptr;
    unsigned int iccSize = 0;
    if (jpeg_read_icc_profile(&info, &icc, &iccSize) && icc) {
        profile = std::make_unique<InkProfile>(QByteArray(reinterpret_cast<const char*>(icc), int(iccSize)));
        std::free(icc);
    } else {
        profile = std::make_unique<InkProfile>(QByteArray());
    }
    info.out_color_space = JCS_CMYK;
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height),
                   wide ? QImage::Format_RGBA32FPx4 : QImage::Format_RGBA8888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    row.resize(size_t(info.output_width) * 4);
    std::vector<float> colours(size_t(info.output_width) * 4);
    // Files with the Adobe marker (all that programs write) store their inks inverted.
    const bool inverted = info.saw_Adobe_marker;
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        float* target = wide ? reinterpret_cast<float*>(image.scanLine(y)) : colours.data();
        profile->toColour(row.data(), target, int(info.output_width), inverted);
        if (!wide) {
            uchar* bytes = image.scanLine(y);
            for (size_t i = 0; i < colours.size(); ++i)
                bytes[i] = uchar(std::lround(std::clamp(colours[i], 0.0f, 1.0f) * 255));
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

QString damagedMessage(const QString& name)
{
    return QStringLiteral("The image “%1” is damaged: its data ends before the picture does.").arg(name);
}

bool isFloat(QImage::Format format)
{
    return format == QImage::Format_RGBX32FPx4 || format == QImage::Format_RGBA32FPx4 ||
           format == QImage::Format_RGBA32FPx4_Premultiplied || format == QImage::Format_RGBX16FPx4 ||
           format == QImage::Format_RGBA16FPx4 || format == QImage::Format_RGBA16FPx4_Premultiplied;
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
    // nearly clear pixel: straight values are taken over here. Floating-point samples are taken as they
    // are, beyond 0..1 too.
    const bool floats = isFloat(image.format());
    const bool deep = image.depth() > 32;
    const ColourConversion toSRGB(converts ? image.colorSpace().iccProfile() : QByteArray(), QByteArray());
    for (int top = 0; !out.isNull() && top < height; top += bandRows) {
        const int rows = std::min(bandRows, height - top);
        const QImage straight = image.copy(0, top, width, rows)
                                    .convertToFormat(floats ? QImage::Format_RGBA32FPx4
                                                     : deep ? QImage::Format_RGBA64
                                                            : QImage::Format_ARGB32);
        QImage band(width, rows, QImage::Format_RGBA32FPx4);
        for (int y = 0; y < rows; ++y) {
            auto* dst = reinterpret_cast<float*>(band.scanLine(y));
            if (floats) {
                std::memcpy(dst, straight.constScanLine(y), size_t(width) * 4 * sizeof(float));
            } else if (deep) {
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
        if (converts && toSRGB.isValid()) {
            for (int y = 0; y < rows; ++y)
                toSRGB.apply(reinterpret_cast<float*>(band.scanLine(y)), width);
        } else if (converts) {
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
                QString* errorMessage, ImageFile::Precision precision, QString* reduction, int limit)
{
    auto fail = [&](const QString& message) {
        if (errorMessage)
            *errorMessage = message;
        return Bitmap();
    };
    if (data && ((isJpeg(data, size) && !jpegIsComplete(data, size)) ||
                 (size >= 2 && data[0] == 'B' && data[1] == 'M' && !bmpIsComplete(data, size)) ||
                 (size >= 6 && std::memcmp(data, "GIF8", 4) == 0 && !gifIsComplete(data, size))))
        return fail(damagedMessage(name));

    QImageReader::setAllocationLimit(limit);
    // Turned upright here rather than by the reader, which drops the colour profile of a turned picture
    // (its colours would then be taken for sRGB).
    reader.setAutoTransform(false);
    // The reader tells a JPEG's EXIF orientation, not a PNG's.
    QImageIOHandler::Transformations turn = reader.transformation();
    if (turn == QImageIOHandler::TransformationNone && data)
        turn = fromExif(pngExifOrientation(data, size));
    // A header may claim any size: say so before the decoder refuses with a vaguer message.
    const QSize claimed = reader.size();
    // A damaged header may give any number for the format (Qt's table would be read past its end).
    const QImage::Format claimedFormat = reader.imageFormat();
    const QPixelFormat pixel = QImage::toPixelFormat(claimedFormat <= QImage::Format_Invalid ||
                                                             claimedFormat >= QImage::NImageFormats
                                                         ? QImage::Format_RGB32
                                                         : claimedFormat);
    const int bits = std::max(32, int(pixel.bitsPerPixel()));
    // What the open holds at once: the decoded picture and, for one kept exactly (more than 8 bits,
    // transparency, a profile), its float copy of 16 bytes a pixel.
    const auto tooLarge = [&](QSize size, bool floatCopy, int limit) {
        const double megabytes =
            double(size.width()) * size.height() * (bits + (floatCopy ? 128 : 0)) / 8 / (1 << 20);
        if (megabytes <= limit)
            return QString();
        return QStringLiteral(
                   "The image “%1” is too large to open: %2 x %3 pixels need %4 MB; the limit is %5 MB.")
            .arg(name)
            .arg(size.width())
            .arg(size.height())
            .arg(std::llround(megabytes))
            .arg(limit);
    };
    const bool exact = precision == ImageFile::Precision::Exact;
    if (claimed.isValid()) {
        // More than 8 bits a component always become float.
        const QString refusal =
            tooLarge(claimed, bits > 32 || (exact && pixel.alphaUsage() == QPixelFormat::UsesAlpha), limit);
        if (!refusal.isEmpty())
            return fail(refusal);
    }
    QImage image = data && isJpeg(data, size) ? inkJpeg(data, size, exact) : QImage();
    if (image.isNull()) {
        image = reader.read();
        if (QImage keyed = data ? ImageFile::deepKeyedPNG(data, size) : QImage(); !keyed.isNull()) {
            // Only its pixels: the reader's colour space (from the profile, gamma or chromaticities) holds.
            keyed.setColorSpace(image.colorSpace());
            image = std::move(keyed);
        }
    }
    if (image.isNull()) {
        // Qt reads a TGA only in its 2.0 form (with the footer that names it); an older one is found
        // by nothing but its name.
        if (reader.format().isEmpty() && name.endsWith(QLatin1String(".tga"), Qt::CaseInsensitive))
            return fail(
                QStringLiteral("The image “%1” could not be read: it is a TGA image of the older kind "
                               "(without the 2.0 footer), which this application cannot read.")
                    .arg(name));
        return fail(QStringLiteral("The image “%1” could not be read: %2.").arg(name, reader.errorString()));
    }
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
    // Qt premultiplies 16-bit pixels in 16 bits before they become float, which moves the colour of a
    // nearly clear one: a translucent deep picture is taken over straight.
    const bool deepAlpha = image.depth() > 32 && image.hasAlphaChannel();
    const bool translucent = deepAlpha || (exact && hasPartialAlpha(image));
    // Floating-point samples may hold values beyond 0..1, which only float pixels keep.
    bool keptExact = exact && (converts || translucent || isFloat(image.format()));
    // Only now is it known that a profile asks for the float copy too.
    const bool reducible = !translucent && image.depth() <= 32;
    if (const QString refusal =
            keptExact ? tooLarge(image.size(), true, reducible ? exactCopyLimitMB.load() : limit) : QString();
        !refusal.isEmpty()) {
        // A picture of 8 bits that wants the copy only for its profile still opens, converted in its
        // own 8 bits (colours outside sRGB are clipped): better than refusing a photo that fits.
        if (translucent || image.depth() > 32)
            return fail(refusal);
        log(QStringLiteral("Warning: the image “%1” is converted to sRGB in 8 bits: %2").arg(name, refusal));
        if (reduction)
            *reduction =
                QStringLiteral("Keeping its colours beyond sRGB while you edit would take more memory than "
                               "one picture may have: %1")
                    .arg(refusal.section(QStringLiteral(": "), 1));
        keptExact = false;
    }
    if (keptExact) {
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
        // A name whose bytes are no text (not UTF-8) reaches here with replacement characters, which
        // no file system entry has.
        if (path.contains(QChar::ReplacementCharacter))
            return QStringLiteral("“%1” cannot be opened: its name is not valid text (UTF-8), which this "
                                  "application cannot handle. Rename the file and open it again.")
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

void ImageFile::setExactCopyLimitForTesting(int megabytes)
{
    exactCopyLimitMB = megabytes > 0 ? megabytes : AllocationLimitMB;
}

namespace {

Bitmap readFile(const QString& path, QString* errorMessage, ImageFile::Precision precision,
                QString* reduction, int limit)
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
    return readFrom(reader, info.fileName(), data, data ? size : 0, errorMessage, precision, reduction,
                    limit);
}

} // namespace

Bitmap ImageFile::read(const QString& path, QString* errorMessage, Precision precision, QString* reduction)
{
    return readFile(path, errorMessage, precision, reduction, allocationLimitMB.load());
}

Bitmap ImageFile::readWritten(const QString& path, QString* errorMessage)
{
    return readFile(path, errorMessage, Precision::Compact, nullptr, writtenLimitMB());
}

void ImageFile::setAllocationLimitForTesting(int megabytes)
{
    allocationLimitMB = megabytes > 0 ? megabytes : AllocationLimitMB;
}

Bitmap ImageFile::readData(const QByteArray& data, QString* errorMessage, Precision precision,
                           QString* reduction)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return readFrom(reader, QStringLiteral("data"), reinterpret_cast<const uchar*>(data.constData()),
                    data.size(), errorMessage, precision, reduction, allocationLimitMB.load());
}

QImageIOHandler::Transformations ImageFile::orientation(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImageIOHandler::TransformationNone;
    // A PNG's EXIF stands before its pixels.
    const QByteArray head = file.read(qint64(4) << 20);
    file.seek(0);
    if (const int exif = pngExifOrientation(reinterpret_cast<const uchar*>(head.constData()), head.size()))
        return fromExif(exif);
    QImageReader reader(&file);
    return reader.transformation();
}

QImageIOHandler::Transformations ImageFile::orientation(const QByteArray& data)
{
    if (const int exif = pngExifOrientation(reinterpret_cast<const uchar*>(data.constData()), data.size()))
        return fromExif(exif);
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.transformation();
}

namespace {

// What one keyed PNG is decoded into; the library's errors jump back into `decodeKeyedPNG`, which holds
// nothing that needs letting go.
struct KeyedPNGJob
{
    const uchar* data = nullptr;
    size_t size = 0, at = 0;
    QImage image;
    std::vector<png_bytep> rows;
};

bool decodeKeyedPNG(png_structp png, png_infop info, KeyedPNGJob& job)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, &job, [](png_structp p, png_bytep out, png_size_t length) {
        auto* j = static_cast<KeyedPNGJob*>(png_get_io_ptr(p));
        if (length > j->size - j->at)
            png_error(p, "the file ends too soon");
        std::memcpy(out, j->data + j->at, length);
        j->at += length;
    });
    png_read_info(png, info);
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB || png_get_bit_depth(png, info) != 16 ||
        !png_get_valid(png, info, PNG_INFO_tRNS))
        return false;
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    png_set_tRNS_to_alpha(png);
    png_set_swap(png); // the machine's byte order, as QImage holds 16-bit samples
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 8)
        return false;
    job.image = QImage(int(width), int(height), QImage::Format_RGBA64);
    if (job.image.isNull())
        return false;
    job.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        job.rows[y] = job.image.scanLine(int(y));
    png_read_image(png, job.rows.data());
    return true;
}

} // namespace

QImage ImageFile::deepKeyedPNG(const uchar* data, qint64 size)
{
    // The header and its tRNS chunk are looked for before the library is asked.
    if (!data || size < 33 || std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) != 0 ||
        std::memcmp(data + 12, "IHDR", 4) != 0 || data[24] != 16 || data[25] != PNG_COLOR_TYPE_RGB)
        return {};
    KeyedPNGJob job;
    job.data = data;
    job.size = size_t(size);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info) {
        png_set_error_fn(
            png, nullptr, [](png_structp p, png_const_charp) { png_longjmp(p, 1); },
            [](png_structp, png_const_charp) {});
    }
    const bool decoded = info && decodeKeyedPNG(png, info, job);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return decoded ? job.image : QImage();
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
