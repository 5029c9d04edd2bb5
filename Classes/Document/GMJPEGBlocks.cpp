#include "Classes/Document/GMJPEGBlocks.h"

#include "Platform/Image/InkProfile.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <vector>

namespace {

struct Errors
{
    jpeg_error_mgr base;
    std::jmp_buf* jump = nullptr;
    char* message = nullptr;
};

void failed(j_common_ptr info)
{
    auto* errors = reinterpret_cast<Errors*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(*errors->jump, 1);
}

void quiet(j_common_ptr) {}

// Everything the write holds, made before the library may jump out of it, and let go after.
struct Job
{
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    Errors errors[5];
    jpeg_decompress_struct source{}, pixels{}, band{};
    jpeg_compress_struct out{}, bandOut{};
    unsigned char* outBuffer = nullptr;
    unsigned long outSize = 0;
    unsigned char* bandBuffer = nullptr;
    unsigned long bandSize = 0;
    std::vector<uchar> row, bandPixels, inks;
    QImage painted;
    std::vector<int> touched; // MCU columns of the band's row touched by paint

    template <typename Info> void prepare(Info& info, int k)
    {
        info.err = jpeg_std_error(&errors[k].base);
        errors[k].base.error_exit = failed;
        errors[k].base.output_message = quiet;
        errors[k].jump = &jump;
        errors[k].message = message;
    }
    void releaseBand()
    {
        jpeg_destroy_decompress(&band);
        jpeg_destroy_compress(&bandOut);
        std::free(bandBuffer);
        bandBuffer = nullptr;
        bandSize = 0;
        band = {};
        bandOut = {};
    }
    ~Job()
    {
        releaseBand();
        jpeg_destroy_decompress(&source);
        jpeg_destroy_decompress(&pixels);
        jpeg_destroy_compress(&out);
        std::free(outBuffer);
    }
};

J_COLOR_SPACE pixelSpace(J_COLOR_SPACE stored)
{
    switch (stored) {
    case JCS_GRAYSCALE:
        return JCS_GRAYSCALE;
    case JCS_CMYK:
    case JCS_YCCK:
        return JCS_CMYK;
    default:
        return JCS_RGB;
    }
}

bool run(Job& job, const QByteArray& original, const GMPaintedRegion& painted,
         const GMJPEGBlocks::Pixels& pixels, const pf::InkProfile* inks, bool inverted)
{
    if (setjmp(job.jump))
        return false;
    const auto* data = reinterpret_cast<const unsigned char*>(original.constData());
    const auto size = static_cast<unsigned long>(original.size());
    jpeg_decompress_struct& source = job.source;
    job.prepare(source, 0);
    jpeg_create_decompress(&source);
    jpeg_mem_src(&source, data, size);
    jpeg_read_header(&source, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source);
    const int width = int(source.image_width), height = int(source.image_height);
    const int mcuWidth = DCTSIZE * source.max_h_samp_factor, mcuHeight = DCTSIZE * source.max_v_samp_factor;
    const int components = source.num_components;
    if (painted.width() != width || painted.height() != height)
        return false;
    const J_COLOR_SPACE space = pixelSpace(source.jpeg_color_space);
    const int channels = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
    if (channels != components || (space == JCS_CMYK && !inks))
        return false;

    // The original decoded row by row alongside, for the pixels of a touched MCU nobody painted.
    jpeg_decompress_struct& decoded = job.pixels;
    bool decoding = false;
    int nextRow = 0;
    const int columns = (width + mcuWidth - 1) / mcuWidth, rows = (height + mcuHeight - 1) / mcuHeight;
    for (int my = 0; my < rows; ++my) {
        job.touched.clear();
        const int top = my * mcuHeight, bandRows = std::min(mcuHeight, height - top);
        for (int mx = 0; mx < columns; ++mx)
            if (painted.intersects(QRect(mx * mcuWidth, top, mcuWidth, bandRows)))
                job.touched.push_back(mx);
        if (job.touched.empty())
            continue;
        if (!decoding) {
            job.prepare(decoded, 1);
            jpeg_create_decompress(&decoded);
            jpeg_mem_src(&decoded, data, size);
            jpeg_read_header(&decoded, TRUE);
            decoded.out_color_space = space;
            jpeg_start_decompress(&decoded);
            job.row.resize(size_t(width) * size_t(channels));
            decoding = true;
        }
        // The band spans the touched MCUs of the row; the untouched ones between are encoded but not used.
        const int left = job.touched.front() * mcuWidth;
        const int right = std::min(width, (job.touched.back() + 1) * mcuWidth);
        const int bandWidth = right - left;
        job.bandPixels.assign(size_t(bandWidth) * size_t(bandRows) * size_t(channels), 0);
        if (nextRow < top) {
            jpeg_skip_scanlines(&decoded, JDIMENSION(top - nextRow));
            nextRow = top;
        }
        for (int y = 0; y < bandRows; ++y) {
            JSAMPROW line[1] = {job.row.data()};
            jpeg_read_scanlines(&decoded, line, 1);
            ++nextRow;
            std::memcpy(job.bandPixels.data() + size_t(y) * size_t(bandWidth) * size_t(channels),
                        job.row.data() + size_t(left) * size_t(channels),
                        size_t(bandWidth) * size_t(channels));
        }
        // The retouched pixels where paint lies.
        job.painted = pixels(QRect(left, top, bandWidth, bandRows));
        if (job.painted.width() != bandWidth || job.painted.height() != bandRows)
            return false;
        job.inks.resize(size_t(bandWidth) * 4);
        for (int y = 0; y < bandRows; ++y) {
            uchar* target = job.bandPixels.data() + size_t(y) * size_t(bandWidth) * size_t(channels);
            const uchar* from = job.painted.constScanLine(y);
            if (space == JCS_CMYK)
                inks->toInks(reinterpret_cast<const float*>(from), job.inks.data(), bandWidth, inverted);
            for (int x = 0; x < bandWidth; ++x) {
                if (!painted.contains(left + x, top + y))
                    continue;
                uchar* p = target + size_t(x) * size_t(channels);
                if (space == JCS_CMYK) {
                    std::memcpy(p, job.inks.data() + 4 * x, 4);
                } else if (space == JCS_GRAYSCALE) {
                    const uchar* c = from + 4 * x;
                    p[0] = uchar(std::lround(0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]));
                } else {
                    std::memcpy(p, from + 4 * x, 3);
                }
            }
        }

        // The band encoded as the original was (tables, sampling, colour model), then read back as blocks.
        jpeg_compress_struct& encoder = job.bandOut;
        job.prepare(encoder, 2);
        jpeg_create_compress(&encoder);
        jpeg_mem_dest(&encoder, &job.bandBuffer, &job.bandSize);
        encoder.image_width = JDIMENSION(bandWidth);
        encoder.image_height = JDIMENSION(bandRows);
        encoder.input_components = channels;
        encoder.in_color_space = space;
        jpeg_set_defaults(&encoder);
        jpeg_set_colorspace(&encoder, source.jpeg_color_space);
        for (int n = 0; n < NUM_QUANT_TBLS; ++n) {
            if (!source.quant_tbl_ptrs[n])
                continue;
            if (!encoder.quant_tbl_ptrs[n])
                encoder.quant_tbl_ptrs[n] = jpeg_alloc_quant_table(reinterpret_cast<j_common_ptr>(&encoder));
            std::memcpy(encoder.quant_tbl_ptrs[n]->quantval, source.quant_tbl_ptrs[n]->quantval,
                        sizeof(source.quant_tbl_ptrs[n]->quantval));
            encoder.quant_tbl_ptrs[n]->sent_table = FALSE;
        }
        for (int c = 0; c < components; ++c) {
            encoder.comp_info[c].h_samp_factor = source.comp_info[c].h_samp_factor;
            encoder.comp_info[c].v_samp_factor = source.comp_info[c].v_samp_factor;
            encoder.comp_info[c].quant_tbl_no = source.comp_info[c].quant_tbl_no;
        }
        jpeg_start_compress(&encoder, TRUE);
        for (int y = 0; y < bandRows; ++y) {
            JSAMPROW line[1] = {job.bandPixels.data() + size_t(y) * size_t(bandWidth) * size_t(channels)};
            jpeg_write_scanlines(&encoder, line, 1);
        }
        jpeg_finish_compress(&encoder);

        jpeg_decompress_struct& band = job.band;
        job.prepare(band, 3);
        jpeg_create_decompress(&band);
        jpeg_mem_src(&band, job.bandBuffer, job.bandSize);
        jpeg_read_header(&band, TRUE);
        jvirt_barray_ptr* fresh = jpeg_read_coefficients(&band);
        const int bandStart = left / mcuWidth;
        for (int c = 0; c < components; ++c) {
            const jpeg_component_info& component = source.comp_info[c];
            const int h = component.h_samp_factor, v = component.v_samp_factor;
            for (int by = 0; by < v; ++by) {
                JBLOCKARRAY target =
                    (*source.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&source),
                                                      coefficients[c], JDIMENSION(my * v + by), 1, TRUE);
                JBLOCKARRAY from = (*band.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&band),
                                                                   fresh[c], JDIMENSION(by), 1, FALSE);
                for (const int mx : job.touched)
                    for (int bx = 0; bx < h; ++bx)
                        std::memcpy(target[0][mx * h + bx], from[0][(mx - bandStart) * h + bx],
                                    sizeof(JBLOCK));
            }
        }
        jpeg_finish_decompress(&band);
        job.releaseBand();
    }
    if (decoding)
        jpeg_abort_decompress(&decoded);

    // Every block written as it now is, in the original's progression and coding.
    jpeg_compress_struct& out = job.out;
    job.prepare(out, 4);
    jpeg_create_compress(&out);
    jpeg_mem_dest(&out, &job.outBuffer, &job.outSize);
    jpeg_copy_critical_parameters(&source, &out);
    out.optimize_coding = TRUE;
    out.restart_interval = source.restart_interval;
    out.arith_code = source.arith_code;
    if (source.progressive_mode)
        jpeg_simple_progression(&out);
    jpeg_write_coefficients(&out, coefficients);
    jpeg_finish_compress(&out);
    jpeg_finish_decompress(&source);
    return true;
}

} // namespace

QByteArray GMJPEGBlocks::write(const QByteArray& original, const GMPaintedRegion& painted,
                               const Pixels& pixels, const pf::InkProfile* inks, bool inverted,
                               QString* errorMessage)
{
    Job job;
    if (!run(job, original, painted, pixels, inks, inverted) || !job.outBuffer) {
        if (errorMessage)
            *errorMessage = QStringLiteral("The picture cannot be written back into its JPEG: %1")
                                .arg(job.message[0] ? QString::fromLocal8Bit(job.message)
                                                    : QStringLiteral("its layout is not one this application "
                                                                     "writes"));
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(job.outBuffer), qsizetype(job.outSize));
}

QSize GMJPEGBlocks::mcuSize(const QByteArray& jpeg)
{
    Job job;
    if (setjmp(job.jump))
        return {};
    job.prepare(job.source, 0);
    jpeg_create_decompress(&job.source);
    jpeg_mem_src(&job.source, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                 static_cast<unsigned long>(jpeg.size()));
    if (jpeg_read_header(&job.source, TRUE) != JPEG_HEADER_OK)
        return {};
    jpeg_calc_output_dimensions(&job.source);
    return QSize(DCTSIZE * job.source.max_h_samp_factor, DCTSIZE * job.source.max_v_samp_factor);
}
