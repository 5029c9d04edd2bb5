#include "Platform/Image/LanczosScaleTransformFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {

const QString InputAspectRatioKey = QStringLiteral("inputAspectRatio");

// One pass along `axis`: output position u reads input x = u / scale. The three-lobe kernel is
// L(t) = sinc(t) sinc(t / 3), t = (x_j - x) * stretch, stretch = min(scale, 1). Taps are one input pixel
// apart, so both sines advance by a fixed rotation per tap instead of being evaluated anew.
const QString LanczosText = QString::fromUtf8(kernelTexts::Engine::Lanczos);

enum class Axis
{
    X,
    Y
};

Image lanczosAlong(const Image& input, Axis axis, double scale, const std::optional<Rect>& extent)
{
    static const Kernel kernel = kernelNamed(LanczosText, QStringLiteral("lanczosAlong"));
    const double stretch = std::min(scale, 1.0);
    const double reach = 3.0 / stretch; // input pixels either side
    const bool x = axis == Axis::X;
    // Grows a rectangle along the axis, then scales that axis.
    auto along = [x](const Rect& r, double grow, double factor) {
        if (r.isNull() || r.isInfinite())
            return r;
        const double lo = ((x ? r.minX() : r.minY()) - grow) * factor;
        const double hi = ((x ? r.maxX() : r.maxY()) + grow) * factor;
        return x ? Rect(lo, r.minY(), hi - lo, r.height()) : Rect(r.minX(), lo, r.width(), hi - lo);
    };
    ApplyOptions options;
    options.definition = along(input.definition().extent(), reach, scale).integral();
    if (extent)
        options.extent = *extent;
    options.regionOfInterest = [along, scale, reach](int, const Rect& destination) {
        return along(along(destination, 0, 1.0 / scale), reach + 1, 1.0);
    };
    const Sampler sampler(input, Sampler::FilterMode::Nearest);
    const Vector axisVector = x ? Vector(1, 0) : Vector(0, 1);
    return kernel.apply({QVariant::fromValue(sampler), QVariant::fromValue(axisVector),
                         QVariant::fromValue(Vector(scale, stretch, reach, 0))},
                        options);
}

// The same two passes on the CPU. The taps of each output position along an axis, as the kernel
// finds them: input pixel `first + i` with weight L((first + i + 0.5 - x) * stretch), x = (u + 0.5) /
// scale, normalised by their sum (taps outside the input read transparent and still count).
struct Taps
{
    int first = 0;
    std::vector<float> weights;
};

std::vector<Taps> tapsAlong(int origin, int count, double scale)
{
    const float PI = 3.14159265358979f;
    const float stretch = float(std::min(scale, 1.0));
    const float reach = 3.0f / stretch;
    const int taps = int(2.0f * reach) + 2;
    std::vector<Taps> out(size_t(std::max(0, count)));
    for (int k = 0; k < count; ++k) {
        const float x = (float(origin + k) + 0.5f) / float(scale);
        const float first = std::floor(x - reach + 0.5f) + 0.5f;
        Taps& t = out[size_t(k)];
        t.first = int(std::floor(first));
        float total = 0;
        for (int i = 0; i < taps; ++i) {
            const float d = (first + float(i) - x) * stretch;
            const float w = std::abs(d) < 1e-4f ? 1.0f
                            : std::abs(d) >= 3.0f
                                ? 0.0f
                                : 3.0f * std::sin(PI * d) * std::sin(PI * d / 3.0f) / (PI * PI * d * d);
            t.weights.push_back(w);
            total += w;
        }
        for (float& w : t.weights)
            w /= total;
    }
    return out;
}

// `column[k]` = the sum over i of weights[i] * rows[i][k], k < n, added in the order of the rows (the
// kernel's order). Thirty-two values at a time where the processor has SSE2, their sums kept in
// registers over all the rows: a strong reduction reads dozens of rows for each output row, and sums
// kept in memory cost a load and a store per row and value.
template <typename T>
void sumRows(const T* const* rows, const float* weights, int count, float* column, size_t n)
{
    size_t k = 0;
#ifdef __SSE2__
    for (; k + 32 <= n; k += 32) {
        __m128 a[8];
        for (__m128& v : a)
            v = _mm_setzero_ps();
        for (int i = 0; i < count; ++i) {
            const __m128 w = _mm_set1_ps(weights[i]);
            const T* in = rows[i] + k;
            if constexpr (std::is_same_v<T, uint8_t>) {
                const __m128i zero = _mm_setzero_si128();
                for (int h = 0; h < 2; ++h) {
                    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + h * 16));
                    const __m128i lo = _mm_unpacklo_epi8(bytes, zero), hi = _mm_unpackhi_epi8(bytes, zero);
                    const __m128i words[4] = {_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero),
                                              _mm_unpacklo_epi16(hi, zero), _mm_unpackhi_epi16(hi, zero)};
                    for (int q = 0; q < 4; ++q)
                        a[h * 4 + q] = _mm_add_ps(a[h * 4 + q], _mm_mul_ps(w, _mm_cvtepi32_ps(words[q])));
                }
            } else {
                for (int q = 0; q < 8; ++q)
                    a[q] = _mm_add_ps(a[q], _mm_mul_ps(w, _mm_loadu_ps(in + q * 4)));
            }
        }
        for (int q = 0; q < 8; ++q)
            _mm_storeu_ps(column + k + size_t(q) * 4, a[q]);
    }
#endif
    for (; k < n; ++k) {
        float s = 0;
        for (int i = 0; i < count; ++i)
            s += weights[i] * float(rows[i][k]);
        column[k] = s;
    }
}

// The output pixels `region` (absolute, whole pixels, `out`'s size, rows top-down) of the scaling of a
// bitmap (RGBA8 or RGBAf) whose lower-left corner lies at (px, py); transparent around it. Down the
// columns first: each output row is a weighted sum of whole input rows, which vectorises over the row;
// then along that row. Taps that miss the bitmap still count in the norm, as the kernel's do.
template <typename T>
void lanczosOfPixels(const Bitmap& bitmap, int px, int py, double sx, double sy, const Rect& region,
                     Bitmap& out)
{
    constexpr float unit = std::is_same_v<T, uint8_t> ? 1.0f / 255.0f : 1.0f;
    const int rx = int(region.minX()), ry = int(region.minY()), rw = int(region.width()),
              rh = int(region.height());
    const std::vector<Taps> across = tapsAlong(rx, rw, sx);
    const std::vector<Taps> down = tapsAlong(ry, rh, sy);
    // The input columns any output column reads, inside the bitmap.
    int c0 = bitmap.width(), c1 = 0;
    for (const Taps& t : across) {
        c0 = std::min(c0, std::max(0, t.first - px));
        c1 = std::max(c1, std::min(bitmap.width(), t.first - px + int(t.weights.size())));
    }
    const bool floats = out.format() == Bitmap::Format::RGBAf; // else bytes
    CpuRendering::inBands(rh, [&](int begin, int end) {
        std::vector<float> column(size_t(std::max(0, c1 - c0)) * 4);
        std::vector<float> sums(floats ? 0 : size_t(rw) * 4);
        std::vector<const T*> rows;
        std::vector<float> weights;
        for (int j = begin; j < end; ++j) {
            uint8_t* target = out.mutableRow(j);
            const Taps& t = down[size_t(rh - 1 - j)];
            rows.clear();
            weights.clear();
            for (size_t i = 0; i < t.weights.size() && c0 < c1; ++i) {
                const int y = t.first + int(i) - py; // bitmap row, counted upward
                if (y < 0 || y >= bitmap.height())
                    continue;
                rows.push_back(reinterpret_cast<const T*>(bitmap.row(bitmap.height() - 1 - y)) +
                               size_t(c0) * 4);
                weights.push_back(t.weights[i] * unit);
            }
            const bool any = !rows.empty();
            if (any)
                sumRows(rows.data(), weights.data(), int(rows.size()), column.data(), column.size());
            // Along the row, the four channels of a tap at once; bytes made of the whole row at the end.
            float* row = floats ? reinterpret_cast<float*>(target) : sums.data();
            for (int u = 0; u < rw; ++u) {
                const Taps& a = across[size_t(u)];
                const int from = std::max(0, c0 + px - a.first);
                const int to = std::min(int(a.weights.size()), c1 + px - a.first);
                float* o = row + size_t(u) * 4;
#ifdef __SSE2__
                __m128 s = _mm_setzero_ps();
                if (any)
                    for (int i = from; i < to; ++i)
                        s = _mm_add_ps(s,
                                       _mm_mul_ps(_mm_set1_ps(a.weights[size_t(i)]),
                                                  _mm_loadu_ps(&column[size_t(a.first + i - px - c0) * 4])));
                _mm_storeu_ps(o, s);
#else
                float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
                if (any)
                    for (int i = from; i < to; ++i) {
                        const float* p = &column[size_t(a.first + i - px - c0) * 4];
                        const float w = a.weights[size_t(i)];
                        s0 += w * p[0];
                        s1 += w * p[1];
                        s2 += w * p[2];
                        s3 += w * p[3];
                    }
                o[0] = s0, o[1] = s1, o[2] = s2, o[3] = s3;
#endif
            }
            if (!floats)
                CpuRendering::floatsToBytes(sums.data(), target, rw * 4);
        }
    });
}

bool lanczosOfBitmap(const Bitmap& bitmap, int px, int py, double sx, double sy, const Rect& region,
                     Bitmap& out)
{
    if (bitmap.format() == Bitmap::Format::RGBA8)
        lanczosOfPixels<uint8_t>(bitmap, px, py, sx, sy, region, out);
    else if (bitmap.format() == Bitmap::Format::RGBAf)
        lanczosOfPixels<float>(bitmap, px, py, sx, sy, region, out);
    else
        return false;
    return true;
}

// The same of an input that is not a bitmap: rendered once for the part needed.
bool lanczosOnCpu(const Image& input, const Rect& inputExtent, double sx, double sy, const Rect& region,
                  Bitmap& out)
{
    const double reachX = 3.0 / std::min(sx, 1.0) + 2, reachY = 3.0 / std::min(sy, 1.0) + 2;
    const Rect needed = Rect(region.minX() / sx - reachX, region.minY() / sy - reachY,
                             region.width() / sx + 2 * reachX, region.height() / sy + 2 * reachY)
                            .integral()
                            .intersected(inputExtent);
    if (needed.isNull() || needed.isEmpty()) {
        std::memset(out.mutableData(), 0, out.byteCount());
        return true;
    }
    const auto pixels = CpuRendering::renderInput(input, needed, Bitmap::Format::RGBAf);
    return pixels && lanczosOfBitmap(*pixels, int(needed.minX()), int(needed.minY()), sx, sy, region, out);
}

} // namespace

LanczosScaleTransformFilter::LanczosScaleTransformFilter() : Filter(QStringLiteral("CILanczosScaleTransform"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputScaleKey, numberAttributes(1.0, 0.0, 1.5, FilterAttribute::TypeScalar));
    declareInput(InputAspectRatioKey, numberAttributes(1.0, 0.0, 2.0, FilterAttribute::TypeScalar));
}

Image LanczosScaleTransformFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    const double sy = numberValue(InputScaleKey, 1.0);
    const double sx = sy * numberValue(InputAspectRatioKey, 1.0);
    if (!(sx > 0.0 && sy > 0.0) || !std::isfinite(sx) || !std::isfinite(sy))
        return Image::emptyImage();
    if (sx == 1.0 && sy == 1.0)
        return input;
    const Rect extent = AffineTransform::scale(sx, sy).map(input.extent()).integral();
    // The axis that shrinks most goes first: the second pass then has the fewest pixels to read.
    const Image grid = onPixelGrid(input);
    const Image scaled =
        sx <= sy ? lanczosAlong(lanczosAlong(grid, Axis::X, sx, std::nullopt), Axis::Y, sy, extent)
                 : lanczosAlong(lanczosAlong(grid, Axis::Y, sy, std::nullopt), Axis::X, sx, extent);
    // On the CPU, on all cores: a bitmap read where it lies, any other input rendered once for the part
    // asked for.
    const Rect inputExtent = grid.extent();
    if (!RenderStatistics::cpuFiltersEnabled() || inputExtent.isNull() || inputExtent.isInfinite() ||
        inputExtent != inputExtent.integral() || extent.isEmpty() || extent.width() * extent.height() >= 4e8)
        return scaled;
    if (const auto placed = CpuRendering::placedBitmap(grid)) {
        const Bitmap bitmap = placed->bitmap;
        const int px = int(placed->x), py = int(placed->y);
        if (bitmap.format() != Bitmap::Format::RGBA8 && bitmap.format() != Bitmap::Format::RGBAf)
            return scaled;
        // A placed bitmap may be cropped: what lies outside the crop reads transparent.
        const Rect shown = inputExtent.intersected(Rect(px, py, bitmap.width(), bitmap.height()));
        if (shown != Rect(px, py, bitmap.width(), bitmap.height()))
            return scaled;
        return CpuRendering::attach(
            scaled, std::make_shared<const CpuRendering>(
                        extent, Bitmap::Format::RGBAf,
                        [bitmap, px, py, sx, sy, extent](const Rect& region, Bitmap& out) {
                            return lanczosOfBitmap(bitmap, px, py, sx, sy,
                                                   region.offsetBy(extent.minX(), extent.minY()), out);
                        },
                        true));
    }
    return CpuRendering::attach(
        scaled, std::make_shared<const CpuRendering>(
                    extent, Bitmap::Format::RGBAf,
                    [grid, inputExtent, sx, sy, extent](const Rect& region, Bitmap& out) {
                        return lanczosOnCpu(grid, inputExtent, sx, sy,
                                            region.offsetBy(extent.minX(), extent.minY()), out);
                    }));
}

} // namespace pf
