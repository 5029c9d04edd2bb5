#include "Classes/Document/GMExif.h"
#include "Classes/Document/GMJPEGSegments.h"
#include "Classes/Document/GMPaintedRegion.h"
#include "Classes/Document/GMTIFFWriter.h"
#include "DocumentTestSupport.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/FilePanel.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <csetjmp>
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>

using namespace doctest;

namespace {

// The photos are 64 x 48 upright; a turned one is stored 48 x 64.
constexpr int W = 64, H = 48;
// Where each session paints (upright): the first on one layer, the second on another.
const QRect firstStroke(5, 6, 12, 9);
const QRect secondStroke(40, 28, 7, 8);

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A pixel's value, 0..1, of a picture with colours beyond sRGB's green and blue where it is stored in
// Adobe RGB, and values above 1 where it is stored in floats.
double sample(int x, int y, int c, bool beyond = false)
{
    if (c == 0)
        return ((x * 37 + y * 11) % 97) / 96.0;
    if (c == 1)
        return beyond && x % 4 == 0 ? 1.0 : ((x * 13 + y * 29) % 89) / 88.0;
    return beyond && y % 3 == 0 ? (x % 2 ? 1.0 : 0.0) : ((x * 7 + y * 17) % 83) / 82.0;
}

// Nearly clear and translucent alphas, and clear and opaque ones.
double alphaAt(int x, int y)
{
    static const double alphas[] = {0.002, 0.005, 0.01, 0.03, 0.2, 0.7, 1.0, 0.0};
    return alphas[(x + 3 * y) % 8];
}

// --- TIFF ---------------------------------------------------------------------------------------------

struct TIFFSpec
{
    int width = W, height = H; // as stored
    int bits = 8;
    bool floats = false;
    bool grey = false;
    bool alpha = false;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t predictor = PREDICTOR_NONE;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    bool adobe = false;
    bool tiled = false;
    int pages = 1;
};

const QByteArray xmpPacket = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF/></x:xmpmeta>";

bool makeTIFF(const QString& path, const TIFFSpec& s)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return false;
    const int colours = s.grey ? 1 : 3, samples = colours + (s.alpha ? 1 : 0);
    const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    for (int page = 0; page < s.pages; ++page) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(s.width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(s.height));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(s.bits));
        TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, s.floats ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, s.compression);
        if (s.compression == COMPRESSION_JPEG) {
            TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
            TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 90);
            TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        } else {
            TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, s.grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        }
        if (s.predictor != PREDICTOR_NONE)
            TIFFSetField(tiff, TIFFTAG_PREDICTOR, s.predictor);
        if (s.alpha) {
            const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, s.orientation);
        TIFFSetField(tiff, TIFFTAG_ARTIST, "Ada");
        TIFFSetField(tiff, TIFFTAG_MAKE, "Camera Company");
        TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, "Window light");
        TIFFSetField(tiff, TIFFTAG_XMLPACKET, uint32_t(xmpPacket.size()), xmpPacket.constData());
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 300.0f);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 300.0f);
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        if (s.adobe)
            TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(profile.size()), profile.constData());
        if (s.tiled) {
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
        } else {
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
        }
        if (s.pages > 1)
            TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        const int bytes = s.bits / 8;
        const auto pixelRow = [&](int y, std::vector<uchar>& row, int width) {
            row.assign(size_t(width) * samples * bytes, 0);
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < samples; ++c) {
                    double v = c == colours ? alphaAt(x, y) : sample(x, y + page, s.grey ? 1 : c, s.adobe);
                    if (s.floats && c < colours)
                        v *= 1.5; // beyond 1
                    uchar* at = row.data() + (size_t(x) * samples + c) * bytes;
                    if (s.floats)
                        *reinterpret_cast<float*>(at) = float(v);
                    else if (bytes == 2)
                        *reinterpret_cast<quint16*>(at) = quint16(std::lround(v * 65535));
                    else
                        *at = uchar(std::lround(v * 255));
                }
        };
        std::vector<uchar> row;
        if (s.tiled) {
            std::vector<uchar> tile(size_t(16) * 16 * samples * bytes);
            for (int ty = 0; ty < s.height; ty += 16)
                for (int tx = 0; tx < s.width; tx += 16) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (int y = ty; y < std::min(ty + 16, s.height); ++y) {
                        pixelRow(y, row, s.width);
                        const size_t pixel = size_t(samples) * bytes;
                        std::memcpy(tile.data() + size_t(y - ty) * 16 * pixel,
                                    row.data() + size_t(tx) * pixel,
                                    size_t(std::min(16, s.width - tx)) * pixel);
                    }
                    TIFFWriteTile(tiff, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0);
                }
        } else {
            for (int y = 0; y < s.height; ++y) {
                pixelRow(y, row, s.width);
                TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0);
            }
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return true;
}

// What a TIFF stores besides its pixels, as the library reads it.
std::string tiffDescription(const QString& path)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tiff)
        return "not a TIFF";
    QStringList out;
    for (const ttag_t tag : {TIFFTAG_ARTIST, TIFFTAG_MAKE, TIFFTAG_IMAGEDESCRIPTION}) {
        char* text = nullptr;
        out << QString::fromLatin1(TIFFGetField(tiff, tag, &text) && text ? text : "-");
    }
    uint32_t size = 0;
    void* data = nullptr;
    out << (TIFFGetField(tiff, TIFFTAG_XMLPACKET, &size, &data)
                ? QString::fromLatin1(static_cast<char*>(data), size)
                : QStringLiteral("no XMP"));
    out << QStringLiteral("profile %1")
               .arg(TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &size, &data)
                        ? qHash(QByteArray(static_cast<char*>(data), size))
                        : 0);
    float x = 0, y = 0;
    uint16_t unit = 0, orientation = 0, bits = 0, samples = 0, format = 0, compression = 0, predictor = 0,
             photometric = 0, extraCount = 0;
    uint16_t* extra = nullptr;
    TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x);
    TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y);
    TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PREDICTOR, &predictor);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    out << QStringLiteral("%1x%2 dpi unit %3 orientation %4 %5-bit format %6 %7 samples (%8 extra) "
                          "compression %9 predictor %10 photometric %11 pages %12")
               .arg(x)
               .arg(y)
               .arg(unit)
               .arg(orientation)
               .arg(bits)
               .arg(format)
               .arg(samples)
               .arg(extraCount)
               .arg(compression)
               .arg(predictor)
               .arg(photometric)
               .arg(TIFFNumberOfDirectories(tiff));
    TIFFClose(tiff);
    return out.join(" | ").toStdString();
}

// --- PNG, WebP, BMP -------------------------------------------------------------------------------------

// A 16-bit PNG with alpha: nearly clear pixels among the rest.
QByteArray makePNG16()
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
    png_set_IHDR(png, info, W, H, 16, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_text text{};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Author");
    text.text = const_cast<char*>("Ada");
    png_set_text(png, info, &text, 1);
    png_write_info(png, info);
    std::vector<uchar> row(size_t(W) * 8);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 4; ++c) {
                const auto v = quint16(std::lround((c == 3 ? alphaAt(x, y) : sample(x, y, c)) * 65535));
                row[8 * x + 2 * c] = uchar(v >> 8);
                row[8 * x + 2 * c + 1] = uchar(v & 0xFF);
            }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A lossless WebP with alpha (the colour under clear pixels kept) whose colours are Adobe RGB.
QByteArray makeLosslessWebP()
{
    QImage rgba(W, H, QImage::Format_RGBA8888);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 4; ++c)
                rgba.scanLine(y)[4 * x + c] =
                    uchar(std::lround((c == 3 ? alphaAt(x, y) : sample(x, y, c, true)) * 255));
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
    WebPData plain{writer.mem, writer.size};
    WebPMux* mux = WebPMuxCreate(&plain, 1);
    const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    const WebPData icc{reinterpret_cast<const uint8_t*>(profile.constData()), size_t(profile.size())};
    WebPMuxSetChunk(mux, "ICCP", &icc, 1);
    const WebPData xmp{reinterpret_cast<const uint8_t*>(xmpPacket.constData()), size_t(xmpPacket.size())};
    WebPMuxSetChunk(mux, "XMP ", &xmp, 1);
    WebPData assembled{nullptr, 0};
    WebPMuxAssemble(mux, &assembled);
    QByteArray out(reinterpret_cast<const char*>(assembled.bytes), qsizetype(assembled.size));
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    WebPMemoryWriterClear(&writer);
    return out;
}

// A BMP of 32 bits a pixel whose version 4 header names an alpha channel.
QByteArray makeBMPWithAlpha()
{
    QByteArray out;
    const auto put16 = [&](quint32 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    const auto put32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    };
    out.append("BM");
    put32(14 + 108 + W * H * 4);
    put32(0);
    put32(14 + 108);
    put32(108);
    put32(W);
    put32(H);
    put16(1);
    put16(32);
    put32(3);
    put32(W * H * 4);
    put32(11811); // 300 dots an inch
    put32(11811);
    put32(0);
    put32(0);
    for (const quint32 mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
        put32(mask);
    put32(0x73524742);
    out.append(QByteArray(48, '\0'));
    for (int y = H - 1; y >= 0; --y)
        for (int x = 0; x < W; ++x)
            for (const int c : {2, 1, 0, 3})
                out.append(
                    char(std::lround((c == 3 ? std::max(alphaAt(x, y), 0.01) : sample(x, y, c)) * 255)));
    return out;
}

// --- JPEG -----------------------------------------------------------------------------------------------

QByteArray segment(uchar marker, const QByteArray& payload)
{
    QByteArray s;
    s.append(char(0xFF)).append(char(marker));
    s.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
    return s + payload;
}

enum class Colours
{
    YCbCr,
    RGB, // stored as it is: the Adobe marker says no transform
    Inks,
    Grey,
};

struct JPEGSpec
{
    Colours colours = Colours::YCbCr;
    int quality = 95;
    int luminanceSampling = 2;
    bool progressive = false;
    int width = W, height = H;
};

QByteArray libjpeg(const JPEGSpec& s, const QImage& image)
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
    const bool inks = s.colours == Colours::Inks, grey = s.colours == Colours::Grey;
    info.input_components = inks ? 4 : grey ? 1 : 3;
    info.in_color_space = inks ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    if (s.colours == Colours::RGB)
        jpeg_set_colorspace(&info, JCS_RGB);
    jpeg_set_quality(&info, s.quality, TRUE);
    info.write_Adobe_marker = inks || s.colours == Colours::RGB;
    info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = s.luminanceSampling;
    if (s.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<uchar> row(size_t(image.width()) * 4);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* p = rgb.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (inks) { // the plain formula, stored inverted as the Adobe marker says
                const int k = 255 - std::max({p[3 * x], p[3 * x + 1], p[3 * x + 2]});
                for (int c = 0; c < 3; ++c)
                    row[4 * x + c] = uchar(255 - (k == 255 ? 0 : (255 - p[3 * x + c] - k) * 255 / (255 - k)));
                row[4 * x + 3] = uchar(255 - k);
            } else if (grey) {
                row[x] = p[3 * x + 1];
            } else {
                std::memcpy(row.data() + 3 * x, p + 3 * x, 3);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    free(buffer);
    return out;
}

QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y,
                qRgb(int(sample(x, y, 0) * 255), int(sample(x, y, 1) * 255), int(sample(x, y, 2) * 255)));
    return image;
}

// An EXIF block (little-endian) naming an orientation, with a JPEG thumbnail after its second directory.
QByteArray exifWithThumbnail(const QByteArray& thumbnail, int orientation)
{
    QByteArray b("II*\0\x08\0\0\0", 8);
    const auto u16 = [&](quint32 v) { b.append(char(v & 0xFF)).append(char(v >> 8)); };
    const auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    // IFD0 at 8: one entry, then the offset of IFD1 (8 + 2 + 12 + 4 = 26).
    u16(1);
    u16(0x0112), u16(3), u32(1), u16(quint32(orientation)), u16(0);
    u32(26);
    // IFD1 at 26: compression, offset and length of the thumbnail (at 26 + 2 + 36 + 4 = 68).
    u16(3);
    u16(0x0103), u16(3), u32(1), u16(6), u16(0);
    u16(0x0201), u16(4), u32(1), u32(68);
    u16(0x0202), u16(4), u32(1), u32(quint32(thumbnail.size()));
    u32(0);
    return b + thumbnail;
}

// The thumbnail of an EXIF block as written above and by saves; empty without one.
QByteArray thumbnailOf(const QByteArray& exif)
{
    const auto u16 = [&](qsizetype i) {
        return quint32(uchar(exif[i])) | (quint32(uchar(exif[i + 1])) << 8);
    };
    const auto u32 = [&](qsizetype i) { return u16(i) | (u16(i + 2) << 16); };
    if (exif.size() < 26)
        return {};
    const quint32 ifd1 = u32(8 + 2 + 12 * u16(8));
    if (ifd1 == 0 || ifd1 + 2 > quint32(exif.size()))
        return {};
    quint32 offset = 0, length = 0;
    for (quint32 k = 0; k < u16(ifd1); ++k) {
        const qsizetype at = ifd1 + 2 + 12 * k;
        if (u16(at) == 0x0201)
            offset = u32(at + 8);
        if (u16(at) == 0x0202)
            length = u32(at + 8);
    }
    return exif.mid(offset, length);
}

// The payloads of a JPEG's segments up to its first scan.
std::vector<std::pair<int, QByteArray>> jpegSegments(const QByteArray& d)
{
    std::vector<std::pair<int, QByteArray>> out;
    for (qsizetype i = 2; i + 4 <= d.size() && uchar(d[i]) == 0xFF;) {
        const int marker = uchar(d[i + 1]);
        if (marker == 0xDA)
            break;
        const qsizetype length = (uchar(d[i + 2]) << 8) | uchar(d[i + 3]);
        out.emplace_back(marker, d.mid(i + 4, length - 2));
        i += 2 + length;
    }
    return out;
}

QByteArray exifOf(const QByteArray& jpeg)
{
    for (const auto& [marker, payload] : jpegSegments(jpeg))
        if (marker == 0xE1 && payload.startsWith(QByteArray("Exif\0\0", 6)))
            return payload.mid(6);
    return {};
}

// A multi-picture index (little-endian) naming the first picture and two after it: a preview of it and
// a map of another kind. Offsets count from the index's byte order mark.
QByteArray indexSegment(const std::vector<std::pair<quint32, QByteArray>>& others, qint64 primarySize,
                        qint64 indexStart)
{
    QByteArray b("II*\0\x08\0\0\0", 8);
    const auto u16 = [&](quint32 v) { b.append(char(v & 0xFF)).append(char(v >> 8)); };
    const auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
    };
    const quint32 pictures = quint32(others.size()) + 1;
    u16(3);
    u16(0xB000), u16(7), u32(4), b.append("0100");
    u16(0xB001), u16(4), u32(1), u32(pictures);
    u16(0xB002), u16(7), u32(16 * pictures), u32(8 + 2 + 36 + 4);
    u32(0);
    u32(0x20030000), u32(quint32(primarySize)), u32(0), u16(0), u16(0);
    qint64 at = primarySize - indexStart;
    for (const auto& [attribute, bytes] : others) {
        u32(attribute), u32(quint32(bytes.size())), u32(quint32(at)), u16(0), u16(0);
        at += bytes.size();
    }
    return segment(0xE2, QByteArray("MPF\0", 4) + b);
}

// A JPEG followed by the pictures its index names.
QByteArray withIndex(const QByteArray& jpeg, const std::vector<std::pair<quint32, QByteArray>>& others)
{
    // The index goes first after the start of the picture; its size does not hang on the offsets.
    const QByteArray draft = indexSegment(others, 0, 0);
    const qint64 indexStart = 2 + 4 + 4;
    const qint64 primary = jpeg.size() + draft.size();
    QByteArray out = jpeg.left(2) + indexSegment(others, primary, indexStart) + jpeg.mid(2);
    for (const auto& [attribute, bytes] : others)
        out += bytes;
    return out;
}

// The pictures a file's index names after the first: attribute, bytes.
std::vector<std::pair<quint32, QByteArray>> indexed(const QByteArray& file)
{
    std::vector<std::pair<quint32, QByteArray>> out;
    qsizetype start = -1;
    for (qsizetype i = 2; i + 8 < file.size() && uchar(file[i]) == 0xFF;) {
        const int marker = uchar(file[i + 1]);
        const qsizetype length = (uchar(file[i + 2]) << 8) | uchar(file[i + 3]);
        if (marker == 0xE2 && file.mid(i + 4, 4) == QByteArray("MPF\0", 4)) {
            start = i + 8;
            break;
        }
        if (marker == 0xDA)
            break;
        i += 2 + length;
    }
    if (start < 0)
        return out;
    const auto u16 = [&](qsizetype i) {
        return quint32(uchar(file[i])) | (quint32(uchar(file[i + 1])) << 8);
    };
    const auto u32 = [&](qsizetype i) { return u16(i) | (u16(i + 2) << 16); };
    const qsizetype ifd = start + u32(start + 4);
    quint32 pictures = 0;
    qsizetype table = 0;
    for (quint32 k = 0; k < u16(ifd); ++k) {
        const qsizetype at = ifd + 2 + 12 * k;
        if (u16(at) == 0xB001)
            pictures = u32(at + 8);
        if (u16(at) == 0xB002)
            table = start + u32(at + 8);
    }
    for (quint32 k = 1; k < pictures; ++k)
        out.emplace_back(u32(table + 16 * k),
                         file.mid(start + u32(table + 16 * k + 8), u32(table + 16 * k + 4)));
    // The first entry's size is the first picture's.
    if (pictures > 0 && u32(table + 4) > quint32(file.size()))
        out.clear();
    return out;
}

// A JPEG's DCT coefficients, block by block, and its layout.
struct Blocks
{
    int mcuWidth = 0, mcuHeight = 0;
    struct Component
    {
        int h = 1, v = 1, across = 0, down = 0;
        std::vector<JCOEF> coefficients; // 64 a block, rows of blocks
    };
    std::vector<Component> components;
    bool valid = false;
};

Blocks blocksOf(const QByteArray& data)
{
    Blocks out;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), (unsigned long)data.size());
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    out.mcuWidth = DCTSIZE * info.max_h_samp_factor;
    out.mcuHeight = DCTSIZE * info.max_v_samp_factor;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& comp = info.comp_info[c];
        Blocks::Component component{comp.h_samp_factor,
                                    comp.v_samp_factor,
                                    int(comp.width_in_blocks),
                                    int(comp.height_in_blocks),
                                    {}};
        for (int by = 0; by < component.down; ++by) {
            JBLOCKARRAY row = (*info.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&info),
                                                              arrays[c], JDIMENSION(by), 1, FALSE);
            for (int bx = 0; bx < component.across; ++bx)
                component.coefficients.insert(component.coefficients.end(), row[0][bx], row[0][bx] + 64);
        }
        out.components.push_back(std::move(component));
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    out.valid = true;
    return out;
}

// --- Comparing ------------------------------------------------------------------------------------------

// Whether a stored pixel shows where a stroke painted, for a picture stored `stored` and turned upright by
// a TIFF or EXIF orientation of 1 or 6 (turned 90° clockwise).
bool paintedAt(int x, int y, QSize stored, int orientation, const std::vector<QRect>& strokes)
{
    const QPoint upright = orientation == 6 ? QPoint(stored.height() - 1 - y, x) : QPoint(x, y);
    for (const QRect& stroke : strokes)
        if (stroke.contains(upright))
            return true;
    return false;
}

// The stored pixels of a file as floats (16 bits, 8 bits and floats alike), not converted; turned upright
// where `upright`.
QImage storedValues(const QString& path, bool upright = false)
{
    QImageReader reader(path);
    reader.setAutoTransform(upright);
    QImage image = reader.read();
    image.setColorSpace(QColorSpace());
    return image.convertToFormat(QImage::Format_RGBA32FPx4);
}

// The largest difference of a stored value between two files outside what was painted (and, where
// `unit` is given, outside every unit-high band of rows a stroke touches), and inside the strokes.
std::pair<double, double> storedDifferences(const QString& a, const QString& b, int orientation,
                                            const std::vector<QRect>& strokes, int unit = 0,
                                            bool upright = false)
{
    const QImage p = storedValues(a, upright), q = storedValues(b, upright);
    if (p.size() != q.size() || p.isNull())
        return {1e9, 0};
    double outside = 0, inside = 0;
    for (int y = 0; y < p.height(); ++y) {
        bool band = false;
        if (unit > 0)
            for (int yy = y / unit * unit; yy < std::min(p.height(), (y / unit + 1) * unit) && !band; ++yy)
                for (int x = 0; x < p.width() && !band; ++x)
                    band = paintedAt(x, yy, p.size(), orientation, strokes);
        const auto* r = reinterpret_cast<const float*>(p.constScanLine(y));
        const auto* s = reinterpret_cast<const float*>(q.constScanLine(y));
        for (int x = 0; x < p.width(); ++x) {
            double largest = 0;
            for (int c = 0; c < 4; ++c)
                largest = std::max(largest, double(std::abs(r[4 * x + c] - s[4 * x + c])));
            if (paintedAt(x, y, p.size(), orientation, strokes))
                inside = std::max(inside, largest);
            else if (!band)
                outside = std::max(outside, largest);
        }
    }
    return {outside, inside};
}

// How many blocks of MCUs no stroke touched differ between two JPEGs, and how many of the touched do.
std::pair<int, int> blockDifferences(const QByteArray& a, const QByteArray& b, QSize stored, int orientation,
                                     const std::vector<QRect>& strokes)
{
    const Blocks p = blocksOf(a), q = blocksOf(b);
    if (!p.valid || !q.valid || p.components.size() != q.components.size() || p.mcuWidth != q.mcuWidth)
        return {-1, -1};
    const auto touched = [&](int mx, int my) {
        for (int y = my * p.mcuHeight; y < std::min(stored.height(), (my + 1) * p.mcuHeight); ++y)
            for (int x = mx * p.mcuWidth; x < std::min(stored.width(), (mx + 1) * p.mcuWidth); ++x)
                if (paintedAt(x, y, stored, orientation, strokes))
                    return true;
        return false;
    };
    int outside = 0, inside = 0;
    for (size_t c = 0; c < p.components.size(); ++c) {
        const Blocks::Component &r = p.components[c], &s = q.components[c];
        if (r.across != s.across || r.down != s.down)
            return {-1, -1};
        for (int by = 0; by < r.down; ++by)
            for (int bx = 0; bx < r.across; ++bx) {
                const size_t at = (size_t(by) * r.across + bx) * 64;
                const bool same = std::equal(r.coefficients.begin() + at, r.coefficients.begin() + at + 64,
                                             s.coefficients.begin() + at);
                if (touched(bx / r.h, by / r.v))
                    inside += same ? 0 : 1;
                else
                    outside += same ? 0 : 1;
            }
    }
    return {outside, inside};
}

// A JPEG's layout and metadata besides its EXIF thumbnail and its index's offsets.
std::string jpegDescription(const QByteArray& d)
{
    QStringList out;
    for (const auto& [marker, payload] : jpegSegments(d)) {
        if (marker >= 0xC0 && marker <= 0xC2) {
            QStringList factors;
            for (int c = 0; c < uchar(payload[5]); ++c)
                factors << QString::number(uchar(payload[6 + 3 * c + 1]), 16);
            out << QStringLiteral("frame %1 %2").arg(marker, 0, 16).arg(factors.join(','));
        } else if (marker == 0xDB) {
            out << QStringLiteral("tables %1").arg(qHash(payload));
        } else if (marker == 0xE1 && payload.startsWith(QByteArray("Exif\0\0", 6))) {
            const QByteArray exif = payload.mid(6);
            out << QStringLiteral("exif %1").arg(qHash(exif.left(26)));
        } else if (marker == 0xE2 && payload.startsWith("MPF")) {
            out << QStringLiteral("index");
        } else if (marker >= 0xE0 && marker <= 0xEF) {
            out << QStringLiteral("app%1 %2").arg(marker - 0xE0).arg(qHash(payload));
        }
    }
    return out.join(" | ").toStdString();
}

// The data of a PNG's first chunk of that type; a profile's decompressed. Empty without one.
QByteArray pngChunk(const QByteArray& png, const QByteArray& type)
{
    for (qsizetype i = 8; i + 12 <= png.size();) {
        const qsizetype length = (qsizetype(uchar(png[i])) << 24) | (uchar(png[i + 1]) << 16) |
                                 (uchar(png[i + 2]) << 8) | uchar(png[i + 3]);
        const QByteArray data = png.mid(i + 8, length);
        if (png.mid(i + 4, 4) == type) {
            if (type != "iCCP")
                return data;
            const QByteArray compressed = data.mid(data.indexOf('\0') + 2);
            QByteArray out(1 << 20, '\0');
            uLongf size = uLongf(out.size());
            if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                           reinterpret_cast<const Bytef*>(compressed.constData()),
                           uLong(compressed.size())) != Z_OK)
                return {};
            return out.left(qsizetype(size));
        }
        i += 12 + length;
    }
    return {};
}

// The orientation a little-endian EXIF block names; 0 without one.
int exifOrientation(const QByteArray& exif)
{
    const auto u16 = [&](qsizetype i) { return int(uchar(exif[i])) | (int(uchar(exif[i + 1])) << 8); };
    if (exif.size() < 22 || !exif.startsWith("II"))
        return 0;
    for (int k = 0; k < u16(8); ++k)
        if (u16(10 + 12 * k) == 0x0112)
            return u16(10 + 12 * k + 8);
    return 0;
}

struct Case
{
    const char* name;
    std::function<bool(const QString&)> make;
    int orientation = 1;
    QSize stored{W, H};
    bool jpeg = false; // compared block by block
    int unit = 0;      // compared outside the bands of rows a stroke touches (a lossy TIFF's strips)
    std::function<std::string(const QString&)> describe;
};

class ExactSaves : public WorkingAreaTest
{
protected:
    TestController m_documents;
};

// A layer of the test wash whose mask covers `stroke` (upright) of the photo.
void paint(PhotoToolChain& chain, const QRect& stroke)
{
    const pf::Size size = chain.originalImageSize();
    pf::Bitmap mask(int(size.width), int(size.height), pf::Bitmap::Format::RGBA8);
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) {
            const uint8_t v = stroke.contains(x, y) ? 255 : 0;
            uint8_t* p = mask.mutableRow(y) + 4 * x;
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
    const int index = chain.numberOfTools();
    chain.insertPhotoToolWithBlueprint(
        chaintest::tint(), QVariantMap{{"color", QVariant::fromValue(pf::Color(0.1, 0.8, 0.3, 1))}},
        index - 1);
    auto additional = std::make_shared<OVImageContainer>(
        pf::Image::constantColor(pf::Color(0, 0, 0, 0))
            .imageByCroppingToRect(pf::Rect(0, 0, size.width, size.height)),
        false);
    chain.brushPathImageAtIndex(index)->addContentContainer(std::make_shared<OVContentContainer>(
        std::make_shared<OVImageContainer>(pf::Image::fromBitmap(mask), true), additional));
    QCoreApplication::processEvents();
}

} // namespace

// Saving writes back, exactly, everything no layer painted, in the session the photo is painted in and
// in a later one through its kept edits: every kind of file, made here with its own library, is painted,
// saved over, saved as a copy and exported to its kind, then opened again, painted once more and saved
// the three ways again. Outside every stroke each file holds the photo's own stored values (a JPEG the
// original's DCT coefficients wherever no stroke touches an MCU; a JPEG-compressed TIFF its strips), and
// it stores what the photo stored: tags, profile, resolution, orientation, depth, sample format,
// sampling, alpha, pages, as the table in docs/documents.md says.
TEST_F(ExactSaves, EveryKindWritesBackWhatNoLayerPaintedInEverySession)
{
    const auto tiff = [](TIFFSpec spec) {
        return [spec](const QString& path) { return makeTIFF(path, spec); };
    };
    const auto raw = [](const QByteArray& data) {
        return [data](const QString& path) { return writeBytes(path, data); };
    };
    const auto describeTIFF = [](const QString& path) { return tiffDescription(path); };
    const auto describeJPEG = [](const QString& path) { return jpegDescription(fileBytes(path)); };
    const auto describeLayout = [](const QString& path) {
        const GMPhotoFile::Kind kind = GMPhotoFile::inspect(path);
        // A BMP's resolution stands in its header.
        const QByteArray resolution =
            kind.format == "bmp" ? fileBytes(path).mid(38, 8).toHex() : QByteArray();
        return QStringLiteral("%1 %2-bit grey %3 alpha %4 lossless %5 profile %6 xmp %7 %8")
            .arg(QString::fromLatin1(kind.format))
            .arg(kind.bitsPerComponent)
            .arg(kind.grey)
            .arg(kind.hasAlpha)
            .arg(kind.lossless)
            .arg(qHash(kind.iccProfile))
            .arg(qHash(kind.xmp))
            .arg(QString::fromLatin1(resolution))
            .toStdString();
    };
    const QImage stored420 = pattern(W, H);
    // The thumbnail of the turned photo: the photo as stored, made small.
    const QByteArray thumbnail =
        libjpeg({Colours::YCbCr, 80, 2},
                pattern(H, W).scaled(24, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    const QByteArray preview = libjpeg({Colours::YCbCr, 80, 2, false, 32, 24}, pattern(32, 24));
    const QByteArray depth = libjpeg({Colours::Grey, 90, 1, false, 32, 24}, pattern(32, 24));
    const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    const QByteArray adobeSegment = segment(0xE2, QByteArray("ICC_PROFILE\0\x01\x01", 14) + profile);
    const auto withSegments = [](const QByteArray& jpeg, const QByteArray& segments) {
        return jpeg.left(2) + segments + jpeg.mid(2);
    };
    const Case cases[] = {
        {"adobe16-turned.tif",
         tiff({H, W, 16, false, false, false, COMPRESSION_LZW, PREDICTOR_HORIZONTAL, ORIENTATION_RIGHTTOP,
               true}),
         6, QSize(H, W), false, 0, describeTIFF},
        {"grey16.tif", tiff({W, H, 16, false, true, false, COMPRESSION_ADOBE_DEFLATE}), 1, QSize(W, H), false,
         0, describeTIFF},
        {"float-alpha.tif", tiff({W, H, 32, true, false, true, COMPRESSION_NONE}), 1, QSize(W, H), false, 0,
         describeTIFF},
        {"tiled-pages.tif",
         tiff({W, H, 8, false, false, false, COMPRESSION_PACKBITS, PREDICTOR_NONE, ORIENTATION_TOPLEFT, false,
               true, 3}),
         1, QSize(W, H), false, 0, describeTIFF},
        {"jpeg.tif", tiff({W, H, 8, false, false, false, COMPRESSION_JPEG}), 1, QSize(W, H), false, 16,
         describeTIFF},
        {"rgba16.png", raw(makePNG16()), 1, QSize(W, H), false, 0, describeLayout},
        {"adobe-alpha.webp", raw(makeLosslessWebP()), 1, QSize(W, H), false, 0, describeLayout},
        {"alpha.bmp", raw(makeBMPWithAlpha()), 1, QSize(W, H), false, 0, describeLayout},
        {"q95-420-adobe.jpg", raw(withSegments(libjpeg({Colours::YCbCr, 95, 2}, stored420), adobeSegment)), 1,
         QSize(W, H), true, 0, describeJPEG},
        {"progressive-444.jpg", raw(libjpeg({Colours::YCbCr, 90, 1, true}, stored420)), 1, QSize(W, H), true,
         0, describeJPEG},
        {"inks.jpg", raw(libjpeg({Colours::Inks, 95, 1}, stored420)), 1, QSize(W, H), true, 0, describeJPEG},
        {"rgb-stored.jpg", raw(libjpeg({Colours::RGB, 95, 1}, stored420)), 1, QSize(W, H), true, 0,
         describeJPEG},
        {"thumbnail-turned.jpg",
         raw(withSegments(libjpeg({Colours::YCbCr, 92, 2, false, H, W}, pattern(H, W)),
                          segment(0xE1, QByteArray("Exif\0\0", 6) + exifWithThumbnail(thumbnail, 6)))),
         6, QSize(H, W), true, 0, describeJPEG},
        {"pictures.jpg",
         raw(withIndex(libjpeg({Colours::YCbCr, 93, 2}, stored420),
                       {{0x00010001, preview}, {0x00020002, depth}})),
         1, QSize(W, H), true, 0, describeJPEG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = m_dir.filePath(c.name);
        const QString untouched = m_dir.filePath(QStringLiteral("untouched-") + c.name);
        ASSERT_TRUE(c.make(path));
        ASSERT_TRUE(QFile::copy(path, untouched));
        const std::string before = c.describe(path);
        std::vector<QRect> strokes;
        for (const int session : {1, 2}) {
            SCOPED_TRACE(session);
            Opened opened = open(m_documents, path);
            ASSERT_TRUE(opened.document) << opened.error.toStdString();
            ASSERT_EQ(opened.chain()->originalImageSize(), pf::Size(W, H));
            ASSERT_EQ(opened.chain()->numberOfTools(), session) << "the kept edits";
            strokes.push_back(session == 1 ? firstStroke : secondStroke);
            paint(*opened.chain(), strokes.back());
            const QString type = opened.document->fileType();
            const QString exported = m_dir.filePath(QStringLiteral("exported%1-%2").arg(session).arg(c.name));
            const QString copy = m_dir.filePath(QStringLiteral("copy%1-%2").arg(session).arg(c.name));
            const SaveResult toExport = save(*opened.document, exported, type, Op::SaveTo);
            ASSERT_TRUE(toExport.succeeded) << toExport.error.toStdString();
            const SaveResult over = save(*opened.document, path, type, Op::Save);
            ASSERT_TRUE(over.succeeded) << over.error.toStdString();
            const SaveResult asCopy = save(*opened.document, copy, type, Op::SaveAs);
            ASSERT_TRUE(asCopy.succeeded) << asCopy.error.toStdString();
            opened.document->close();

            for (const auto& [file, how] :
                 {std::pair{exported, "Export"}, {path, "Save"}, {copy, "Save As"}}) {
                SCOPED_TRACE(how);
                EXPECT_EQ(c.describe(file), before);
                if (c.jpeg) {
                    const auto [outside, inside] = blockDifferences(fileBytes(untouched), fileBytes(file),
                                                                    c.stored, c.orientation, strokes);
                    EXPECT_EQ(outside, 0) << "blocks outside the painted MCUs";
                    EXPECT_GT(inside, 0) << "the painted blocks";
                } else {
                    const auto [outside, inside] =
                        storedDifferences(untouched, file, c.orientation, strokes, c.unit);
                    EXPECT_EQ(outside, 0) << "stored values outside the strokes";
                    EXPECT_GT(inside, 0.05) << "the strokes";
                }
                if (QByteArray(c.name).startsWith("thumbnail")) {
                    // Made from the saved picture: nearer to it, made small, than the old one is.
                    const QByteArray made = thumbnailOf(exifOf(fileBytes(file)));
                    const QImage fresh =
                        QImage::fromData(made, "JPEG").convertToFormat(QImage::Format_RGB888);
                    const QImage old =
                        QImage::fromData(thumbnail, "JPEG").convertToFormat(QImage::Format_RGB888);
                    QImageReader reader(file);
                    reader.setAutoTransform(false);
                    const QImage saved =
                        reader.read()
                            .scaled(old.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_RGB888);
                    ASSERT_EQ(fresh.size(), old.size());
                    const auto distance = [&](const QImage& a) {
                        qint64 sum = 0;
                        for (int y = 0; y < a.height(); ++y)
                            for (int x = 0; x < 3 * a.width(); ++x)
                                sum += std::abs(int(a.constScanLine(y)[x]) - int(saved.constScanLine(y)[x]));
                        return sum;
                    };
                    EXPECT_LT(distance(fresh), distance(old));
                }
                if (QByteArray(c.name) == "pictures.jpg") {
                    // The depth map follows, named by the index where it now is; the preview of the picture
                    // as it was is gone.
                    const auto pictures = indexed(fileBytes(file));
                    ASSERT_EQ(pictures.size(), 1u);
                    EXPECT_EQ(pictures[0].first, 0x00020002u);
                    EXPECT_EQ(pictures[0].second, depth);
                }
            }
        }
    }
}

// A photo too large for the copy that keeps its colours beyond sRGB opens in 8-bit sRGB: the user is told,
// and saving (in that session and the next, through the kept edits) writes the photo's own blocks
// wherever no layer painted, so that nothing is clipped there.
TEST_F(ExactSaves, APhotoHeldInLessThanItHoldsIsToldAndKeptWhereNothingIsPainted)
{
    // 320 x 240 needs more than 1 MB for its float copy, less for its 8-bit pixels.
    pf::ImageFile::setExactCopyLimitForTesting(1);
    const auto restore = qScopeGuard([] { pf::ImageFile::setExactCopyLimitForTesting(0); });
    QImage green(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            green.setPixel(x, y,
                           x % 32 < 16 ? qRgb(0, 255, 0) : qRgb(0, 200, 255)); // beyond sRGB in Adobe RGB
    const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    const QByteArray jpeg = libjpeg({Colours::YCbCr, 95, 2}, green);
    const QString path = m_dir.filePath("large-adobe.jpg");
    ASSERT_TRUE(writeBytes(
        path, jpeg.left(2) + segment(0xE2, QByteArray("ICC_PROFILE\0\x01\x01", 14) + profile) + jpeg.mid(2)));
    const QByteArray original = fileBytes(path);
    std::vector<QRect> strokes;
    for (const int session : {1, 2}) {
        SCOPED_TRACE(session);
        m_alerts.clear();
        Opened opened = open(m_documents, path);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        EXPECT_EQ(m_alerts.filter("reduced to sRGB").size(), 1) << m_alerts.join('\n').toStdString();
        EXPECT_EQ(m_alerts.size(), 1) << m_alerts.join('\n').toStdString();
        ASSERT_EQ(opened.chain()->numberOfTools(), session) << "the kept edits";
        strokes.push_back(session == 1 ? QRect(100, 60, 30, 20) : QRect(200, 150, 20, 30));
        paint(*opened.chain(), strokes.back());
        const SaveResult over = save(*opened.document, path, "jpeg", Op::Save);
        ASSERT_TRUE(over.succeeded) << over.error.toStdString();
        opened.document->close();
        const auto [outside, inside] =
            blockDifferences(original, fileBytes(path), QSize(320, 240), 1, strokes);
        EXPECT_EQ(outside, 0) << "blocks outside the painted MCUs";
        EXPECT_GT(inside, 0);
    }
}

// Exported to another kind, a photo keeps what that kind can hold of it: 16 bits where the kind has them,
// no alpha where it had none and its alpha where it had one, its profile's own bytes (its pixels in its
// colours), its EXIF (stored upright now, so upright) and XMP. Where the new file stores pixels as the
// photo does, every pixel no layer painted is the photo's own.
TEST_F(ExactSaves, AnExportToAnotherKindCarriesWhatThatKindCanHold)
{
    const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    const QByteArray turned = libjpeg({Colours::YCbCr, 95, 2}, pattern(H, W));
    const QByteArray metadata =
        segment(0xE1, QByteArray("Exif\0\0", 6) +
                          exifWithThumbnail(libjpeg({Colours::YCbCr, 80, 2}, pattern(12, 16)), 6)) +
        segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + xmpPacket) +
        segment(0xE2, QByteArray("ICC_PROFILE\0\x01\x01", 14) + profile);
    const struct
    {
        const char* photo;
        std::function<bool(const QString&)> make;
        const char* exportedAs; // the type, and the extension after a dot
        QString layout;         // what the exported file stores
        bool exactOutside;      // stored as the photo stores it: its own values outside the stroke
    } cases[] = {
        {"adobe16.tif",
         [](const QString& p) {
             return makeTIFF(p, {W, H, 16, false, false, false, COMPRESSION_LZW, PREDICTOR_NONE,
                                 ORIENTATION_TOPLEFT, true});
         },
         "png", "png 16-bit colour type 2 profile exif 0 xmp", true},
        {"adobe16-to-jpeg.tif",
         [](const QString& p) {
             return makeTIFF(p, {W, H, 16, false, false, false, COMPRESSION_LZW, PREDICTOR_NONE,
                                 ORIENTATION_TOPLEFT, true});
         },
         "jpeg", "jpeg profile exif 0 xmp", false},
        {"turned.jpg",
         [&](const QString& p) { return writeBytes(p, turned.left(2) + metadata + turned.mid(2)); }, "png",
         "png 8-bit colour type 2 profile exif 1 xmp", true},
        {"rgba16.png", [](const QString& p) { return writeBytes(p, makePNG16()); }, "tiff",
         "tiff 16-bit 4 samples (1 extra) profile none", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.photo);
        const QString path = m_dir.filePath(c.photo);
        ASSERT_TRUE(c.make(path));
        Opened opened = open(m_documents, path);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        paint(*opened.chain(), firstStroke);
        const QString extension = QString(c.exportedAs) == "jpeg"   ? "jpg"
                                  : QString(c.exportedAs) == "tiff" ? "tif"
                                                                    : c.exportedAs;
        const QString exported = m_dir.filePath(QStringLiteral("exported-%1.%2").arg(c.photo, extension));
        const SaveResult result = save(*opened.document, exported, c.exportedAs, Op::SaveTo);
        ASSERT_TRUE(result.succeeded) << result.error.toStdString();
        opened.document->close();

        const QByteArray file = fileBytes(exported);
        QString layout;
        if (QByteArray(c.exportedAs) == "png") {
            const QByteArray header = pngChunk(file, "IHDR");
            const QByteArray iccp = pngChunk(file, "iCCP");
            layout = QStringLiteral("png %1-bit colour type %2 %3 exif %4 %5")
                         .arg(uchar(header[8]))
                         .arg(uchar(header[9]))
                         .arg(iccp == profile ? "profile" : "no profile")
                         .arg(exifOrientation(pngChunk(file, "eXIf")))
                         .arg(pngChunk(file, "iTXt").endsWith(xmpPacket) ? "xmp" : "no xmp");
        } else if (QByteArray(c.exportedAs) == "jpeg") {
            QByteArray icc, exif, xmp;
            for (const auto& [marker, payload] : jpegSegments(file)) {
                if (marker == 0xE2 && payload.startsWith("ICC_PROFILE"))
                    icc += payload.mid(14);
                if (marker == 0xE1 && payload.startsWith("Exif"))
                    exif = payload.mid(6);
                if (marker == 0xE1 && payload.startsWith("http://ns.adobe.com/xap/1.0/"))
                    xmp = payload.mid(29);
            }
            layout = QStringLiteral("jpeg %1 exif %2 %3")
                         .arg(icc == profile ? "profile" : "no profile")
                         .arg(exifOrientation(exif))
                         .arg(xmp == xmpPacket ? "xmp" : "no xmp");
        } else {
            TIFF* tiff = TIFFOpen(QFile::encodeName(exported).constData(), "r");
            ASSERT_TRUE(tiff);
            uint16_t bits = 0, samples = 0, extraCount = 0;
            uint16_t* extra = nullptr;
            uint32_t size = 0;
            void* data = nullptr;
            TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
            TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
            TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
            layout = QStringLiteral("tiff %1-bit %2 samples (%3 extra) profile %4")
                         .arg(bits)
                         .arg(samples)
                         .arg(extraCount)
                         .arg(TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &size, &data) ? "some" : "none");
            TIFFClose(tiff);
        }
        EXPECT_EQ(layout, c.layout);
        if (c.exactOutside) {
            const auto [outside, inside] = storedDifferences(path, exported, 1, {firstStroke}, 0, true);
            EXPECT_EQ(outside, 0) << "the photo's own values outside the stroke";
            EXPECT_GT(inside, 0.05);
        }
    }
}

// What saving mends is read from files that may hold anything: damaged EXIF blocks, multi-picture
// indexes and TIFF directories are mended or left as they are, never read past their ends.
TEST(ExactSavesOfDamagedFiles, MetadataAndStripsAreReadWithinTheirBounds)
{
    const QByteArray thumbnail = libjpeg({Colours::YCbCr, 80, 2}, pattern(16, 12));
    const QByteArray exif = exifWithThumbnail(thumbnail, 6);
    const QByteArray pictures = withIndex(libjpeg({Colours::YCbCr, 90, 2}, pattern(W, H)),
                                          {{0x00010001, thumbnail}, {0x00020002, thumbnail}});
    QTemporaryDir dir;
    ASSERT_TRUE(makeTIFF(dir.filePath("strips.tif"), {W, H, 8, false, false, false, COMPRESSION_LZW}));
    const QByteArray strips = fileBytes(dir.filePath("strips.tif"));
    GMPaintedRegion painted(W, H);
    painted.addRect(QRect(3, 20, 10, 10));
    const auto red = [](const QRect& rect) {
        QImage image(rect.size(), QImage::Format_RGBA8888);
        image.fill(Qt::red);
        return image;
    };
    QRandomGenerator random(83);
    const auto damaged = [&](QByteArray data) {
        for (int c = 0, changes = 1 + random.bounded(6); c < changes; ++c)
            data[random.bounded(int(data.size()))] = char(random.bounded(256));
        if (random.bounded(3) == 0)
            data.truncate(random.bounded(int(data.size())));
        return data;
    };
    for (int k = 0; k < 300; ++k) {
        const QByteArray block = damaged(exif);
        (void)GMExif::orientation(block);
        (void)GMExif::withOrientation(block, 1);
        (void)GMExif::withPixelSize(block, QSize(W, H));
        (void)GMExif::thumbnailSize(block);
        (void)GMExif::withThumbnail(
            block, [&](QSize, qint64) { return thumbnail; }, 65527);
        const QByteArray file = damaged(pictures);
        (void)GMJPEGSegments::withAttachments(file, GMJPEGSegments::attachments(file));
        if (k % 10 == 0) {
            QString error;
            (void)GMTIFFWriter::patched(damaged(strips), painted, red, &error);
        }
    }
}

// Where the layers painted reads the same whatever form a mask has at the save: pixels stored in 8 or
// 16 bits, a recipe still to be rendered (a stroke placed over the mask), one value over the whole frame;
// a value of the smallest step counts, and nothing else does.
TEST(PaintedRegion, EveryFormOfAMaskReadsTheSame)
{
    pf::Bitmap grey(W, H, pf::Bitmap::Format::Gray16);
    for (int y = firstStroke.top(); y <= firstStroke.bottom(); ++y)
        for (int x = firstStroke.left(); x <= firstStroke.right(); ++x)
            reinterpret_cast<quint16*>(grey.mutableRow(y))[x] = x == firstStroke.left() ? 1 : 40000;
    const pf::Bitmap colours = grey.converted(pf::Bitmap::Format::RGBAf);
    const pf::Rect frame(0, 0, W, H);
    const pf::Image recipe = pf::Image::fromBitmap(colours)
                                 .imageByApplyingTransform(pf::AffineTransform())
                                 .imageByCroppingToRect(frame);
    const struct
    {
        const char* form;
        pf::Image mask;
        QRect painted;
    } cases[] = {
        {"16-bit pixels", pf::Image::fromBitmap(grey), firstStroke},
        {"float pixels", pf::Image::fromBitmap(colours), firstStroke},
        {"a recipe", recipe, firstStroke},
        {"one value", pf::Image::constantColor(pf::Color(0.5, 0.5, 0.5, 1)).imageByCroppingToRect(frame),
         QRect(0, 0, W, H)},
        {"nothing", pf::Image::constantColor(pf::Color(0, 0, 0, 0)).imageByCroppingToRect(frame), QRect()},
    };
    pf::RenderContext context(QStringLiteral("painted region test"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form);
        GMPaintedRegion region;
        QString error;
        ASSERT_TRUE(GMPaintedRegion::fromMasks({c.mask}, W, H, context, &region, &error))
            << error.toStdString();
        EXPECT_EQ(region.bounds(), c.painted);
        int count = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                count += region.contains(x, y) ? 1 : 0;
        EXPECT_EQ(count, c.painted.width() * c.painted.height());
    }
}
