#include "Platform/Image/GaussianBlurFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/ResamplingStages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <opencv2/imgproc.hpp>

namespace pf {

using namespace builtin;

namespace {

// From this sigma on, a bitmap is blurred on the CPU through a pyramid: three halvings, a Gaussian at
// an eighth of the size, three doublings. Each halving and doubling filters with [1 4 6 4 1] / 16, of
// variance 1 in the finer level's pixels, so the six add 2 (1 + 4 + 16) = 42 input pixels squared
// and the small Gaussian adds the rest.
constexpr double PyramidSigma = 12.0;
constexpr int PyramidLevels = 3;

// Pixels `region` of the blur of a bitmap that sits `grow` pixels inside the blur's own extent. The
// part of the bitmap the region needs, with transparent pixels around it, is copied into a buffer
// whose sides the pyramid halves evenly.
bool pyramidBlur(const Bitmap& bitmap, double sigma, int grow, const Rect& region, Bitmap& out)
{
    const bool bytes = bitmap.format() == Bitmap::Format::RGBA8;
    const int type = bytes ? CV_8UC4 : CV_32FC4;
    const int bpp = Bitmap::bytesPerPixel(bitmap.format());
    const int outerHeight = bitmap.height() + 2 * grow;
    // Top-down columns and rows of the region in the blur's own pixels.
    const int cx0 = int(region.minX()), ry0 = outerHeight - int(region.maxY());
    const int w = out.width(), h = out.height();
    // The buffer starts on the coarsest level's grid of the blur's own pixels, so that every region
    // is blurred by the same pyramid: renders in parts match renders whole.
    const int step = 1 << PyramidLevels;
    const int margin = (int(std::ceil(4 * sigma)) + 16 + step - 1) / step * step;
    const int startX = cx0 - margin - (((cx0 % step) + step) % step);
    const int startY = ry0 - margin - (((ry0 % step) + step) % step);
    const int pw = (cx0 + w + margin - startX + step - 1) / step * step;
    const int ph = (ry0 + h + margin - startY + step - 1) / step * step;
    cv::Mat padded;
    try {
        padded = cv::Mat::zeros(ph, pw, type);
    } catch (const cv::Exception&) {
        return false;
    }
    // Bitmap pixel (column, row) is padded pixel (column + dx, row + dy).
    const int dx = grow - startX, dy = grow - startY;
    const int c0 = std::max(0, -dx), c1 = std::min(bitmap.width(), pw - dx);
    const int r0 = std::max(0, -dy), r1 = std::min(bitmap.height(), ph - dy);
    if (c0 < c1 && r0 < r1)
        CpuRendering::inBands(r1 - r0, [&](int begin, int end) {
            for (int row = r0 + begin; row < r0 + end; ++row)
                std::memcpy(padded.ptr(row + dy) + size_t(c0 + dx) * bpp, bitmap.row(row) + size_t(c0) * bpp,
                            size_t(c1 - c0) * bpp);
        });
    try {
        std::vector<cv::Mat> levels(PyramidLevels + 1);
        levels[0] = padded;
        for (int i = 1; i <= PyramidLevels; ++i)
            cv::pyrDown(levels[size_t(i) - 1], levels[size_t(i)]);
        const double pyramidVariance = 2.0 * (1 + 4 + 16);
        cv::Mat& smallest = levels[PyramidLevels];
        cv::GaussianBlur(smallest, smallest, cv::Size(0, 0),
                         std::sqrt((sigma * sigma - pyramidVariance) / 64.0));
        // The last doubling lands in the first buffer again: its own pixels are no longer needed.
        for (int i = PyramidLevels; i > 0; --i)
            cv::pyrUp(levels[size_t(i)], levels[size_t(i) - 1], levels[size_t(i) - 1].size());
        const cv::Mat result = levels[0](cv::Rect(cx0 - startX, ry0 - startY, w, h));
        CpuRendering::inBands(h, [&](int begin, int end) {
            for (int row = begin; row < end; ++row)
                std::memcpy(out.mutableRow(row), result.ptr(row), size_t(w) * bpp);
        });
    } catch (const cv::Exception&) {
        return false;
    }
    return true;
}

} // namespace

GaussianBlurFilter::GaussianBlurFilter() : Filter(QStringLiteral("CIGaussianBlur"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputRadiusKey, numberAttributes(10.0, 0.0, 100.0, FilterAttribute::TypeScalar));
}

Image GaussianBlurFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    // The radius is the standard deviation. Beyond 3 of them less than 0.2% of a value arrives, so
    // that is where the extent ends.
    const double sigma = numberValue(InputRadiusKey, 10.0);
    if (!(sigma > 0.0) || !std::isfinite(sigma))
        return input;
    const double growth = std::ceil(3.0 * sigma);
    const Image blurred = ResamplingStages::gaussian(input, sigma, grown(input.extent(), growth, growth));
    // A large blur of a bitmap goes through the library's pyramid on the CPU, of the same accuracy.
    if (sigma >= PyramidSigma) {
        if (const auto placed = CpuRendering::placedBitmap(input)) {
            const Bitmap bitmap = placed->bitmap;
            const int grow = int(growth);
            return CpuRendering::attach(
                blurred, std::make_shared<const CpuRendering>(
                             Rect(placed->x - grow, placed->y - grow, bitmap.width() + 2 * grow,
                                  bitmap.height() + 2 * grow),
                             bitmap.format(), [bitmap, sigma, grow](const Rect& region, Bitmap& out) {
                                 return pyramidBlur(bitmap, sigma, grow, region, out);
                             }));
        }
    }
    return blurred;
}

} // namespace pf
