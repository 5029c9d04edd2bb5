#include "Classes/Document/GMPhotoEncoder.h"

#include "Platform/Image/InkProfile.h"
#include "Platform/Image/ParallelJpegEncoder.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>
#include <vector>
#include <webp/encode.h>
#include <webp/mux.h>

namespace {

bool failed(QString* errorMessage, const QString& message)
{
    if (errorMessage)
        *errorMessage = message;
    return false;
}

// The grey a colour picture is stored as: its luminance, weighted in the stored values, so that a grey
// pixel keeps its value exactly (Qt's own conversion goes through tables at 16 bits).
QImage greyOf(const QImage& image, bool wide)
{
    const QImage colours = image.convertToFormat(wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    QImage grey(colours.size(), wide ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8);
    const auto luminance = [](double r, double g, double b) {
        return std::lround(0.2126 * r + 0.7152 * g + 0.0722 * b);
    };
    for (int y = 0; y < colours.height(); ++y) {
        if (wide) {
            const auto* p = reinterpret_cast<const quint16*>(colours.constScanLine(y));
            auto* q = reinterpret_cast<quint16*>(grey.scanLine(y));
            for (int x = 0; x < colours.width(); ++x)
                q[x] = quint16(luminance(p[4 * x], p[4 * x + 1], p[4 * x + 2]));
        } else {
            const uchar* p = colours.constScanLine(y);
            uchar* q = grey.scanLine(y);
            for (int x = 0; x < colours.width(); ++x)
                q[x] = uchar(luminance(p[4 * x], p[4 * x + 1], p[4 * x + 2]));
        }
    }
    return grey;
}

void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void pngFlush(png_structp) {}

struct JPEGErrors
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
};

void jpegFailed(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JPEGErrors*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

} // namespace

namespace {

// What one PNG is written from; the library's errors jump back into `writePNG`, which holds nothing that
// changes after its jump point.
struct PNGJob
{
    QImage colours; // RGBA8888 or RGBA64, straight
    QImage greys;   // Grayscale8 or Grayscale16, for a grey file
    bool alpha = false;
    QByteArray out;
};

bool writePNG(png_structp png, png_infop info, PNGJob& job)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const bool wide = job.colours.depth() > 32, grey = !job.greys.isNull();
    const int bytes = wide ? 2 : 1, channels = (grey ? 1 : 3) + (job.alpha ? 1 : 0);
    const int colourType = grey ? (job.alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                                : (job.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
    png_set_write_fn(png, &job.out, pngWrite, pngFlush);
    png_set_IHDR(png, info, png_uint_32(job.colours.width()), png_uint_32(job.colours.height()),
                 wide ? 16 : 8, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uchar> row(size_t(job.colours.width()) * channels * bytes);
    for (int y = 0; y < job.colours.height(); ++y) {
        const uchar* source = job.colours.constScanLine(y);
        const uchar* greyRow = grey ? job.greys.constScanLine(y) : nullptr;
        uchar* target = row.data();
        // Components in the file's order; 16-bit ones big-endian.
        const auto put = [&](const uchar* component) {
            if (wide) {
                const quint16 v = *reinterpret_cast<const quint16*>(component);
                *target++ = uchar(v >> 8);
                *target++ = uchar(v & 0xFF);
            } else {
                *target++ = *component;
            }
        };
        for (int x = 0; x < job.colours.width(); ++x) {
            const uchar* pixel = source + 4 * bytes * x;
            if (grey)
                put(greyRow + bytes * x);
            else
                for (int c = 0; c < 3; ++c)
                    put(pixel + bytes * c);
            if (job.alpha)
                put(pixel + 3 * bytes);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

QByteArray GMPhotoEncoder::png(const QImage& image, bool grey, bool alpha, QString* errorMessage)
{
    const bool wide = image.depth() > 32;
    PNGJob job;
    job.colours = image.convertToFormat(wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    job.greys = grey ? greyOf(job.colours, wide) : QImage();
    job.alpha = alpha;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = info && writePNG(png, info, job);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!written) {
        failed(errorMessage, QStringLiteral("The picture cannot be encoded as PNG."));
        return {};
    }
    return job.out;
}

namespace {

// The encoder set up as `kind` stores its pixels: colour model, the file's own quantisation tables where
// it has one for every component (its quality exactly), each component sampled as the file had it (a
// 4:4:4 photo stays 4:4:4), progression.
void configureJPEG(jpeg_compress_struct& info, const GMPhotoFile::Kind& kind, int quality)
{
    const int components = kind.cmyk ? 4 : kind.grey ? 1 : 3;
    info.input_components = components;
    info.in_color_space = kind.cmyk ? JCS_CMYK : kind.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    if (kind.cmyk)
        jpeg_set_colorspace(&info, kind.adobeTransform == 2 ? JCS_YCCK : JCS_CMYK);
    // Colours stored as they are (the Adobe marker saying no transform) stay so: the file's own marker
    // goes back in, and it must tell the truth about the data.
    else if (!kind.grey && kind.adobeTransform == 0)
        jpeg_set_colorspace(&info, JCS_RGB);
    jpeg_set_quality(&info, quality, TRUE);
    const bool ownTables = int(kind.jpegTableOfComponent.size()) == info.num_components &&
                           std::all_of(kind.jpegTableOfComponent.begin(), kind.jpegTableOfComponent.end(),
                                       [&](int n) { return n < NUM_QUANT_TBLS && kind.jpegTables.count(n); });
    if (ownTables) {
        for (const auto& [number, table] : kind.jpegTables) {
            if (number >= NUM_QUANT_TBLS)
                continue;
            unsigned int values[64];
            std::copy(table.begin(), table.end(), values);
            jpeg_add_quant_table(&info, number, values, 100, FALSE);
        }
        for (int c = 0; c < info.num_components; ++c)
            info.comp_info[c].quant_tbl_no = kind.jpegTableOfComponent[size_t(c)];
    }
    if (int(kind.jpegSampling.size()) == info.num_components)
        for (int c = 0; c < info.num_components; ++c) {
            info.comp_info[c].h_samp_factor = std::clamp(kind.jpegSampling[size_t(c)].first, 1, 4);
            info.comp_info[c].v_samp_factor = std::clamp(kind.jpegSampling[size_t(c)].second, 1, 4);
        }
    info.optimize_coding = TRUE;
    if (kind.progressive)
        jpeg_simple_progression(&info);
}

// A large sequential JPEG encoded on every core, set up as `kind` says but with the standard Huffman
// tables so that strips encoded apart share them. Empty where it cannot be so (progressive, too small to
// be worth strips): the caller encodes it in one piece.
QByteArray jpegInStrips(const QImage& pixels, const GMPhotoFile::Kind& kind, int quality)
{
    if (kind.progressive || pixels.isNull())
        return {};
    return pf::ParallelJpegEncoder::inStrips(
        pixels.width(), pixels.height(),
        [&kind, quality](jpeg_compress_struct& info) {
            configureJPEG(info, kind, quality);
            info.optimize_coding = FALSE;
        },
        [&pixels](int y) { return pixels.constScanLine(y); });
}

} // namespace

QByteArray GMPhotoEncoder::jpeg(const QImage& image, const GMPhotoFile::Kind& kind, int quality,
                                QString* errorMessage)
{
    const int components = kind.cmyk ? 4 : kind.grey ? 1 : 3;
    QImage pixels;
    std::unique_ptr<pf::InkProfile> inks;
    if (kind.cmyk) {
        pixels = image.convertToFormat(QImage::Format_RGBA32FPx4);
        inks = std::make_unique<pf::InkProfile>(kind.iccProfile);
    } else {
        pixels = kind.grey ? greyOf(image, false) : image.convertToFormat(QImage::Format_RGB888);
        // A large picture is encoded on every core.
        if (QByteArray out = jpegInStrips(pixels, kind, quality); !out.isEmpty())
            return out;
    }
    std::vector<uchar> row(size_t(image.width()) * components);

    jpeg_compress_struct info{};
    JPEGErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jpegFailed;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        failed(errorMessage, QStringLiteral("The picture cannot be encoded as JPEG: %1")
                                 .arg(QString::fromLocal8Bit(errors.message)));
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    configureJPEG(info, kind, quality);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    jpeg_start_compress(&info, TRUE);
    // Inks are stored inverted where the file's Adobe marker says so (every such file has one).
    const bool inverted = kind.adobeTransform >= 0;
    while (info.next_scanline < info.image_height) {
        const int y = int(info.next_scanline);
        JSAMPROW rows[1] = {row.data()};
        if (inks)
            inks->toInks(reinterpret_cast<const float*>(pixels.constScanLine(y)), row.data(), image.width(),
                         inverted);
        else
            rows[0] = const_cast<JSAMPROW>(pixels.constScanLine(y));
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

QByteArray GMPhotoEncoder::webp(const QImage& image, bool lossless, bool alpha, int quality,
                                const QByteArray& iccProfile, const QByteArray& metadataChunks,
                                QString* errorMessage)
{
    QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
    if (!alpha)
        for (int y = 0; y < pixels.height(); ++y) {
            uchar* line = pixels.scanLine(y);
            for (int x = 0; x < pixels.width(); ++x)
                line[4 * x + 3] = 255;
        }
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) {
        failed(errorMessage, QStringLiteral("The picture cannot be encoded as WebP."));
        return {};
    }
    config.lossless = lossless ? 1 : 0;
    config.quality = float(quality);
    // Lossless means every pixel: the colour under a clear one too.
    config.exact = lossless ? 1 : 0;
    picture.use_argb = 1;
    picture.width = pixels.width();
    picture.height = pixels.height();
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool encoded = WebPPictureImportRGBA(&picture, pixels.constBits(), int(pixels.bytesPerLine())) &&
                         WebPEncode(&config, &picture);
    WebPPictureFree(&picture);
    QByteArray out = encoded ? QByteArray(reinterpret_cast<const char*>(writer.mem), qsizetype(writer.size))
                             : QByteArray();
    WebPMemoryWriterClear(&writer);
    if (out.isEmpty()) {
        failed(errorMessage, QStringLiteral("The picture cannot be encoded as WebP."));
        return {};
    }
    if (iccProfile.isEmpty() && metadataChunks.isEmpty())
        return out;
    // The file's profile and metadata go back in as its own chunks.
    WebPData plain{reinterpret_cast<const uint8_t*>(out.constData()), size_t(out.size())};
    WebPMux* mux = WebPMuxCreate(&plain, 0);
    bool ok = mux != nullptr;
    if (ok && !iccProfile.isEmpty()) {
        const WebPData chunk{reinterpret_cast<const uint8_t*>(iccProfile.constData()),
                             size_t(iccProfile.size())};
        ok = WebPMuxSetChunk(mux, "ICCP", &chunk, 1) == WEBP_MUX_OK;
    }
    const auto* d = reinterpret_cast<const uchar*>(metadataChunks.constData());
    for (qint64 i = 0; ok && i + 8 <= metadataChunks.size();) {
        const qint64 length =
            qint64(d[i + 4]) | (qint64(d[i + 5]) << 8) | (qint64(d[i + 6]) << 16) | (qint64(d[i + 7]) << 24);
        if (i + 8 + length > metadataChunks.size())
            break;
        const QByteArray type = metadataChunks.mid(i, 4);
        const WebPData chunk{d + i + 8, size_t(length)};
        ok = WebPMuxSetChunk(mux, type.constData(), &chunk, 1) == WEBP_MUX_OK;
        i += 8 + length + (length & 1);
    }
    WebPData assembled{nullptr, 0};
    ok = ok && WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK;
    WebPMuxDelete(mux);
    if (!ok) {
        WebPDataClear(&assembled);
        failed(errorMessage,
               QStringLiteral("The picture's profile and metadata cannot be put into its WebP file."));
        return {};
    }
    out = QByteArray(reinterpret_cast<const char*>(assembled.bytes), qsizetype(assembled.size));
    WebPDataClear(&assembled);
    return out;
}

QByteArray GMPhotoEncoder::bmp(const QImage& image, bool alpha, QSize pixelsPerMetre)
{
    const QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
    const int width = pixels.width(), height = pixels.height();
    const int headerSize = alpha ? 108 : 40;
    const qint64 rowBytes = alpha ? qint64(width) * 4 : (qint64(width) * 3 + 3) / 4 * 4;
    const qint64 offset = 14 + headerSize, total = offset + rowBytes * height;
    if (pixels.isNull() || total > 0x7FFFFFFF)
        return {};
    QByteArray out;
    out.reserve(qsizetype(total));
    const auto put16 = [&](quint32 v) { out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    const auto put32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    };
    out.append("BM");
    put32(quint32(total));
    put32(0);
    put32(quint32(offset));
    put32(quint32(headerSize));
    put32(quint32(width));
    put32(quint32(height)); // rows from the bottom up
    put16(1);
    put16(alpha ? 32 : 24);
    put32(alpha ? 3 : 0); // bit fields, or plain colours
    put32(quint32(rowBytes * height));
    put32(quint32(pixelsPerMetre.width()));
    put32(quint32(pixelsPerMetre.height()));
    put32(0);
    put32(0);
    if (alpha) {
        put32(0x00FF0000);
        put32(0x0000FF00);
        put32(0x000000FF);
        put32(0xFF000000);
        put32(0x73524742); // the colours are sRGB
        out.append(QByteArray(36 + 12, '\0'));
    }
    for (int y = height - 1; y >= 0; --y) {
        const uchar* p = pixels.constScanLine(y);
        const qsizetype start = out.size();
        for (int x = 0; x < width; ++x) {
            out.append(char(p[4 * x + 2])).append(char(p[4 * x + 1])).append(char(p[4 * x]));
            if (alpha)
                out.append(char(p[4 * x + 3]));
        }
        out.append(QByteArray(qsizetype(rowBytes) - (out.size() - start), '\0'));
    }
    return out;
}
