#include "Platform/Image/ParallelJpegEncoder.h"

#include "Platform/Image/CpuRendering.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace pf {

namespace {

// Strips smaller than this are not worth the joining; a picture of fewer strips goes the usual way.
constexpr int MinimumStrips = 4;

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void failed(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void silent(j_common_ptr, int) {}

// Rows [first, first + rows) as a JPEG of their own, set up by `setup`: its bytes, empty on failure.
std::vector<unsigned char> encodeStrip(int width, int first, int rows,
                                       const ParallelJpegEncoder::Setup& setup,
                                       const ParallelJpegEncoder::Row& row)
{
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = failed;
    errors.base.emit_message = silent;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    // No object with a destructor lives between here and the jump back.
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    setup(info);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(rows);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW samples = const_cast<JSAMPROW>(row(first + int(info.next_scanline)));
        jpeg_write_scanlines(&info, &samples, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<unsigned char> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// The coded unit's size as `setup` samples the components: 8 x 8 for one component, else the largest
// sampling factors' multiple of 8. False where the setup fails.
bool unitOf(const ParallelJpegEncoder::Setup& setup, int& unitWidth, int& unitHeight)
{
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = failed;
    errors.base.emit_message = silent;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    setup(info);
    unitWidth = unitHeight = 8;
    for (int c = 0; c < info.num_components && info.num_components > 1; ++c) {
        unitWidth = std::max(unitWidth, 8 * info.comp_info[c].h_samp_factor);
        unitHeight = std::max(unitHeight, 8 * info.comp_info[c].v_samp_factor);
    }
    jpeg_destroy_compress(&info);
    return true;
}

// Where a JPEG's markers are: the start of frame (its height at +5), the start of scan, and where the
// entropy-coded data begins and ends (before the end of image). False when it is not such a JPEG.
struct Layout
{
    size_t frame = 0, scan = 0, dataBegin = 0, dataEnd = 0;
};

bool layoutOf(const std::vector<unsigned char>& jpeg, Layout& layout)
{
    size_t at = 2;
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return false;
    while (at + 4 <= jpeg.size()) {
        if (jpeg[at] != 0xFF)
            return false;
        const unsigned char marker = jpeg[at + 1];
        const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (marker == 0xC0 || marker == 0xC1)
            layout.frame = at;
        if (marker == 0xDA) {
            layout.scan = at;
            layout.dataBegin = at + 2 + length;
            layout.dataEnd = jpeg.size() - 2;
            return layout.frame != 0 && layout.dataBegin <= layout.dataEnd && jpeg[layout.dataEnd] == 0xFF &&
                   jpeg[layout.dataEnd + 1] == 0xD9;
        }
        at += 2 + length;
    }
    return false;
}

} // namespace

QByteArray ParallelJpegEncoder::encode(const Bitmap& bitmap, int quality)
{
    if (bitmap.isNull() || bitmap.format() != Bitmap::Format::RGBA8)
        return {};
    return inStrips(
        bitmap.width(), bitmap.height(),
        [quality](jpeg_compress_struct& info) {
            info.input_components = 4;
            info.in_color_space = JCS_EXT_RGBA; // the alpha byte is passed over
            jpeg_set_defaults(&info);
            jpeg_set_quality(&info, quality, TRUE);
            info.density_unit = 1;
            info.X_density = 96;
            info.Y_density = 96;
        },
        [&bitmap](int y) { return bitmap.row(y); });
}

QByteArray ParallelJpegEncoder::inStrips(int width, int height, const Setup& setup, const Row& row)
{
    int unitWidth = 8, unitHeight = 8;
    if (width <= 0 || height <= 0 || !unitOf(setup, unitWidth, unitHeight))
        return {};
    const int unitsAcross = (width + unitWidth - 1) / unitWidth;
    // Strips of whole units, a few per core, each a restart interval no longer than the marker holds.
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    int unitRows = std::max(1, (height + unitHeight * cores * 4 - 1) / (unitHeight * cores * 4));
    unitRows = std::min(unitRows, 65535 / std::max(1, unitsAcross));
    if (unitRows < 1)
        return {};
    const int stripRows = unitRows * unitHeight;
    const int strips = (height + stripRows - 1) / stripRows;
    if (strips < MinimumStrips)
        return {};
    std::vector<std::vector<unsigned char>> encoded(static_cast<size_t>(strips));
    std::atomic<bool> ok{true};
    CpuRendering::inBands(
        strips,
        [&](int begin, int end) {
            for (int s = begin; s < end && ok; ++s) {
                const int first = s * stripRows;
                encoded[size_t(s)] =
                    encodeStrip(width, first, std::min(stripRows, height - first), setup, row);
                if (encoded[size_t(s)].empty())
                    ok = false;
            }
        },
        1);
    if (!ok)
        return {};

    // The first strip's header with the whole picture's height and the restart interval, then every
    // strip's entropy-coded data, a restart marker between each two, and the end of the picture.
    std::vector<Layout> layouts(static_cast<size_t>(strips));
    size_t total = 0;
    for (int s = 0; s < strips; ++s) {
        if (!layoutOf(encoded[size_t(s)], layouts[size_t(s)]))
            return {};
        total += layouts[size_t(s)].dataEnd - layouts[size_t(s)].dataBegin + 2;
    }
    const Layout& head = layouts[0];
    QByteArray out;
    out.reserve(qsizetype(head.dataBegin + 6 + total + 2));
    const auto& first = encoded[0];
    out.append(reinterpret_cast<const char*>(first.data()), qsizetype(head.scan));
    out[qsizetype(head.frame + 5)] = char((height >> 8) & 0xFF);
    out[qsizetype(head.frame + 6)] = char(height & 0xFF);
    const unsigned interval = unsigned(unitsAcross) * unsigned(unitRows);
    const char restart[6] = {char(0xFF),           char(0xDD), 0, 4, char((interval >> 8) & 0xFF),
                             char(interval & 0xFF)};
    out.append(restart, 6);
    out.append(reinterpret_cast<const char*>(first.data() + head.scan),
               qsizetype(head.dataBegin - head.scan));
    for (int s = 0; s < strips; ++s) {
        const auto& bytes = encoded[size_t(s)];
        const Layout& layout = layouts[size_t(s)];
        if (s > 0) {
            const char marker[2] = {char(0xFF), char(0xD0 + (s - 1) % 8)};
            out.append(marker, 2);
        }
        out.append(reinterpret_cast<const char*>(bytes.data() + layout.dataBegin),
                   qsizetype(layout.dataEnd - layout.dataBegin));
    }
    const char end[2] = {char(0xFF), char(0xD9)};
    out.append(end, 2);
    return out;
}

} // namespace pf
