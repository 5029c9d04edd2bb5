#include "Platform/Image/MedianFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cstring>
#include <opencv2/imgproc.hpp>

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {

// The median of a bitmap on the CPU, with the library's sorting network, in bands on all cores. Each
// band reads one row beyond its edges; pixels on the picture's own border, where the library would
// repeat the edge, are then redone with transparent neighbours as the kernel reads them.
bool medianOfBitmap(const Bitmap& bitmap, const Rect& region, Bitmap& out)
{
    const bool bytes = bitmap.format() == Bitmap::Format::RGBA8;
    const int type = bytes ? CV_8UC4 : CV_32FC4;
    const cv::Mat source(bitmap.height(), bitmap.width(), type, const_cast<uint8_t*>(bitmap.data()),
                         bitmap.bytesPerRow());
    cv::Mat target(out.height(), out.width(), type, out.mutableData(), out.bytesPerRow());
    const int x0 = int(region.minX()), top = bitmap.height() - int(region.maxY());
    const int w = out.width(), h = out.height();
    const int c0 = std::max(0, x0 - 1), c1 = std::min(bitmap.width(), x0 + w + 1);
    CpuRendering::inBands(
        h,
        [&](int begin, int end) {
            const int r0 = std::max(0, top + begin - 1), r1 = std::min(bitmap.height(), top + end + 1);
            cv::Mat part;
            cv::medianBlur(source(cv::Range(r0, r1), cv::Range(c0, c1)), part, 3);
            part(cv::Range(top + begin - r0, top + end - r0), cv::Range(x0 - c0, x0 - c0 + w))
                .copyTo(target.rowRange(begin, end));
        },
        1);
    // The picture's border: neighbours outside it are transparent.
    const int width = bitmap.width(), height = bitmap.height();
    auto redo = [&](int x, int row) {
        if (x < x0 || x >= x0 + w || row < top || row >= top + h)
            return;
        const int bpp = Bitmap::bytesPerPixel(bitmap.format());
        for (int channel = 0; channel < 4; ++channel) {
            float values[9];
            int n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int sx = x + dx, sy = row + dy;
                    float v = 0;
                    if (sx >= 0 && sx < width && sy >= 0 && sy < height) {
                        const uint8_t* p = bitmap.row(sy) + size_t(sx) * bpp;
                        v = bytes ? float(p[channel]) : reinterpret_cast<const float*>(p)[channel];
                    }
                    values[n++] = v;
                }
            std::nth_element(values, values + 4, values + 9);
            uint8_t* q = out.mutableRow(row - top) + size_t(x - x0) * bpp;
            if (bytes)
                q[channel] = uint8_t(values[4]);
            else
                reinterpret_cast<float*>(q)[channel] = values[4];
        }
    };
    for (int x = 0; x < width; ++x) {
        redo(x, 0);
        redo(x, height - 1);
    }
    for (int row = 1; row + 1 < height; ++row) {
        redo(0, row);
        redo(width - 1, row);
    }
    return true;
}

} // namespace

MedianFilter::MedianFilter() : Filter(QStringLiteral("CIMedianFilter"))
{
    declareInput(InputImageKey, imageAttributes());
}

Image MedianFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    // The median of nine by a fixed network of 19 exchanges, on all four channels at once.
    static const Kernel kernel =
        kernelNamed(QString::fromUtf8(kernelTexts::Engine::Median), QStringLiteral("median3x3"));
    ApplyOptions options;
    options.definition = input.definition().extent();
    options.extent = input.extent();
    options.regionOfInterest = [](int, const Rect& destination) { return grown(destination, 1, 1); };
    const Sampler sampler(onPixelGrid(input), Sampler::FilterMode::Nearest);
    const Image median = kernel.apply({QVariant::fromValue(sampler)}, options);
    // A bitmap's median is taken on the CPU, exactly as the kernel takes it; so is any other input's
    // of a size in pixels, rendered once for it (over the part asked for and one pixel around it).
    const Rect bounds = input.extent();
    if (RenderStatistics::cpuFiltersEnabled() && !CpuRendering::placedBitmap(input) && !bounds.isNull() &&
        !bounds.isInfinite() && bounds == bounds.integral() && !bounds.isEmpty() &&
        bounds.width() * bounds.height() < 4e8) {
        return CpuRendering::attach(
            median,
            std::make_shared<const CpuRendering>(
                bounds, Bitmap::Format::RGBAf,
                [input, bounds](const Rect& region, Bitmap& out) {
                    // In bands of rows, one after the other (each on all cores): the input around a
                    // band, in the band's own format (8-bit values give the 8-bit rounding of the float
                    // median, exactly), then its median. No intermediate of the whole size is made,
                    // and a band's pixels are still in the caches when their median is taken.
                    constexpr int BandRows = 256;
                    const Rect absolute = region.offsetBy(bounds.minX(), bounds.minY());
                    const int w = out.width(), h = out.height();
                    const size_t rowBytes = size_t(w) * size_t(Bitmap::bytesPerPixel(out.format()));
                    for (int first = 0; first < h; first += BandRows) {
                        const int rows = std::min(BandRows, h - first); // out's rows, top-down
                        const Rect band(absolute.minX(), absolute.maxY() - first - rows, w, rows);
                        const Rect around = band.insetBy(-1, -1).intersected(bounds);
                        const auto pixels = CpuRendering::renderInput(input, around, out.format());
                        if (!pixels)
                            return false;
                        // Its edges are the picture's where it reaches them, and lie outside the band
                        // elsewhere: the bitmap's median over the band is the picture's.
                        Bitmap part(w, rows, out.format(), Bitmap::Fill::Uninitialized);
                        if (part.isNull() ||
                            !medianOfBitmap(*pixels, band.offsetBy(-around.minX(), -around.minY()), part))
                            return false;
                        for (int row = 0; row < rows; ++row)
                            std::memcpy(out.mutableRow(first + row), part.row(row), rowBytes);
                    }
                    return true;
                },
                true));
    }
    if (const auto placed = CpuRendering::placedBitmap(input)) {
        const Bitmap bitmap = placed->bitmap;
        return CpuRendering::attach(median, std::make_shared<const CpuRendering>(
                                                Rect(placed->x, placed->y, bitmap.width(), bitmap.height()),
                                                bitmap.format(), [bitmap](const Rect& region, Bitmap& out) {
                                                    return medianOfBitmap(bitmap, region, out);
                                                }));
    }
    return median;
}

} // namespace pf
