#include "Platform/Image/GaussianBlurFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/ResamplingStages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <type_traits>
#include <vector>

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
// 8-bit levels round as the library's halvings and doublings do; float levels keep every digit.
template <typename T> struct Level
{
    static constexpr bool bytes = std::is_same_v<T, uint8_t>;
    using Sum = std::conditional_t<bytes, int, float>;
    static T down(Sum sum) // sum of weights 256
    {
        if constexpr (bytes)
            return T((sum + 128) >> 8);
        else
            return sum * (1.0f / 256);
    }
    static T up(Sum sum) // sum of weights 64
    {
        if constexpr (bytes)
            return T((sum + 32) >> 6);
        else
            return sum * (1.0f / 64);
    }
};

// The first halving, read straight from the bitmap with transparent pixels around it, instead of
// from a copy of it with a margin: level pixel (i, j) weighs padded pixels 2 (i, j) + (-2..2) by
// [1 4 6 4 1] / 16 along each axis, and bitmap pixel (c, r) is padded pixel (c + dx, r + dy).
template <typename T> void halveFromBitmap(const Bitmap& bitmap, int dx, int dy, cv::Mat& level)
{
    using Sum = typename Level<T>::Sum;
    static constexpr int weights[5] = {1, 4, 6, 4, 1};
    const int width = level.cols, paddedWidth = 2 * width;
    CpuRendering::inBands(level.rows, [&](int begin, int end) {
        std::vector<Sum> column(size_t(paddedWidth + 4) * 4);
        for (int i = begin; i < end; ++i) {
            std::fill(column.begin(), column.end(), Sum(0));
            for (int a = 0; a < 5; ++a) {
                const int row = 2 * i + a - 2 - dy;
                if (row < 0 || row >= bitmap.height())
                    continue;
                const T* src = reinterpret_cast<const T*>(bitmap.row(row));
                // Padded columns c + dx for bitmap columns c, shifted by 2 for the left taps.
                Sum* dst = column.data() + size_t(dx + 2) * 4;
                const int c0 = std::max(0, -dx - 2), c1 = std::min(bitmap.width(), paddedWidth + 2 - dx);
                for (int k = c0 * 4; k < c1 * 4; ++k)
                    dst[k] += Sum(weights[a]) * Sum(src[k]);
            }
            T* out = level.ptr<T>(i);
            for (int j = 0; j < width; ++j)
                for (int ch = 0; ch < 4; ++ch) {
                    const Sum* v = column.data() + size_t(2 * j) * 4 + ch; // padded column 2j - 2
                    out[j * 4 + ch] = Level<T>::down(v[0] + 4 * v[4] + 6 * v[8] + 4 * v[12] + v[16]);
                }
        }
    });
}

// The last doubling, only over the region wanted and straight into `out`: padded pixel 2i is
// (L(i - 1) + 6 L(i) + L(i + 1)) / 8 of the level below and 2i + 1 is (L(i) + L(i + 1)) / 2, along each
// axis. The region starts at padded pixel (x0, y0), well inside the level.
template <typename T> void doubleInto(const cv::Mat& level, int x0, int y0, Bitmap& out)
{
    using Sum = typename Level<T>::Sum;
    const int w = out.width();
    const int first = x0 / 2 - 1, count = (x0 + w) / 2 + 2 - first; // level columns read
    CpuRendering::inBands(out.height(), [&](int begin, int end) {
        std::vector<Sum> row(size_t(count) * 4);
        for (int r = begin; r < end; ++r) {
            const int y = y0 + r, i = y / 2;
            const T* above = level.ptr<T>(std::max(0, i - 1)) + size_t(first) * 4;
            const T* middle = level.ptr<T>(i) + size_t(first) * 4;
            const T* below = level.ptr<T>(std::min(level.rows - 1, i + 1)) + size_t(first) * 4;
            for (int k = 0; k < count * 4; ++k)
                row[size_t(k)] = y % 2 == 0 ? Sum(above[k]) + 6 * Sum(middle[k]) + Sum(below[k])
                                            : 4 * (Sum(middle[k]) + Sum(below[k]));
            T* dst = reinterpret_cast<T*>(out.mutableRow(r));
            for (int c = 0; c < w; ++c) {
                const int x = x0 + c, j = x / 2 - first;
                const Sum* v = row.data() + size_t(j) * 4;
                for (int ch = 0; ch < 4; ++ch)
                    dst[c * 4 + ch] = Level<T>::up(x % 2 == 0 ? v[ch - 4] + 6 * v[ch] + v[ch + 4]
                                                              : 4 * (v[ch] + v[ch + 4]));
            }
        }
    });
}

bool pyramidBlur(const Bitmap& bitmap, double sigma, int grow, const Rect& region, Bitmap& out)
{
    const bool bytes = bitmap.format() == Bitmap::Format::RGBA8;
    const int type = bytes ? CV_8UC4 : CV_32FC4;
    const int outerHeight = bitmap.height() + 2 * grow;
    // Top-down columns and rows of the region in the blur's own pixels.
    const int cx0 = int(region.minX()), ry0 = outerHeight - int(region.maxY());
    const int w = out.width(), h = out.height();
    // The levels start on the coarsest level's grid of the blur's own pixels, so that every region is
    // blurred by the same pyramid: renders in parts match renders whole. The margin holds what the
    // pyramid reaches beyond the region.
    const int step = 1 << PyramidLevels;
    const int margin = (int(std::ceil(4 * sigma)) + 16 + step - 1) / step * step;
    const int startX = cx0 - margin - (((cx0 % step) + step) % step);
    const int startY = ry0 - margin - (((ry0 % step) + step) % step);
    const int pw = (cx0 + w + margin - startX + step - 1) / step * step;
    const int ph = (ry0 + h + margin - startY + step - 1) / step * step;
    try {
        std::vector<cv::Mat> levels(PyramidLevels + 1);
        levels[1].create(ph / 2, pw / 2, type);
        // Bitmap pixel (column, row) is padded pixel (column + dx, row + dy).
        if (bytes)
            halveFromBitmap<uint8_t>(bitmap, grow - startX, grow - startY, levels[1]);
        else
            halveFromBitmap<float>(bitmap, grow - startX, grow - startY, levels[1]);
        for (int i = 2; i <= PyramidLevels; ++i)
            cv::pyrDown(levels[size_t(i) - 1], levels[size_t(i)]);
        const double pyramidVariance = 2.0 * (1 + 4 + 16);
        cv::Mat& smallest = levels[PyramidLevels];
        cv::GaussianBlur(smallest, smallest, cv::Size(0, 0),
                         std::sqrt((sigma * sigma - pyramidVariance) / 64.0));
        for (int i = PyramidLevels; i > 1; --i)
            cv::pyrUp(levels[size_t(i)], levels[size_t(i) - 1], levels[size_t(i) - 1].size());
        if (bytes)
            doubleInto<uint8_t>(levels[1], cx0 - startX, ry0 - startY, out);
        else
            doubleInto<float>(levels[1], cx0 - startX, ry0 - startY, out);
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
