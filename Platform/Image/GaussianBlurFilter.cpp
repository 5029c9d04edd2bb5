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
// Chunks of rows are handed to the cores one at a time (not in runs of equal length), so that none
// finishes far behind the others.
constexpr int ChunksPerCore = 64;

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
// Level rows from `firstRow` on are computed into `level`'s rows from 0 on.
template <typename T>
void halveFromBitmap(const Bitmap& bitmap, int dx, int dy, cv::Mat& level, int firstRow = 0)
{
    using Sum = typename Level<T>::Sum;
    static constexpr int weights[5] = {1, 4, 6, 4, 1};
    const int width = level.cols, paddedWidth = 2 * width;
    // The bitmap columns each level row reads: the same for every row.
    const int c0 = std::max(0, -dx - 2), c1 = std::min(bitmap.width(), paddedWidth + 2 - dx);
    CpuRendering::inBands(level.rows, [&](int begin, int end) {
        // Padded columns c + dx for bitmap columns c, shifted by 2 for the left taps; those beyond the
        // bitmap stay zero, those inside are written whole for each row.
        std::vector<Sum> column(size_t(paddedWidth + 4) * 4, Sum(0));
        std::vector<T> zeros(size_t(std::max(0, c1)) * 4, T(0));
        Sum* __restrict dst = column.data() + size_t(dx + 2) * 4;
        const Sum* __restrict padded = column.data();
        for (int i = begin; i < end; ++i) {
            // The five rows read, a transparent one for those outside the bitmap; summed in one pass
            // in the order of the taps (as many passes, one a tap, gave the same values more slowly).
            const T* src[5];
            for (int a = 0; a < 5; ++a) {
                const int row = 2 * (firstRow + i) + a - 2 - dy;
                src[a] = row < 0 || row >= bitmap.height() ? zeros.data()
                                                           : reinterpret_cast<const T*>(bitmap.row(row));
            }
            const T* __restrict s0 = src[0], * __restrict s1 = src[1], * __restrict s2 = src[2], * __restrict s3 = src[3], * __restrict s4 = src[4];
            const size_t k0 = size_t(c0) * 4, k1 = size_t(c1) * 4; // in locals, as below
            for (size_t k = k0; k < k1; ++k)
                dst[k] = Sum(s0[k]) + Sum(weights[1]) * Sum(s1[k]) + Sum(weights[2]) * Sum(s2[k]) +
                         Sum(weights[3]) * Sum(s3[k]) + Sum(s4[k]);
            T* __restrict out = level.ptr<T>(i);
            const int columns = width; // in a local, as below
            for (int j = 0; j < columns; ++j) {
                const Sum* v = padded + size_t(2 * j) * 4; // padded column 2j - 2
                for (int ch = 0; ch < 4; ++ch)
                    out[j * 4 + ch] =
                        Level<T>::down(v[ch] + 4 * v[ch + 4] + 6 * v[ch + 8] + 4 * v[ch + 12] + v[ch + 16]);
            }
        }
    });
}

// A doubling of `level` (the library's pyrUp), only over `w` x `h` pixels of the finer level from
// padded pixel (x0, y0) on, into rows `stride` values apart at `dst`: padded pixel 2i is
// (L(i - 1) + 6 L(i) + L(i + 1)) / 8 of the level below and 2i + 1 is (L(i) + L(i + 1)) / 2, along each
// axis. The pixels start well inside the level.
template <typename T>
void doubleInto(const cv::Mat& level, int x0, int y0, T* dst, size_t stride, int w, int h)
{
    using Sum = typename Level<T>::Sum;
    const int first = x0 / 2 - 1, count = (x0 + w) / 2 + 2 - first; // level columns read
    const size_t n = size_t(count) * 4;
    CpuRendering::inBands(h, [&](int begin, int end) {
        // The row of the finer level at the level's resolution, then its even and odd columns, each
        // a loop over whole rows that vectorises; the output takes them in turn.
        std::vector<Sum> row(n);
        std::vector<T> even(n), odd(n);
        for (int r = begin; r < end; ++r) {
            const int y = y0 + r, i = y / 2;
            const T* above = level.ptr<T>(std::max(0, i - 1)) + size_t(first) * 4;
            const T* middle = level.ptr<T>(i) + size_t(first) * 4;
            const T* below = level.ptr<T>(std::min(level.rows - 1, i + 1)) + size_t(first) * 4;
            // Distinct buffers: said so, the compiler vectorises the loops.
            Sum* __restrict v = row.data();
            T* __restrict e = even.data();
            T* __restrict o = odd.data();
            if (y % 2 == 0)
                for (size_t k = 0; k < n; ++k)
                    v[k] = Sum(above[k]) + 6 * Sum(middle[k]) + Sum(below[k]);
            else
                for (size_t k = 0; k < n; ++k)
                    v[k] = 4 * (Sum(middle[k]) + Sum(below[k]));
            // Level column j gives padded column 2 (first + j) and the one after it.
            // Bounds in locals: stores of bytes could otherwise change them, as far as the compiler
            // knows, and it would not vectorise.
            const size_t last = n - 4; // n is at least 12
            for (size_t k = 4; k < last; ++k) {
                e[k] = Level<T>::up(v[k - 4] + 6 * v[k] + v[k + 4]);
                o[k] = Level<T>::up(4 * (v[k] + v[k + 4]));
            }
            T* __restrict out = dst + stride * size_t(r);
            // Even and odd padded columns in turn; x counts from level column `first` (2 or 3 for
            // the first pixel), so its half is the column in `even` and `odd`.
            const T* const columns[2] = {e, o};
            const int pixels = w, from = x0 - 2 * first;
            for (int c = 0; c < pixels; ++c) {
                const int x = from + c;
                std::memcpy(out + size_t(c) * 4, columns[x & 1] + size_t(x >> 1) * 4, 4 * sizeof(T));
            }
        }
    });
}

// The second level of the pyramid, made from the bitmap: each core takes a few rows of it at a time,
// makes the first level's rows they read (which exist only there) and halves them with the library.
// A band's own edges are reflected by the library like the level's; only rows that read no such
// edge are kept, so the values are those of the whole level halved.
template <typename T>
void quarterFromBitmap(const Bitmap& bitmap, int dx, int dy, int firstRows, cv::Mat& level)
{
    constexpr int ChunkRows = 16; // of the second level
    const int chunks = (level.rows + ChunkRows - 1) / ChunkRows;
    CpuRendering::inBands(
        chunks,
        [&](int begin, int end) {
            cv::Mat band, halved;
            for (int chunk = begin; chunk < end; ++chunk) {
                const int i0 = chunk * ChunkRows, i1 = std::min(level.rows, i0 + ChunkRows);
                // First-level rows 2 i - 2 .. 2 i + 2 of the chunk's rows (from an even row, so that the
                // band's halving lines up with the level's).
                const int r0 = i0 == 0 ? 0 : 2 * i0 - 2, r1 = std::min(firstRows - 1, 2 * i1);
                band.create(r1 - r0 + 1, 2 * level.cols, level.type());
                halveFromBitmap<T>(bitmap, dx, dy, band, r0);
                cv::pyrDown(band, halved);
                halved.rowRange(i0 - r0 / 2, i1 - r0 / 2).copyTo(level.rowRange(i0, i1));
            }
        },
        ChunksPerCore);
}

// The last two doublings: each core takes a few rows of the output at a time, doubles the part of the
// second level they read with the library (the first level exists only there; rows that read the
// part's own edges are not used) and doubles that into the output. `x0`, `y0`: the region's first
// pixel in the padded full-size grid.
template <typename T> void doubleTwiceInto(const cv::Mat& second, int x0, int y0, Bitmap& out)
{
    const int w = out.width(), h = out.height();
    constexpr int ChunkRows = 32;
    T* const target = reinterpret_cast<T*>(out.mutableData());
    const size_t stride = out.bytesPerRow() / sizeof(T);
    CpuRendering::inBands(
        (h + ChunkRows - 1) / ChunkRows,
        [&](int begin, int end) {
            cv::Mat first;
            for (int chunk = begin; chunk < end; ++chunk) {
                const int b0 = chunk * ChunkRows, rows = std::min(ChunkRows, h - b0);
                const int y = y0 + b0;
                const int f0 = y / 2 - 1, f1 = (y + rows - 1) / 2 + 1; // first-level rows read
                const int s0 = std::max(0, f0 / 2 - 1), s1 = std::min(second.rows - 1, f1 / 2 + 1);
                const cv::Mat part = second.rowRange(s0, s1 + 1);
                cv::pyrUp(part, first, cv::Size(part.cols * 2, part.rows * 2));
                doubleInto<T>(first, x0, y - 4 * s0, target + stride * size_t(b0), stride, w, rows);
            }
        },
        ChunksPerCore);
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
        // The first level never exists whole: the second is made from the bitmap and the first's
        // bands, and the output from the second and the first's bands.
        std::vector<cv::Mat> levels(PyramidLevels + 1);
        levels[2].create(ph / 4, pw / 4, type);
        // Bitmap pixel (column, row) is padded pixel (column + dx, row + dy).
        if (bytes)
            quarterFromBitmap<uint8_t>(bitmap, grow - startX, grow - startY, ph / 2, levels[2]);
        else
            quarterFromBitmap<float>(bitmap, grow - startX, grow - startY, ph / 2, levels[2]);
        for (int i = 3; i <= PyramidLevels; ++i)
            cv::pyrDown(levels[size_t(i) - 1], levels[size_t(i)]);
        const double pyramidVariance = 2.0 * (1 + 4 + 16);
        cv::Mat& smallest = levels[PyramidLevels];
        cv::GaussianBlur(smallest, smallest, cv::Size(0, 0),
                         std::sqrt((sigma * sigma - pyramidVariance) / 64.0));
        for (int i = PyramidLevels; i > 2; --i)
            cv::pyrUp(levels[size_t(i)], levels[size_t(i) - 1], levels[size_t(i) - 1].size());
        if (bytes)
            doubleTwiceInto<uint8_t>(levels[2], cx0 - startX, ry0 - startY, out);
        else
            doubleTwiceInto<float>(levels[2], cx0 - startX, ry0 - startY, out);
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
