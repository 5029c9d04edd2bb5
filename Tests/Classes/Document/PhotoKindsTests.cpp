#include "Classes/Document/GMPhotoFile.h"
#include "DocumentTestSupport.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/UI/FilePanel.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <csetjmp>
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <lcms2.h>
#include <png.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>

using namespace doctest;

namespace {

constexpr int W = 48, H = 32;

quint32 be32(const QByteArray& d, qsizetype i)
{
    return (quint32(uchar(d[i])) << 24) | (quint32(uchar(d[i + 1])) << 16) | (quint32(uchar(d[i + 2])) << 8) |
           uchar(d[i + 3]);
}

quint32 le32(const QByteArray& d, qsizetype i)
{
    return quint32(uchar(d[i])) | (quint32(uchar(d[i + 1])) << 8) | (quint32(uchar(d[i + 2])) << 16) |
           (quint32(uchar(d[i + 3])) << 24);
}

// The orientation (1..8) an EXIF block (from its byte order mark on) names; 0 without one.
int exifOrientation(const QByteArray& tiff)
{
    if (tiff.size() < 8)
        return 0;
    const bool big = tiff.startsWith("MM");
    const auto u16 = [&](qsizetype i) {
        return big ? (uchar(tiff[i]) << 8) | uchar(tiff[i + 1]) : uchar(tiff[i]) | (uchar(tiff[i + 1]) << 8);
    };
    const qsizetype ifd = big ? be32(tiff, 4) : le32(tiff, 4);
    if (ifd + 2 > tiff.size())
        return 0;
    for (int k = 0, n = u16(ifd); k < n && ifd + 2 + 12 * k + 12 <= tiff.size(); ++k)
        if (u16(ifd + 2 + 12 * k) == 0x0112)
            return u16(ifd + 2 + 12 * k + 8);
    return 0;
}

// What a file stores, read from its bytes by the test itself: what saving must keep.
struct Layout
{
    QByteArray format;
    int bits = 0;
    int channels = 0; // stored channels, transparency counted (a palette with tRNS has 4)
    QByteArray profile;
    int orientation = 0;
    QString sampling;      // a JPEG's "2x2 1x1 1x1"
    QByteArray tables;     // a JPEG's quantisation tables: its quality
    bool inverted = false; // a CMYK JPEG's Adobe marker
    int pages = 0;
    bool lossless = false;
    int compression = 0; // a TIFF's

    std::string text() const
    {
        return QStringLiteral(
                   "%1 %2-bit %3ch profile:%4 orientation:%5 sampling:%6 adobe:%7 pages:%8 lossless:%9 "
                   "tables:%10 compression:%11")
            .arg(QString::fromLatin1(format))
            .arg(bits)
            .arg(channels)
            .arg(qHash(profile))
            .arg(orientation)
            .arg(sampling)
            .arg(inverted)
            .arg(pages)
            .arg(lossless)
            .arg(qHash(tables))
            .arg(compression)
            .toStdString();
    }
};

Layout pngLayout(const QByteArray& d)
{
    Layout l{"png"};
    l.pages = 1;
    const int type = uchar(d[25]);
    l.bits = uchar(d[24]);
    l.channels = type == 0 ? 1 : type == 2 ? 3 : type == 3 ? 3 : type == 4 ? 2 : 4;
    for (qsizetype i = 8; i + 12 <= d.size();) {
        const qsizetype length = be32(d, i);
        const QByteArray kind = d.mid(i + 4, 4), data = d.mid(i + 8, length);
        if (kind == "tRNS")
            l.channels += 1;
        else if (kind == "iCCP")
            l.profile = data;
        else if (kind == "eXIf")
            l.orientation = exifOrientation(data);
        i += 12 + length;
    }
    return l;
}

Layout jpegLayout(const QByteArray& d)
{
    Layout l{"jpeg"};
    l.bits = 8;
    l.pages = 1;
    QByteArray profile;
    for (qsizetype i = 2; i + 4 <= d.size() && uchar(d[i]) == 0xFF;) {
        const int marker = uchar(d[i + 1]);
        const qsizetype length = (uchar(d[i + 2]) << 8) | uchar(d[i + 3]);
        const QByteArray payload = d.mid(i + 4, length - 2);
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            l.channels = uchar(payload[5]);
            QStringList factors;
            for (int c = 0; c < l.channels; ++c) {
                const int f = uchar(payload[6 + 3 * c + 1]);
                factors << QStringLiteral("%1x%2").arg(f >> 4).arg(f & 15);
            }
            l.sampling = factors.join(' ') + (marker == 0xC2 ? " progressive" : "");
        } else if (marker == 0xE1 && payload.startsWith(QByteArray("Exif\0\0", 6))) {
            l.orientation = exifOrientation(payload.mid(6));
        } else if (marker == 0xE2 && payload.startsWith(QByteArray("ICC_PROFILE\0", 12))) {
            profile += payload.mid(14);
        } else if (marker == 0xDB) {
            l.tables += payload;
        } else if (marker == 0xEE && payload.startsWith("Adobe")) {
            l.inverted = true;
        } else if (marker == 0xDA) {
            break;
        }
        i += 2 + length;
    }
    l.profile = profile;
    return l;
}

Layout tiffLayout(const QString& path)
{
    Layout l{"tiff"};
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tiff)
        return {};
    uint16_t samples = 0, bits = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    uint32_t size = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &size, &profile))
        l.profile = QByteArray(static_cast<const char*>(profile), size);
    l.bits = bits;
    l.channels = samples;
    l.pages = TIFFNumberOfDirectories(tiff);
    uint16_t compression = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    l.compression = compression;
    TIFFClose(tiff);
    return l;
}

Layout webpLayout(const QByteArray& d)
{
    Layout l{"webp"};
    l.bits = 8;
    l.pages = 1;
    l.channels = 3;
    for (qsizetype i = 12; i + 8 <= d.size();) {
        const QByteArray kind = d.mid(i, 4);
        const qsizetype length = le32(d, i + 4);
        if (kind == "VP8L") {
            l.lossless = true;
            if (uchar(d[i + 8 + 4]) & 0x10)
                l.channels = 4;
        } else if (kind == "ALPH") {
            l.channels = 4;
        } else if (kind == "ICCP") {
            l.profile = d.mid(i + 8, length);
        } else if (kind == "EXIF") {
            l.orientation = exifOrientation(d.mid(i + 8, length));
        }
        i += 8 + length + (length & 1);
    }
    return l;
}

Layout layoutOf(const QString& path)
{
    const QByteArray d = bytes(path);
    if (d.startsWith("\x89PNG"))
        return pngLayout(d);
    if (d.startsWith("\xFF\xD8"))
        return jpegLayout(d);
    if (d.startsWith("II*") || d.startsWith("MM\0*"))
        return tiffLayout(path);
    if (d.startsWith("RIFF"))
        return webpLayout(d);
    if (d.startsWith("BM"))
        return {"bmp", 8, uchar(d[28]) / 8, {}, 0, {}, {}, false, 1, false};
    return {};
}

// An EXIF block whose orientation is 6 (turn 90° clockwise to see it upright).
QByteArray turnedExif()
{
    return QByteArray("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
}

QByteArray jpegSegment(uchar marker, const QByteArray& payload)
{
    QByteArray s;
    s.append(char(0xFF)).append(char(marker));
    s.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
    return s + payload;
}

// A JPEG made with the library itself: colours or inks (Adobe-inverted), each component sampled as
// given, with an EXIF orientation and a profile put in when given.
QByteArray libjpeg(const QImage& image, int quality, int luminanceSampling, const QByteArray& profile,
                   bool turned, bool inks, bool progressive = false)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = inks ? 4 : 3;
    info.in_color_space = inks ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.write_Adobe_marker = inks;
    info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = luminanceSampling;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<uchar> row(size_t(image.width()) * 4);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* p = rgb.constScanLine(y);
        if (inks) // the plain formula, stored inverted as the Adobe marker says
            for (int x = 0; x < image.width(); ++x) {
                const int k = 255 - std::max({p[3 * x], p[3 * x + 1], p[3 * x + 2]});
                for (int c = 0; c < 3; ++c)
                    row[4 * x + c] = uchar(255 - (k == 255 ? 0 : (255 - p[3 * x + c] - k) * 255 / (255 - k)));
                row[4 * x + 3] = uchar(255 - k);
            }
        JSAMPROW rows[1] = {inks ? row.data() : const_cast<uchar*>(p)};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    free(buffer);
    QByteArray metadata;
    if (turned)
        metadata += jpegSegment(0xE1, QByteArray("Exif\0\0", 6) + turnedExif());
    // A profile longer than a segment goes in several, numbered.
    const int chunks = int((profile.size() + 59999) / 60000);
    for (int k = 0; k < chunks; ++k)
        metadata += jpegSegment(0xE2, QByteArray("ICC_PROFILE\0", 12) + char(k + 1) + char(chunks) +
                                          profile.mid(k * 60000, 60000));
    return out.left(2) + metadata + out.mid(2);
}

// An ink profile (CMYK) of its own: cyan shows as the plain formula's yellow and yellow as its cyan,
// so that a reader that ignores the profile shows red and blue swapped. Writing takes no black ink.
QByteArray swappedInkProfile()
{
    struct Transforms
    {
        cmsHTRANSFORM toLab, fromLab;
    };
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    Transforms t{cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0),
                 cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_RGB_DBL, INTENT_RELATIVE_COLORIMETRIC, 0)};
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* read = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* inks = cmsStageAllocCLut16bit(nullptr, 17, 4, 3, nullptr);
    cmsStageSampleCLut16bit(
        inks,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
            const double k = 1 - in[3] / 65535.0;
            const double rgb[3] = {(1 - in[2] / 65535.0) * k, (1 - in[1] / 65535.0) * k,
                                   (1 - in[0] / 65535.0) * k};
            cmsCIELab lab;
            cmsDoTransform(static_cast<Transforms*>(cargo)->toLab, rgb, &lab, 1);
            cmsFloat2LabEncoded(out, &lab);
            return 1;
        },
        &t, 0);
    // The version 4 form: curves (here identities) on both sides of the table.
    cmsPipelineInsertStage(read, cmsAT_BEGIN, inks);
    cmsPipelineInsertStage(read, cmsAT_BEGIN, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(read, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipeline* write = cmsPipelineAlloc(nullptr, 3, 4);
    cmsStage* colours = cmsStageAllocCLut16bit(nullptr, 33, 3, 4, nullptr);
    cmsStageSampleCLut16bit(
        colours,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
            cmsCIELab lab;
            cmsLabEncoded2Float(&lab, in);
            double rgb[3];
            cmsDoTransform(static_cast<Transforms*>(cargo)->fromLab, &lab, rgb, 1);
            for (int c = 0; c < 3; ++c)
                out[2 - c] = cmsUInt16Number(std::lround(std::clamp(1 - rgb[c], 0.0, 1.0) * 65535));
            out[3] = 0;
            return 1;
        },
        &t, 0);
    cmsPipelineInsertStage(write, cmsAT_BEGIN, colours);
    cmsPipelineInsertStage(write, cmsAT_BEGIN, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(write, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, read);
    cmsWriteTag(profile, cmsSigBToA0Tag, write);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray out(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, out.data(), &size);
    cmsPipelineFree(read);
    cmsPipelineFree(write);
    cmsCloseProfile(profile);
    cmsDeleteTransform(t.toLab);
    cmsDeleteTransform(t.fromLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return out;
}

// A PNG made with the library: grey with alpha, which Qt does not write.
QByteArray libpngGreyAlpha(const QImage& grey, const QImage& alpha)
{
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            static_cast<QByteArray*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), length);
        },
        [](png_structp) {});
    png_set_IHDR(png, info, W, H, 8, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uchar> row(2 * W);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            row[2 * x] = grey.constScanLine(y)[x];
            row[2 * x + 1] = alpha.constScanLine(y)[x];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A TIFF of several pages made with the library.
bool libtiffPages(const QString& path, const QImage& image, int pages, bool inks = false)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    for (int page = 0; page < pages; ++page) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(W));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(H));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(inks ? 4 : 3));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, inks ? PHOTOMETRIC_SEPARATED : PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        if (pages > 1)
            TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        std::vector<uchar> row(4 * W);
        for (int y = 0; y < H; ++y) {
            const uchar* p = rgb.constScanLine(y);
            if (inks) // the plain formula
                for (int x = 0; x < W; ++x) {
                    const int k = 255 - std::max({p[3 * x], p[3 * x + 1], p[3 * x + 2]});
                    for (int c = 0; c < 3; ++c)
                        row[4 * x + c] = uchar(k == 255 ? 0 : (255 - p[3 * x + c] - k) * 255 / (255 - k));
                    row[4 * x + 3] = uchar(k);
                }
            TIFFWriteScanline(tiff, inks ? row.data() : const_cast<uchar*>(p), uint32_t(y));
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return true;
}

QByteArray qtEncoded(const QImage& image, const char* format, int quality = -1, int compression = 0);

// A PNG whose EXIF says "turn 90° clockwise to show".
QByteArray turnedPNG(const QImage& stored)
{
    const QByteArray png = qtEncoded(stored, "png");
    const QByteArray typed = "eXIf" + turnedExif();
    const quint32 crc =
        quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size())));
    QByteArray chunk;
    for (const quint32 v : {quint32(typed.size() - 4), crc})
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk.append(char((v >> shift) & 0xFF));
    return png.left(33) + chunk.left(4) + typed + chunk.mid(4) + png.mid(33);
}

// A lossless WebP made with the library, the colour under clear pixels kept.
QByteArray libwebpLossless(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    config.exact = 1;
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = W;
    picture.height = H;
    WebPPictureImportRGBA(&picture, rgba.constBits(), int(rgba.bytesPerLine()));
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    WebPEncode(&config, &picture);
    WebPPictureFree(&picture);
    QByteArray out(reinterpret_cast<const char*>(writer.mem), qsizetype(writer.size));
    WebPMemoryWriterClear(&writer);
    return out;
}

// A GIF of the indexed picture, its codes never compressed (a clear code every 250 pixels keeps them at
// 9 bits), since nothing here writes GIF.
QByteArray gifOf(const QImage& indexed)
{
    const auto le16 = [](int v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); };
    QByteArray out = QByteArray("GIF89a") + le16(W) + le16(H) + QByteArray("\xF7\0\0", 3);
    for (int i = 0; i < 256; ++i) {
        const QRgb c = indexed.colorTable().value(i);
        out += char(qRed(c));
        out += char(qGreen(c));
        out += char(qBlue(c));
    }
    out += QByteArray("\x2C\0\0\0\0", 5) + le16(W) + le16(H) + QByteArray("\0\x08", 2);
    QByteArray codes;
    quint32 bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << count;
        for (count += 9; count >= 8; count -= 8, bits >>= 8)
            codes += char(bits & 0xFF);
    };
    for (int i = 0; i < W * H; ++i) {
        if (i % 250 == 0)
            put(256);
        put(indexed.constScanLine(i / W)[i % W]);
    }
    put(257);
    if (count > 0)
        codes += char(bits & 0xFF);
    for (qsizetype i = 0; i < codes.size(); i += 255)
        out += char(std::min<qsizetype>(255, codes.size() - i)) + codes.mid(i, 255);
    return out + QByteArray("\0\x3B", 2);
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray qtEncoded(const QImage& image, const char* format, int quality, int compression)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setCompression(compression);
    writer.write(image);
    return out;
}

class PhotoKinds : public WorkingAreaTest
{
protected:
    TestController m_documents;
};

} // namespace

// Every kind of photo file, opened, retouched on its left half and written by Save over it, Save As and
// Export to a file of its own kind: each file stores what the photo stored (depth, channels, the
// profile's bytes, EXIF orientation, sampling, pages, lossless coding) and no pixel outside the painted
// part changes (beyond what encoding a lossy kind again changes). What cannot be kept is refused with a
// message and the file left as it was. The kinds are the rows of the table in docs/documents.md.
TEST_F(PhotoKinds, SaveSaveAsAndExportKeepWhatTheFileStores)
{
    QImage colour(W, H, QImage::Format_RGB32), deep(W, H, QImage::Format_RGBX64),
        smooth(W, H, QImage::Format_RGB32);
    QImage translucent(W, H, QImage::Format_ARGB32), grey(W, H, QImage::Format_Grayscale8);
    QImage deepTranslucent(W, H, QImage::Format_RGBA64);
    QImage alpha(W, H, QImage::Format_Grayscale8), stored(H, W, QImage::Format_RGB32);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            colour.setPixel(x, y, qRgb(30 + x * 4, 50 + y * 5, (x * y) % 256));
            smooth.setPixel(x, y, qRgb(30 + x * 4, 50 + y * 5, 140));
            deep.setPixelColor(x, y,
                               QColor::fromRgba64(qRgba64(x * 1301 + 7, y * 1999 + 3, 40001 + x * y, 65535)));
            translucent.setPixel(x, y, qRgba(200, 40 + x * 3, 90 + y * 4, x % 3 ? 128 : x % 2 ? 0 : 255));
            deepTranslucent.setPixelColor(
                x, y,
                QColor::fromRgba64(
                    qRgba64(x * 1301 + 7, y * 1999 + 3, 40001 + x * y, x % 3 ? 300 + x * y * 40 : 0)));
            grey.scanLine(y)[x] = uchar(x * 5 + y);
            alpha.scanLine(y)[x] = uchar(x % 3 ? 128 : x % 2 ? 0 : 255);
        }
    for (int y = 0; y < W; ++y)
        for (int x = 0; x < H; ++x)
            stored.setPixel(x, y, qRgb(20 + x * 5, 200 - y * 4, (x * y) % 256));
    QImage palette = colour.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QList<QRgb> table = palette.colorTable();
    for (qsizetype i = 0; i < table.size(); ++i) // clear, half and fully opaque entries
        table[i] = qRgba(qRed(table[i]), qGreen(table[i]), qBlue(table[i]),
                         i % 3 == 0   ? 0
                         : i % 3 == 1 ? 128
                                      : 255);
    palette.setColorTable(table);
    QImage adobe = colour;
    adobe.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    const QByteArray adobeProfile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();

    struct Case
    {
        const char* name;
        std::function<bool(const QString&)> make;
        int tolerance;   // at 16 bits, outside the painted part
        int margin;      // columns beside the edit left out (a lossy coding's blocks straddle it)
        QString refusal; // what a save over it says, when it cannot keep what the file holds
        Layout changed;  // what its saved files store where they cannot store what it did (empty: the same)
        const char* copyAs = nullptr; // the type of its copies, when it cannot be written as itself
        bool shown = false; // compared as the application shows it (upright, inks through their profile)
    };
    const auto qt = [](const QImage& image, const char* format, int quality = -1) {
        return [=](const QString& path) { return writeFile(path, qtEncoded(image, format, quality)); };
    };
    const auto raw = [](const QByteArray& data) {
        return [=](const QString& path) { return writeFile(path, data); };
    };
    const Case cases[] = {
        {"jpeg420.jpg", raw(libjpeg(stored, 95, 2, adobeProfile, true, false)), 16 * 257, 16, {}, {}},
        {"jpeg444.jpg", raw(libjpeg(colour, 100, 1, {}, false, false)), 3 * 257, 8, {}, {}},
        {"progressive.jpg", raw(libjpeg(smooth, 90, 2, {}, false, false, true)), 16 * 257, 16, {}, {}},
        {"cmyk.jpg",
         raw(libjpeg(colour, 95, 1, swappedInkProfile(), false, true)),
         28 * 257,
         16,
         {},
         {},
         nullptr,
         true},
        {"rgb8.png", qt(colour, "png"), 0, 1, {}, {}},
        {"rgb16.png", qt(deep, "png"), 0, 1, {}, {}},
        {"rgba.png", qt(translucent, "png"), 0, 1, {}, {}},
        // The renderer composes premultiplied colour at its own precision: a nearly clear pixel's colour
        // (alpha 300/65535 here) comes back within 128/65535, every other as it was.
        {"rgba16.png", qt(deepTranslucent, "png"), 128, 1, {}, {}},
        {"grey.png", qt(grey, "png"), 0, 1, {}, {}},
        {"greyalpha.png", raw(libpngGreyAlpha(grey, alpha)), 0, 1, {}, {}},
        {"palette.png", qt(palette, "png"), 0, 1, {}, {"png", 8, 4, {}, 0, {}, {}, false, 1, false}},
        {"plain.tif", qt(colour, "tiff"), 0, 1, {}, {}},
        {"adobe.tif", qt(adobe, "tiff"), 0, 1, {}, {}},
        {"lzw.tif", raw(qtEncoded(colour, "tiff", -1, 1)), 0, 1, {}, {}},
        // Its first page is written back in place: the other pages stay.
        {"pages.tif", [&](const QString& p) { return libtiffPages(p, colour, 3); }, 0, 1, {}, {}},
        {"cmyk.tif",
         [&](const QString& p) { return libtiffPages(p, colour, 1, true); },
         0,
         1,
         "inks (CMYK)",
         {"tiff", 8, 3, {}, 0, {}, {}, false, 1, false, COMPRESSION_NONE}},
        {"turned.png", raw(turnedPNG(stored)), 0, 1, {}, {}, nullptr, true},
        {"lossy.webp", qt(colour, "webp", 90), 40 * 257, 16, {}, {}},
        {"lossless.webp", raw(libwebpLossless(translucent)), 0, 1, {}, {}},
        {"plain.bmp", qt(colour, "bmp"), 0, 1, {}, {}},
        {"plain.gif",
         raw(gifOf(colour.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither))),
         0,
         1,
         "cannot write",
         {"png", 8, 3, {}, 0, {}, {}, false, 1, false},
         "png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = m_dir.filePath(c.name);
        ASSERT_TRUE(c.make(path));
        const QByteArray original = bytes(path);
        const auto pixels = [&](const QString& file) {
            return c.shown ? pf::ImageFile::read(file, nullptr, pf::ImageFile::Precision::Exact)
                                 .toQImage()
                                 .convertToFormat(QImage::Format_RGBA64)
                           : storedPixels(file);
        };
        const QImage before = pixels(path);
        ASSERT_FALSE(before.isNull());
        if (QByteArray(c.name) ==
            "cmyk.jpg") { // the profile is read: its cyan is the plain formula's yellow (within JPEG's loss)
            EXPECT_LE(difference16(before, colour.rgbSwapped().convertToFormat(QImage::Format_RGBA64), 0, W),
                      16 * 257);
        }
        const Layout layout = layoutOf(path);
        const Layout expected = c.changed.format.isEmpty() ? layout : c.changed;
        const QString copySuffix = c.copyAs ? QStringLiteral(".") + c.copyAs : QString();

        Opened opened = open(m_documents, path);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        tintLeftHalf(*opened.chain());
        // Export, Save over the photo, then Save As (after which the document is the copy).
        const QString exported = m_dir.filePath(QStringLiteral("exported-%1").arg(c.name) + copySuffix);
        const QString copy = m_dir.filePath(QStringLiteral("copy-%1").arg(c.name) + copySuffix);
        const QString copyType = c.copyAs ? QString(c.copyAs) : opened.document->fileType();
        std::vector<std::pair<QString, QString>> written; // what was written, and by what
        const SaveResult toExport = save(*opened.document, exported, copyType, Op::SaveTo);
        ASSERT_TRUE(toExport.succeeded) << toExport.error.toStdString();
        written.emplace_back(exported, "Export");
        const SaveResult over = save(*opened.document, path, opened.document->fileType(), Op::Save);
        if (c.refusal.isEmpty()) {
            ASSERT_TRUE(over.succeeded) << over.error.toStdString();
            written.emplace_back(path, "Save");
        } else {
            EXPECT_FALSE(over.succeeded);
            EXPECT_TRUE(over.error.contains(c.refusal)) << over.error.toStdString();
            EXPECT_TRUE(over.error.contains("Save As")) << over.error.toStdString();
            EXPECT_EQ(bytes(path), original) << "the file is left as it was";
            EXPECT_TRUE(opened.document->saveInPlaceRefusal().contains(c.refusal));
        }
        const SaveResult asCopy = save(*opened.document, copy, copyType, Op::SaveAs);
        ASSERT_TRUE(asCopy.succeeded) << asCopy.error.toStdString();
        written.emplace_back(copy, "Save As");
        opened.document->close();

        const int half = W / 2;
        for (const auto& [file, how] : written) {
            SCOPED_TRACE(how.toStdString());
            EXPECT_EQ(layoutOf(file).text(), expected.text());
            const QImage after = pixels(file);
            EXPECT_LE(difference16(after, before, half + c.margin, W), c.tolerance) << "outside the edit";
            EXPECT_GT(difference16(after, before, 0, half - 1), 20 * 257) << "the painted part";
        }
    }
}

// Save As offers the photo's own kind first, and the extension typed decides among the kinds offered: a
// TIFF's copy typed "copy.tif" is a TIFF (never a document folder "copy.tif.glimora"), "copy.png" a PNG.
// An extension of a kind that cannot be written is replaced only when the user agrees.
TEST_F(PhotoKinds, SaveAsWritesTheKindTheTypedExtensionNames)
{
    m_photoFormat = "TIFF";
    const QString photo = this->photo("scan.tif");
    const struct
    {
        const char* typed;
        int answer; // to the question about an extension that cannot be written
        const char* written;
        QByteArray format;
        bool asked;
    } cases[] = {
        {"copy.tif", 0, "copy.tif", "tiff", false}, {"copy.png", 0, "copy.png", "png", false},
        {"copy.JPG", 0, "copy.JPG", "jpeg", false}, {"copy.gif", 0, "copy.gif.tif", "tiff", true},
        {"other.gif", 1, nullptr, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Opened opened = open(m_documents, photo);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        EXPECT_EQ(opened.document->writableTypesForSaveOperation(Op::SaveAs).value(0), "tiff");
        tintLeftHalf(*opened.chain());
        const QString typed = m_dir.filePath(c.typed);
        pf::FilePanel::setResponder([&](const pf::FilePanel&) { return QStringList{typed}; });
        m_alerts.clear();
        m_answer = c.answer;
        std::optional<bool> saved;
        opened.document->saveDocumentAs([&](bool ok, const QString&) { saved = ok; });
        spinUntil([&] { return saved.has_value() && !opened.document->isSaving(); });
        pf::FilePanel::setResponder({});
        EXPECT_EQ(m_alerts.filter("cannot be written").size(), c.asked ? 1 : 0)
            << m_alerts.join('\n').toStdString();
        EXPECT_EQ(saved.value_or(false), c.written != nullptr);
        if (c.written) {
            EXPECT_EQ(QImageReader::imageFormat(m_dir.filePath(c.written)), c.format);
        } else {
            EXPECT_FALSE(QFileInfo::exists(typed));
            EXPECT_FALSE(QFileInfo::exists(typed + ".tif"));
        }
        EXPECT_FALSE(QFileInfo::exists(typed + ".glimora"));
        opened.document->close();
    }
}

// Every save that would replace a file asks, whatever named it: an extension added after the panel's
// own question ("holiday.v2" saved as JPEG over "holiday.v2.jpg") and the way out of a kind that cannot
// be written ("x.gif" saved as "x.gif.tif"). Cancel leaves the file as it was, Replace writes it. A kind
// the application writes is written as itself, never refused as one that cannot be ("copy.tif" of a
// JPEG photo).
TEST_F(PhotoKinds, ASaveThatWouldReplaceAFileAsksWhateverNamedIt)
{
    const struct
    {
        const char* photo;
        const char* typed;
        const char* replaced; // the file a save would replace (made beforehand); null: none
        bool replace;         // the answer to the question
        const char* written;  // what is written, and of what kind
        QByteArray format;
    } cases[] = {
        {"holiday.jpg", "holiday.v2", "holiday.v2.jpg", false, nullptr, {}},
        {"holiday.jpg", "holiday.v3", "holiday.v3.jpg", true, "holiday.v3.jpg", "jpeg"},
        {"scan.tif", "x.gif", "x.gif.tif", false, nullptr, {}},
        {"scan.tif", "y.gif", "y.gif.tif", true, "y.gif.tif", "tiff"},
        {"holiday.jpg", "copy.tif", nullptr, false, "copy.tif", "tiff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        m_photoFormat = QByteArray(c.photo).endsWith("tif") ? "TIFF" : "JPEG";
        const QString photo = this->photo(c.photo);
        const QByteArray before("not a picture, but someone's file");
        if (c.replaced) {
            ASSERT_TRUE(writeFile(m_dir.filePath(c.replaced), before));
        }
        Opened opened = open(m_documents, photo);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        tintLeftHalf(*opened.chain());
        pf::FilePanel::setResponder(
            [&](const pf::FilePanel&) { return QStringList{m_dir.filePath(c.typed)}; });
        QStringList asked;
        pf::Alert::setResponder([&](const pf::Alert& alert) {
            asked << alert.messageText;
            return alert.messageText.contains("already exists") && !c.replace
                       ? pf::Alert::firstButtonReturn + 1
                       : pf::Alert::firstButtonReturn;
        });
        std::optional<bool> saved;
        opened.document->saveDocumentAs([&](bool ok, const QString&) { saved = ok; });
        spinUntil([&] { return saved.has_value() && !opened.document->isSaving(); });
        pf::FilePanel::setResponder({});
        EXPECT_EQ(asked.filter("already exists").size(), c.replaced ? 1 : 0)
            << asked.join('\n').toStdString();
        EXPECT_EQ(asked.filter("cannot be written").size(), QByteArray(c.typed).endsWith("gif") ? 1 : 0)
            << asked.join('\n').toStdString();
        EXPECT_EQ(saved.value_or(false), c.written != nullptr);
        if (c.written)
            EXPECT_EQ(QImageReader::imageFormat(m_dir.filePath(c.written)), c.format);
        else
            EXPECT_EQ(bytes(m_dir.filePath(c.replaced)), before) << "left as it was";
        opened.document->close();
    }
}

// A read-only photo is never replaced, whatever its folder allows (and whoever saves): Save says why and
// offers Save As; a save over it fails with that reason and leaves the file as it was; Save As writes.
TEST_F(PhotoKinds, AReadOnlyPhotoIsRefusedAndOffersSaveAs)
{
    const QString path = photo("locked.jpg");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    const QByteArray original = bytes(path);
    Opened opened = open(m_documents, path);
    ASSERT_TRUE(opened.document) << opened.error.toStdString();
    tintLeftHalf(*opened.chain());

    m_answer = 1; // Cancel
    std::optional<bool> saved;
    opened.document->saveDocument([&](bool ok, const QString&) { saved = ok; });
    spinUntil([&] { return saved.has_value(); });
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_TRUE(m_alerts.first().contains("read-only")) << m_alerts.first().toStdString();
    EXPECT_TRUE(m_alerts.first().contains("another name")) << m_alerts.first().toStdString();
    EXPECT_EQ(m_alerts.first().count("another name"), 1) << m_alerts.first().toStdString();
    EXPECT_FALSE(saved.value_or(true));

    const SaveResult over = save(*opened.document, path, "jpeg", Op::Save);
    EXPECT_FALSE(over.succeeded);
    EXPECT_TRUE(over.error.contains("read-only")) << over.error.toStdString();
    EXPECT_TRUE(over.error.contains("Save As")) << over.error.toStdString();
    EXPECT_EQ(bytes(path), original);
    EXPECT_TRUE(opened.document->isDocumentEdited());

    const QString copy = m_dir.filePath("copy.jpg");
    ASSERT_TRUE(save(*opened.document, copy, "jpeg", Op::SaveAs).succeeded);
    EXPECT_NE(bytes(copy), original);
    EXPECT_EQ(bytes(path), original);
    opened.document->close();
    ::chmod(QFile::encodeName(path).constData(), 0644);
}

// What a save keeps is read from the file before its pixels, whatever the file holds: damaged files of
// every kind (bytes changed, cut short) are inspected, read and turned without a crash.
TEST(PhotoFile, DamagedFilesAreInspectedAndReadWithoutCrashing)
{
    QImage image(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            image.setPixel(x, y, qRgba(x * 6, y * 8, 100, 100 + x));
    QRandomGenerator random(7);
    for (const char* format : {"png", "jpeg", "tiff", "webp", "bmp"}) {
        SCOPED_TRACE(format);
        const QByteArray whole = qtEncoded(image, format);
        ASSERT_FALSE(whole.isEmpty());
        for (int k = 0; k < 300; ++k) {
            QByteArray damaged = whole;
            for (int c = 0, changes = 1 + random.bounded(8); c < changes; ++c)
                damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
            if (k % 3 == 0)
                damaged.truncate(random.bounded(int(damaged.size())));
            // A damaged header may claim another size: only a crash is a fault here.
            (void)GMPhotoFile::inspectData(damaged);
            (void)pf::ImageFile::readData(damaged, nullptr, pf::ImageFile::Precision::Exact);
            (void)pf::ImageFile::orientation(damaged);
        }
    }
}
