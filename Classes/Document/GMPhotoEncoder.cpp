#include "Classes/Document/GMPhotoEncoder.h"

#include "Platform/Image/InkProfile.h"

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

// The grey a colour picture is stored as: Qt's own grey of its colours (a grey pixel keeps its value).
QImage greyOf(const QImage& image, bool wide)
{
    QImage opaque = image.convertToFormat(wide ? QImage::Format_RGBX64 : QImage::Format_RGBX8888);
    return opaque.convertToFormat(wide ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8);
}

void pngWrite(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
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

QByteArray GMPhotoEncoder::png(const QImage& image, bool grey, bool alpha, QString* errorMessage)
{
    const bool wide = image.depth() > 32;
    const QImage colours = image.convertToFormat(wide ? QImage::Format_RGBA64 : QImage::Format_RGBA8888);
    const QImage greys = grey ? greyOf(colours, wide) : QImage();
    const int channels = (grey ? 1 : 3) + (alpha ? 1 : 0);
    const int bytes = wide ? 2 : 1;
    const int colourType = grey ? (alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                                : (alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        failed(errorMessage, QStringLiteral("The picture cannot be encoded as PNG: out of memory."));
        return {};
    }
    std::vector<uchar> row(size_t(colours.width()) * channels * bytes);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        failed(errorMessage, QStringLiteral("The picture cannot be encoded as PNG."));
        return {};
    }
    png_set_write_fn(png, &out, pngWrite, pngFlush);
    png_set_IHDR(png, info, png_uint_32(colours.width()), png_uint_32(colours.height()), wide ? 16 : 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < colours.height(); ++y) {
        const uchar* source = colours.constScanLine(y);
        const uchar* greyRow = grey ? greys.constScanLine(y) : nullptr;
        uchar* target = row.data();
        for (int x = 0; x < colours.width(); ++x) {
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
            const uchar* pixel = source + 4 * bytes * x;
            if (grey)
                put(greyRow + bytes * x);
            else
                for (int c = 0; c < 3; ++c)
                    put(pixel + bytes * c);
            if (alpha)
                put(pixel + 3 * bytes);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

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
        failed(errorMessage,
               QStringLiteral("The picture cannot be encoded as JPEG: %1").arg(QString::fromLocal8Bit(errors.message)));
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = components;
    info.in_color_space = kind.cmyk ? JCS_CMYK : kind.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    if (kind.cmyk)
        jpeg_set_colorspace(&info, kind.adobeTransform == 2 ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&info, quality, TRUE);
    // Each component sampled as the file had it (a 4:4:4 photo stays 4:4:4).
    if (int(kind.jpegSampling.size()) == info.num_components)
        for (int c = 0; c < info.num_components; ++c) {
            info.comp_info[c].h_samp_factor = std::clamp(kind.jpegSampling[size_t(c)].first, 1, 4);
            info.comp_info[c].v_samp_factor = std::clamp(kind.jpegSampling[size_t(c)].second, 1, 4);
        }
    info.optimize_coding = TRUE;
    if (kind.progressive)
        jpeg_simple_progression(&info);
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
        const WebPData chunk{reinterpret_cast<const uint8_t*>(iccProfile.constData()), size_t(iccProfile.size())};
        ok = WebPMuxSetChunk(mux, "ICCP", &chunk, 1) == WEBP_MUX_OK;
    }
    const auto* d = reinterpret_cast<const uchar*>(metadataChunks.constData());
    for (qint64 i = 0; ok && i + 8 <= metadataChunks.size();) {
        const qint64 length = qint64(d[i + 4]) | (qint64(d[i + 5]) << 8) | (qint64(d[i + 6]) << 16) |
                              (qint64(d[i + 7]) << 24);
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
        failed(errorMessage, QStringLiteral("The picture's profile and metadata cannot be put into its WebP file."));
        return {};
    }
    out = QByteArray(reinterpret_cast<const char*>(assembled.bytes), qsizetype(assembled.size));
    WebPDataClear(&assembled);
    return out;
}
