#include "Platform/Image/LanczosScaleTransformFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef __x86_64__
#include <immintrin.h>
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
// finds them: output position `origin + k` reads input pixel `first[k] + i`, i < `taps`, with weight
// L((first[k] + i + 0.5 - x) * stretch), x = (origin + k + 0.5) / scale, normalised by their sum (taps
// outside the input read transparent and still count), at `weights[k * stride + i]`. `stride` is a
// multiple of eight, the weights past `taps` zeros, so that the widest loop along a row needs no tail.
struct AxisTaps
{
    int taps = 0;
    int stride = 0;
    std::vector<int> first;
    std::vector<float> weights;
};

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Clears the upper halves of the vector registers. Scalar code compiled for SSE (the sines and divisions
// of the taps) runs several times slower on processors that merge each result into a register whose
// upper half some wide code left dirty; the compiler clears them when its own wide functions return, but
// not every library does.
__attribute__((target("avx"))) void clearUpperHalves()
{
    _mm256_zeroupper();
}
#endif

std::shared_ptr<const AxisTaps> tapsFor(int origin, int count, double scale)
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        clearUpperHalves();
#endif
    const float PI = 3.14159265358979f;
    const float stretch = float(std::min(scale, 1.0));
    const float reach = 3.0f / stretch;
    auto made = std::make_shared<AxisTaps>();
    AxisTaps& t = *made;
    t.taps = int(2.0f * reach) + 2;
    t.stride = (t.taps + 7) / 8 * 8;
    t.first.resize(size_t(std::max(0, count)));
    t.weights.assign(t.first.size() * size_t(t.stride), 0.0f);
    for (int k = 0; k < count; ++k) {
        const float x = (float(origin + k) + 0.5f) / float(scale);
        const float first = std::floor(x - reach + 0.5f) + 0.5f;
        t.first[size_t(k)] = int(std::floor(first));
        float* w = t.weights.data() + size_t(k) * size_t(t.stride);
        float total = 0;
        for (int i = 0; i < t.taps; ++i) {
            const float d = (first + float(i) - x) * stretch;
            w[i] = std::abs(d) < 1e-4f ? 1.0f
                   : std::abs(d) >= 3.0f
                       ? 0.0f
                       : 3.0f * std::sin(PI * d) * std::sin(PI * d / 3.0f) / (PI * PI * d * d);
            total += w[i];
        }
        for (int i = 0; i < t.taps; ++i)
            w[i] /= total;
    }
    return made;
}

// The taps of an axis, kept for the last few (position, count, scale): a view redrawn, a slider
// dragged or a photo saved at the same size asks for the same ones render after render, and working
// them out (two sines a tap) would be done on the calling thread before the bands start.
std::shared_ptr<const AxisTaps> tapsAlong(int origin, int count, double scale)
{
    struct Kept
    {
        int origin, count;
        double scale;
        std::shared_ptr<const AxisTaps> taps;
    };
    struct Cache
    {
        std::mutex mutex;
        std::vector<Kept> kept; // the most recent last
    };
    static auto* cache = new Cache; // renders may run until the very end
    constexpr size_t Most = 8;
    {
        const std::lock_guard lock(cache->mutex);
        auto& kept = cache->kept;
        for (auto it = kept.begin(); it != kept.end(); ++it) {
            if (it->origin == origin && it->count == count && it->scale == scale) {
                std::rotate(it, it + 1, kept.end());
                return kept.back().taps;
            }
        }
    }
    std::shared_ptr<const AxisTaps> made = tapsFor(origin, count, scale);
    const std::lock_guard lock(cache->mutex);
    if (cache->kept.size() >= Most)
        cache->kept.erase(cache->kept.begin());
    cache->kept.push_back({origin, count, scale, made});
    return made;
}

// Memory to fetch into the caches while a row is reduced, a few lines with each output pixel.
struct Ahead
{
    const uint8_t* bytes = nullptr;
    size_t lines = 0; // of 64 bytes
    size_t perPixel = 0;
    size_t fetched = 0;

    Ahead() = default;
    Ahead(const uint8_t* from, size_t length, int pixels)
        : bytes(from), lines((length + 63) / 64), perPixel((lines + size_t(pixels) - 1) / size_t(pixels))
    {}
    void fetch()
    {
        for (size_t i = 0; i < perPixel && fetched < lines; ++i, ++fetched)
            __builtin_prefetch(bytes + fetched * 64);
    }
};

// The pass along one row, in floats: out[4u + c] = the sum over i of weights[u * stride + i] *
// row[4 (first[u] - base + i) + c] (`row` starts at input pixel `base`). Versions for wider vectors where the
// processor has them, chosen when the program runs: the reduction to a screen's size of a large photo spends
// most of its time here.
using AcrossRow = void (*)(const float* row, const AxisTaps& taps, int base, int count, float* out,
                           Ahead ahead);
// `n` bytes made floats, each times `unit`.
using BytesToFloats = void (*)(const uint8_t* in, float* out, size_t n, float unit);
// `column[k]` = the sum over i of weights[i] * rows[i][k], k < n, added in the order of the rows.
// Eight vectors of values at a time, their sums kept in registers over all the rows: a strong
// reduction reads dozens of rows for each output row, and sums kept in memory cost a load and a store
// per row and value.
using SumRows = void (*)(const float* const* rows, const float* weights, int count, float* column, size_t n);

void acrossRowPortable(const float* row, const AxisTaps& taps, int base, int count, float* out, Ahead ahead)
{
    const int stride = taps.stride;
    for (int u = 0; u < count; ++u) {
        ahead.fetch();
        const float* p = row + ptrdiff_t(taps.first[size_t(u)] - base) * 4;
        const float* w = taps.weights.data() + size_t(u) * size_t(stride);
#ifdef __SSE2__
        // Four sums: the adds of one would wait on each other.
        __m128 a0 = _mm_setzero_ps(), a1 = _mm_setzero_ps(), a2 = _mm_setzero_ps(), a3 = _mm_setzero_ps();
        for (int i = 0; i < stride; i += 4, p += 16) {
            a0 = _mm_add_ps(a0, _mm_mul_ps(_mm_set1_ps(w[i]), _mm_loadu_ps(p)));
            a1 = _mm_add_ps(a1, _mm_mul_ps(_mm_set1_ps(w[i + 1]), _mm_loadu_ps(p + 4)));
            a2 = _mm_add_ps(a2, _mm_mul_ps(_mm_set1_ps(w[i + 2]), _mm_loadu_ps(p + 8)));
            a3 = _mm_add_ps(a3, _mm_mul_ps(_mm_set1_ps(w[i + 3]), _mm_loadu_ps(p + 12)));
        }
        _mm_storeu_ps(out + size_t(u) * 4, _mm_add_ps(_mm_add_ps(a0, a1), _mm_add_ps(a2, a3)));
#else
        float s[4] = {0, 0, 0, 0};
        for (int i = 0; i < stride; ++i, p += 4)
            for (int c = 0; c < 4; ++c)
                s[c] += w[i] * p[c];
        std::memcpy(out + size_t(u) * 4, s, sizeof s);
#endif
    }
}

void bytesToFloatsPortable(const uint8_t* in, float* out, size_t n, float unit)
{
    size_t k = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    const __m128 scale = _mm_set1_ps(unit);
    for (; k + 16 <= n; k += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
        const __m128i lo = _mm_unpacklo_epi8(bytes, zero), hi = _mm_unpackhi_epi8(bytes, zero);
        const __m128i words[4] = {_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero),
                                  _mm_unpacklo_epi16(hi, zero), _mm_unpackhi_epi16(hi, zero)};
        for (int q = 0; q < 4; ++q)
            _mm_storeu_ps(out + k + size_t(q) * 4, _mm_mul_ps(_mm_cvtepi32_ps(words[q]), scale));
    }
#endif
    for (; k < n; ++k)
        out[k] = float(in[k]) * unit;
}

void sumRowsPortable(const float* const* rows, const float* weights, int count, float* column, size_t n)
{
    size_t k = 0;
#ifdef __SSE2__
    for (; k + 32 <= n; k += 32) {
        __m128 a[8];
        for (__m128& v : a)
            v = _mm_setzero_ps();
        for (int i = 0; i < count; ++i) {
            const __m128 w = _mm_set1_ps(weights[i]);
            const float* in = rows[i] + k;
            for (int q = 0; q < 8; ++q)
                a[q] = _mm_add_ps(a[q], _mm_mul_ps(w, _mm_loadu_ps(in + q * 4)));
        }
        for (int q = 0; q < 8; ++q)
            _mm_storeu_ps(column + k + size_t(q) * 4, a[q]);
    }
#endif
    for (; k < n; ++k) {
        float s = 0;
        for (int i = 0; i < count; ++i)
            s += weights[i] * rows[i][k];
        column[k] = s;
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PF_LANCZOS_DISPATCH 1

__attribute__((target("avx2,fma"))) void acrossRowAvx2(const float* row, const AxisTaps& taps, int base,
                                                       int count, float* out, Ahead ahead)
{
    const int stride = taps.stride;
    // Two taps a vector: the weight of each spread over its pixel's four channels.
    const __m256i first = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m256i second = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
    for (int u = 0; u < count; ++u) {
        ahead.fetch();
        const float* p = row + ptrdiff_t(taps.first[size_t(u)] - base) * 4;
        const float* w = taps.weights.data() + size_t(u) * size_t(stride);
        __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps();
        for (int i = 0; i < stride; i += 4, p += 16) {
            const __m256 four = _mm256_castps128_ps256(_mm_loadu_ps(w + i));
            a0 = _mm256_fmadd_ps(_mm256_permutevar8x32_ps(four, first), _mm256_loadu_ps(p), a0);
            a1 = _mm256_fmadd_ps(_mm256_permutevar8x32_ps(four, second), _mm256_loadu_ps(p + 8), a1);
        }
        const __m256 a = _mm256_add_ps(a0, a1);
        _mm_storeu_ps(out + size_t(u) * 4,
                      _mm_add_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1)));
    }
}

__attribute__((target("avx2,fma"))) void bytesToFloatsAvx2(const uint8_t* in, float* out, size_t n,
                                                           float unit)
{
    const __m256 scale = _mm256_set1_ps(unit);
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + k));
        _mm256_storeu_ps(out + k, _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes)), scale));
    }
    for (; k < n; ++k)
        out[k] = float(in[k]) * unit;
}

__attribute__((target("avx2,fma"))) void sumRowsAvx2(const float* const* rows, const float* weights,
                                                     int count, float* column, size_t n)
{
    size_t k = 0;
    for (; k + 64 <= n; k += 64) {
        __m256 a[8];
        for (__m256& v : a)
            v = _mm256_setzero_ps();
        for (int i = 0; i < count; ++i) {
            const __m256 w = _mm256_set1_ps(weights[i]);
            const float* in = rows[i] + k;
            for (int q = 0; q < 8; ++q)
                a[q] = _mm256_fmadd_ps(w, _mm256_loadu_ps(in + q * 8), a[q]);
        }
        for (int q = 0; q < 8; ++q)
            _mm256_storeu_ps(column + k + size_t(q) * 8, a[q]);
    }
    for (; k < n; ++k) {
        float s = 0;
        for (int i = 0; i < count; ++i)
            s += weights[i] * rows[i][k];
        column[k] = s;
    }
}

// GCC's own AVX-512 intrinsics start from undefined registers it then warns of.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// The sums of output pixel u's taps, four pixels' worth (four taps each) in one vector.
__attribute__((target("avx512f"), always_inline)) inline __m512
tapSumsAvx512(const float* row, const AxisTaps& taps, int base, int u)
{
    // Four taps a vector, as above.
    const __m512i first = _mm512_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
    const __m512i second = _mm512_setr_epi32(4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7);
    const int stride = taps.stride;
    const float* p = row + ptrdiff_t(taps.first[size_t(u)] - base) * 4;
    const float* w = taps.weights.data() + size_t(u) * size_t(stride);
    __m512 a0 = _mm512_setzero_ps(), a1 = _mm512_setzero_ps();
    for (int i = 0; i < stride; i += 8, p += 32) {
        const __m512 eight = _mm512_castps256_ps512(_mm256_loadu_ps(w + i));
        a0 = _mm512_fmadd_ps(_mm512_permutexvar_ps(first, eight), _mm512_loadu_ps(p), a0);
        a1 = _mm512_fmadd_ps(_mm512_permutexvar_ps(second, eight), _mm512_loadu_ps(p + 16), a1);
    }
    return _mm512_add_ps(a0, a1);
}

__attribute__((target("avx512f"))) void acrossRowAvx512(const float* row, const AxisTaps& taps, int base,
                                                        int count, float* out, Ahead ahead)
{
    // Four output pixels at a time, their quarters added across vectors ((q0 + q1) + (q2 + q3) of each,
    // as one pixel alone adds them) and stored as one vector: added within each vector, the sums cost
    // as much as the taps.
    int u = 0;
    for (; u + 4 <= count; u += 4) {
        for (int k = 0; k < 4; ++k)
            ahead.fetch();
        const __m512 a = tapSumsAvx512(row, taps, base, u), b = tapSumsAvx512(row, taps, base, u + 1),
                     c = tapSumsAvx512(row, taps, base, u + 2), d = tapSumsAvx512(row, taps, base, u + 3);
        // (a q0 + a q1, a q2 + a q3, b q0 + b q1, b q2 + b q3), and the same of c and d.
        const __m512 ab = _mm512_add_ps(_mm512_shuffle_f32x4(a, b, 0x88), _mm512_shuffle_f32x4(a, b, 0xdd));
        const __m512 cd = _mm512_add_ps(_mm512_shuffle_f32x4(c, d, 0x88), _mm512_shuffle_f32x4(c, d, 0xdd));
        _mm512_storeu_ps(out + size_t(u) * 4, _mm512_add_ps(_mm512_shuffle_f32x4(ab, cd, 0x88),
                                                            _mm512_shuffle_f32x4(ab, cd, 0xdd)));
    }
    for (; u < count; ++u) {
        ahead.fetch();
        const __m512 a = tapSumsAvx512(row, taps, base, u);
        const __m128 s = _mm_add_ps(_mm_add_ps(_mm512_castps512_ps128(a), _mm512_extractf32x4_ps(a, 1)),
                                    _mm_add_ps(_mm512_extractf32x4_ps(a, 2), _mm512_extractf32x4_ps(a, 3)));
        _mm_storeu_ps(out + size_t(u) * 4, s);
    }
}

__attribute__((target("avx512f"))) void bytesToFloatsAvx512(const uint8_t* in, float* out, size_t n,
                                                            float unit)
{
    const __m512 scale = _mm512_set1_ps(unit);
    size_t k = 0;
    for (; k + 16 <= n; k += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
        _mm512_storeu_ps(out + k, _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(bytes)), scale));
    }
    for (; k < n; ++k)
        out[k] = float(in[k]) * unit;
}
__attribute__((target("avx512f"))) void sumRowsAvx512(const float* const* rows, const float* weights,
                                                      int count, float* column, size_t n)
{
    size_t k = 0;
    for (; k + 128 <= n; k += 128) {
        __m512 a[8];
        for (__m512& v : a)
            v = _mm512_setzero_ps();
        for (int i = 0; i < count; ++i) {
            const __m512 w = _mm512_set1_ps(weights[i]);
            const float* in = rows[i] + k;
            for (int q = 0; q < 8; ++q)
                a[q] = _mm512_fmadd_ps(w, _mm512_loadu_ps(in + q * 16), a[q]);
        }
        for (int q = 0; q < 8; ++q)
            _mm512_storeu_ps(column + k + size_t(q) * 16, a[q]);
    }
    for (; k < n; ++k) {
        float s = 0;
        for (int i = 0; i < count; ++i)
            s += weights[i] * rows[i][k];
        column[k] = s;
    }
}
#pragma GCC diagnostic pop
#endif

std::atomic<bool> g_wideVectors{true};

struct RowFunctions
{
    AcrossRow acrossRow;
    BytesToFloats bytesToFloats;
    SumRows sumRows;
};

// The widest versions this processor runs (the portable ones when wide vectors are turned off).
RowFunctions rowFunctions()
{
#ifdef PF_LANCZOS_DISPATCH
    static const bool avx512 = __builtin_cpu_supports("avx512f");
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    if (g_wideVectors.load(std::memory_order_relaxed)) {
        if (avx512)
            return {acrossRowAvx512, bytesToFloatsAvx512, sumRowsAvx512};
        if (avx2)
            return {acrossRowAvx2, bytesToFloatsAvx2, sumRowsAvx2};
    }
#endif
    return {acrossRowPortable, bytesToFloatsPortable, sumRowsPortable};
}

// The output pixels `region` (absolute, whole pixels, `out`'s size, rows top-down) of the scaling of a
// bitmap (RGBA8 or RGBAf) whose lower-left corner lies at (px, py); transparent around it. Along the
// rows first: each input row a band reads is made floats once and reduced to the output's width once,
// kept while the output rows that read it are made; then down the columns, each output row a weighted
// sum of those rows, which vectorises over the row. Taps that miss the bitmap still count in the norm,
// as the kernel's do.
template <typename T>
void lanczosOfPixels(const Bitmap& bitmap, int px, int py, double sx, double sy, const Rect& region,
                     Bitmap& out)
{
    constexpr bool bytes = std::is_same_v<T, uint8_t>;
    const int rx = int(region.minX()), ry = int(region.minY()), rw = int(region.width()),
              rh = int(region.height());
    if (rw <= 0 || rh <= 0)
        return;
    const std::shared_ptr<const AxisTaps> acrossTaps = tapsAlong(rx, rw, sx),
                                          downTaps = tapsAlong(ry, rh, sy);
    const AxisTaps &across = *acrossTaps, &down = *downTaps;
    // The span of input columns any output column reads, outside the bitmap too (read as zeros), so
    // that every output pixel reads its taps in one run; the span starts at bitmap column `lo`.
    const int lo = across.first.front() - px, hi = across.first.back() - px + across.taps;
    // The part of that span inside the bitmap, and the pixels beyond its end the widest loop may read.
    const int c0 = std::clamp(lo, 0, bitmap.width()), c1 = std::clamp(hi, c0, bitmap.width());
    const size_t spanFloats = size_t(hi - lo + across.stride) * 4;
    const int tapsDown = down.taps;
    const size_t rowFloats = size_t(rw) * 4;
    const bool floats = out.format() == Bitmap::Format::RGBAf; // else bytes
    const RowFunctions f = rowFunctions();
    // Taken once, before the bands (see Bitmap::mutableData): `out` may share its pixels.
    uint8_t* const pixels = out.mutableData();
    const size_t stride = out.bytesPerRow();
    // Fewer, longer bands than usual: each repeats the input rows its first output rows share with the
    // band before.
    CpuRendering::inBands(
        rh,
        [&](int begin, int end) {
            std::vector<float> span(spanFloats, 0.0f);
            // The rows along, by input row modulo the taps down: an output row reads that many rows
            // in a run, and the run only moves one way.
            std::vector<float> reduced(size_t(tapsDown) * rowFloats);
            std::vector<int> held(size_t(tapsDown), std::numeric_limits<int>::min());
            std::vector<float> sums(floats ? 0 : rowFloats);
            std::vector<const float*> rows;
            std::vector<float> weights;
            for (int j = begin; j < end; ++j) {
                uint8_t* target = pixels + stride * size_t(j);
                const size_t k = size_t(rh - 1 - j);
                const float* w = down.weights.data() + k * size_t(down.stride);
                rows.clear();
                weights.clear();
                for (int i = 0; i < tapsDown; ++i) {
                    const int y = down.first[k] + i - py; // bitmap row, counted upward
                    if (y < 0 || y >= bitmap.height())
                        continue;
                    const size_t slot = size_t(((y % tapsDown) + tapsDown) % tapsDown);
                    float* along = reduced.data() + slot * rowFloats;
                    if (held[slot] != y) {
                        if (c1 > c0) {
                            const T* in = reinterpret_cast<const T*>(bitmap.row(bitmap.height() - 1 - y)) +
                                          size_t(c0) * 4;
                            float* into = span.data() + size_t(c0 - lo) * 4;
                            if constexpr (bytes)
                                f.bytesToFloats(in, into, size_t(c1 - c0) * 4, 1.0f / 255.0f);
                            else
                                std::memcpy(into, in, size_t(c1 - c0) * 4 * sizeof(float));
                        }
                        // The next row this band reads is most likely the one above: it is fetched
                        // from memory while this one is reduced, a line per few output pixels, so that
                        // its conversion does not wait for memory (a row is a few pages, too short for
                        // the processor to see a stream).
                        Ahead ahead;
                        if (c1 > c0 && y + 1 < bitmap.height())
                            ahead = Ahead(bitmap.row(bitmap.height() - 2 - y) + size_t(c0) * 4 * sizeof(T),
                                          size_t(c1 - c0) * 4 * sizeof(T), rw);
                        f.acrossRow(span.data(), across, lo + px, rw, along, ahead);
                        held[slot] = y;
                    }
                    rows.push_back(along);
                    weights.push_back(w[i]);
                }
                float* row = floats ? reinterpret_cast<float*>(target) : sums.data();
                if (rows.empty())
                    std::fill(row, row + rowFloats, 0.0f);
                else
                    f.sumRows(rows.data(), weights.data(), int(rows.size()), row, rowFloats);
                if (!floats)
                    CpuRendering::floatsToBytes(sums.data(), target, rw * 4);
            }
        },
        2);
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

void LanczosScaleTransformFilter::setWideVectorsEnabled(bool enabled)
{
    g_wideVectors.store(enabled, std::memory_order_relaxed);
}

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
