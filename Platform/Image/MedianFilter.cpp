#include "Platform/Image/MedianFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {

// Minimum and maximum of one value of a channel, or of a vector of them.
template <typename T> struct Lanes
{
    static constexpr int Width = 1;
    using V = T;
    static V load(const T* p) { return *p; }
    static void store(T* p, V v) { *p = v; }
    static V lo(V a, V b) { return std::min(a, b); }
    static V hi(V a, V b) { return std::max(a, b); }
};

#ifdef __SSE2__
// Sixteen 8-bit values (four pixels) at a time.
struct ByteLanes
{
    static constexpr int Width = 16;
    using V = __m128i;
    static V load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store(uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static V lo(V a, V b) { return _mm_min_epu8(a, b); }
    static V hi(V a, V b) { return _mm_max_epu8(a, b); }
};

// Four floats (one pixel) at a time. The operand order is that of std::min and std::max, so that a NaN
// goes the same way in the vector loop as in the scalar tail.
struct FloatLanes
{
    static constexpr int Width = 4;
    using V = __m128;
    static V load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, V v) { _mm_storeu_ps(p, v); }
    static V lo(V a, V b) { return _mm_min_ps(b, a); }
    static V hi(V a, V b) { return _mm_max_ps(b, a); }
};
#endif

// The three values of each column sorted: lowest, middle and highest.
template <typename L, typename T>
void sortColumns(const T* a, const T* b, const T* c, T* low, T* middle, T* high, int i)
{
    const auto x = L::load(a + i), y = L::load(b + i), z = L::load(c + i);
    const auto small = L::lo(x, y), large = L::hi(x, y);
    L::store(low + i, L::lo(small, z));
    L::store(high + i, L::hi(large, z));
    L::store(middle + i, L::hi(small, L::lo(large, z)));
}

// The median of nine from three sorted columns (at i - 4, i and i + 4): the median of the highest low,
// the middle of the middles and the lowest high.
template <typename L, typename T>
void medianOfColumns(const T* low, const T* middle, const T* high, T* out, int i)
{
    auto med3 = [](auto x, auto y, auto z) { return L::hi(L::lo(x, y), L::lo(L::hi(x, y), z)); };
    const auto highestLow = L::hi(L::hi(L::load(low + i - 4), L::load(low + i)), L::load(low + i + 4));
    const auto lowestHigh = L::lo(L::lo(L::load(high + i - 4), L::load(high + i)), L::load(high + i + 4));
    const auto middle3 = med3(L::load(middle + i - 4), L::load(middle + i), L::load(middle + i + 4));
    L::store(out + i, med3(highestLow, middle3, lowestHigh));
}

// The median of every channel over each pixel's 3 x 3 neighbourhood, transparent outside the bitmap (as
// the kernel reads it), for `region` (y up, in the bitmap's pixels) into `h` rows of `w` pixels at
// `out`, `stride` bytes apart, top-down. In bands on all cores; each column of three values is sorted
// once for the three pixels that read it.
template <typename T, typename Vector>
void medianRows(const Bitmap& bitmap, const Rect& region, uint8_t* out, size_t stride, int w, int h)
{
    const int x0 = int(region.minX()), top = bitmap.height() - int(region.maxY());
    const int width = bitmap.width(), height = bitmap.height();
    // Columns x0 - 1 .. x0 + w are read; those inside the bitmap:
    const int first = std::clamp(x0 - 1, 0, width), last = std::clamp(x0 + w + 1, 0, width);
    const int lead = (first - (x0 - 1)) * 4; // values before the first column inside, transparent
    const int inside = (last - first) * 4, count = (w + 2) * 4;
    CpuRendering::inBands(h, [&bitmap, out, stride, w, top, height, first, lead, inside, count](int begin,
                                                                                                int end) {
        // Sorted columns x0 - 1 .. x0 + w; those outside the bitmap stay transparent.
        std::vector<T> buffers(size_t(count) * 3, T(0));
        const std::vector<T> zeros(size_t(std::max(inside, 0)), T(0));
        T* const low = buffers.data();
        T* const middle = low + count;
        T* const high = middle + count;
        const int n = w * 4;
        for (int r = begin; r < end; ++r) {
            const int y = top + r;
            auto rowAt = [&](int sy) {
                return sy >= 0 && sy < height ? reinterpret_cast<const T*>(bitmap.row(sy)) + size_t(first) * 4
                                              : zeros.data();
            };
            const T *a = rowAt(y - 1), *b = rowAt(y), *c = rowAt(y + 1);
            T* const lo = low + lead;
            T* const mid = middle + lead;
            T* const hi = high + lead;
            int i = 0;
            for (; i + Vector::Width <= inside; i += Vector::Width)
                sortColumns<Vector>(a, b, c, lo, mid, hi, i);
            for (; i < inside; ++i)
                sortColumns<Lanes<T>>(a, b, c, lo, mid, hi, i);
            T* const dst = reinterpret_cast<T*>(out + stride * size_t(r));
            int j = 0;
            for (; j + Vector::Width <= n; j += Vector::Width)
                medianOfColumns<Vector>(low + 4, middle + 4, high + 4, dst, j);
            for (; j < n; ++j)
                medianOfColumns<Lanes<T>>(low + 4, middle + 4, high + 4, dst, j);
        }
    });
}

bool medianOfBitmap(const Bitmap& bitmap, const Rect& region, uint8_t* out, size_t stride, int w, int h)
{
    if (w <= 0 || h <= 0)
        return true;
    try {
#ifdef __SSE2__
        if (bitmap.format() == Bitmap::Format::RGBA8)
            medianRows<uint8_t, ByteLanes>(bitmap, region, out, stride, w, h);
        else
            medianRows<float, FloatLanes>(bitmap, region, out, stride, w, h);
#else
        if (bitmap.format() == Bitmap::Format::RGBA8)
            medianRows<uint8_t, Lanes<uint8_t>>(bitmap, region, out, stride, w, h);
        else
            medianRows<float, Lanes<float>>(bitmap, region, out, stride, w, h);
#endif
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool medianOfBitmap(const Bitmap& bitmap, const Rect& region, Bitmap& out)
{
    return medianOfBitmap(bitmap, region, out.mutableData(), out.bytesPerRow(), out.width(), out.height());
}

// The median of an input that is not a bitmap over `region` (whole pixels inside `bounds`, y up, from
// its lower-left corner) into `out` (8-bit or float pixels): the input is rendered a few rows at a
// time, in the output's format (8-bit values give the 8-bit rounding of the float median, exactly),
// with a row above and below, and their median taken while those rows are still in the caches. No
// intermediate of the whole size is made.
bool medianOfRendered(const Image& input, const Rect& bounds, const Rect& region, Bitmap& out)
{
    const Rect absolute = region.offsetBy(bounds.minX(), bounds.minY());
    const int w = out.width(), h = out.height();
    uint8_t* const target = out.mutableData();
    const size_t stride = out.bytesPerRow();
    // `rows` of out's rows from `first` (top-down), from the input around them, rendered into `pixels`.
    // Its edges are the picture's where it reaches them and lie outside the rows elsewhere, so the
    // bitmap's median over the rows is the picture's.
    auto medianOfRows = [&](Bitmap& pixels, int first, int rows) {
        const Rect part(absolute.minX(), absolute.maxY() - first - rows, w, rows);
        const Rect around = part.insetBy(-1, -1).intersected(bounds);
        if (pixels.width() != int(around.width()) || pixels.height() != int(around.height())) {
            pixels =
                Bitmap(int(around.width()), int(around.height()), out.format(), Bitmap::Fill::Uninitialized);
            if (pixels.isNull())
                return false;
        }
        return CpuRendering::renderInput(input, around, pixels) &&
               medianOfBitmap(pixels, part.offsetBy(-around.minX(), -around.minY()),
                              target + stride * size_t(first), stride, w, rows);
    };
    if (CpuKernelRenderer::rendersAlone(input.node())) {
        // Rendered on the CPU alone: each core takes a few rows at a time, renders them and takes their
        // median, all in one job (its cores wait for one another once), the rows in the core's own cache.
        constexpr int SliceRows = 32;
        const int slices = (h + SliceRows - 1) / SliceRows;
        std::atomic<bool> ok{true};
        CpuRendering::inBands(slices, [&](int begin, int end) {
            Bitmap pixels;
            for (int slice = begin; slice < end && ok.load(std::memory_order_relaxed); ++slice) {
                const int first = slice * SliceRows;
                if (!medianOfRows(pixels, first, std::min(SliceRows, h - first)))
                    ok = false;
            }
        });
        return ok;
    }
    // Otherwise in bands one after the other, each rendered on all cores (passes among them): with the
    // row above and below a band's input is 512 rows, whole tiles for the kernels that make it.
    constexpr int BandRows = 510;
    Bitmap pixels; // reused from band to band
    for (int first = 0; first < h; first += BandRows)
        if (!medianOfRows(pixels, first, std::min(BandRows, h - first)))
            return false;
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
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel =
        *new Kernel(kernelNamed(QString::fromUtf8(kernelTexts::Engine::Median), QStringLiteral("median3x3")));
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
        return CpuRendering::attach(median, std::make_shared<const CpuRendering>(
                                                bounds, Bitmap::Format::RGBAf,
                                                [input, bounds](const Rect& region, Bitmap& out) {
                                                    return medianOfRendered(input, bounds, region, out);
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
