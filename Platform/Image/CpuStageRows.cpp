#include "Platform/Image/CpuStageRows.h"

#include "Platform/Image/KernelMath.h"
#include "Platform/Image/KernelTranslator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Engine/Engine.h"

namespace pf {

namespace {

// Four floats, added and multiplied as the translated kernel adds and multiplies a vec4: the same
// rounding, lane by lane, four channels at once.
#if defined(__SSE2__)
using Lanes = __m128;
inline Lanes load(const float* p)
{
    return _mm_loadu_ps(p);
}
inline void store(float* p, Lanes v)
{
    _mm_storeu_ps(p, v);
}
inline Lanes splat(float f)
{
    return _mm_set1_ps(f);
}
inline Lanes add(Lanes a, Lanes b)
{
    return _mm_add_ps(a, b);
}
inline Lanes mul(Lanes a, Lanes b)
{
    return _mm_mul_ps(a, b);
}
#else
struct Lanes
{
    float v[4];
};
inline Lanes load(const float* p)
{
    return Lanes{{p[0], p[1], p[2], p[3]}};
}
inline void store(float* p, Lanes v)
{
    std::memcpy(p, v.v, 16);
}
inline Lanes splat(float f)
{
    return Lanes{{f, f, f, f}};
}
inline Lanes add(Lanes a, Lanes b)
{
    return Lanes{{a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2], a.v[3] + b.v[3]}};
}
inline Lanes mul(Lanes a, Lanes b)
{
    return Lanes{{a.v[0] * b.v[0], a.v[1] * b.v[1], a.v[2] * b.v[2], a.v[3] * b.v[3]}};
}
#endif

// Where a sampler's reads land in the pixels it has in memory, for samplers that are those pixels moved
// by whole pixels (through crops and clamps of whole pixels at most): pixel (i, j) of the kernel's space
// is pixel (i + sx, j + sy) of the sampler's, which its windows map to a pixel of the plane, counted
// from its first, (i' + ox, j' + oy).
struct Plane
{
    const kl::Sampler* sampler = nullptr;
    const float* floats = nullptr;
    const unsigned char* bytes = nullptr;
    int width = 0, height = 0;
    std::ptrdiff_t stride = 0; // values (floats or bytes) from a row to the one above
    int sx = 0, sy = 0, ox = 0, oy = 0;
};

bool isWhole(float v)
{
    return std::isfinite(v) && v == std::floor(v) && std::abs(v) < 1e7f;
}

bool planeOf(const kl::Sampler& s, Plane& plane)
{
    if ((!s.plane && !s.plane8) || s.a != 1.0f || s.b != 0.0f || s.c != 0.0f || s.d != 1.0f ||
        !isWhole(s.tx) || !isWhole(s.ty) || !isWhole(s.planeDx) || !isWhole(s.planeDy))
        return false;
    plane.sampler = &s;
    plane.floats = s.plane;
    plane.bytes = s.plane8;
    plane.width = s.planeWidth;
    plane.height = s.planeHeight;
    plane.stride = s.planeStride;
    plane.sx = int(s.tx);
    plane.sy = int(s.ty);
    plane.ox = int(s.planeDx) - s.planeX0;
    plane.oy = int(s.planeDy) - s.planeY0;
    return true;
}

// Pixel index `v` of the sampler's space along one axis through the windows (x or y): false where a
// crop leaves it transparent.
bool throughWindows(const kl::Sampler& s, bool x, int& v)
{
    for (int w = 0; w < s.windowCount; ++w) {
        const kl::Sampler::Window& window = s.windows[w];
        const int lo = x ? window.x0 : window.y0, hi = x ? window.x1 : window.y1;
        if (window.crop) {
            if (v < lo || v >= hi)
                return false;
        } else {
            v = std::clamp(v, lo, hi - 1);
        }
    }
    return true;
}

// Whether every pixel of [first, first + count) along the axis passes the windows unchanged.
bool insideWindows(const kl::Sampler& s, bool x, int first, int count)
{
    for (int w = 0; w < s.windowCount; ++w) {
        const kl::Sampler::Window& window = s.windows[w];
        if (first < (x ? window.x0 : window.y0) || first + count > (x ? window.x1 : window.y1))
            return false;
    }
    return true;
}

// What a row costs to gather, kept per thread from row to row.
struct Scratch
{
    std::vector<float> span;
    std::vector<float> rows;
    std::vector<const float*> pointers;
    std::vector<float> weights;
};
thread_local Scratch scratch;

// `n` values of plane row `row` from value `from` on as floats, bytes as sample() makes floats of them.
void convert(const Plane& plane, int row, int from, int n, float* out)
{
    if (plane.floats) {
        std::memcpy(out, plane.floats + std::ptrdiff_t(row) * plane.stride + from, size_t(n) * sizeof(float));
        return;
    }
    const unsigned char* q = plane.bytes + std::ptrdiff_t(row) * plane.stride + from;
    int i = 0;
#if defined(__SSE2__)
    // Divided, not multiplied by 1/255: the floats sample() makes of bytes, bit for bit.
    const __m128 scale = _mm_set1_ps(255.0f);
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + i));
        const __m128i lo = _mm_unpacklo_epi8(b, zero), hi = _mm_unpackhi_epi8(b, zero);
        _mm_storeu_ps(out + i, _mm_div_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)), scale));
        _mm_storeu_ps(out + i + 4, _mm_div_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)), scale));
        _mm_storeu_ps(out + i + 8, _mm_div_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)), scale));
        _mm_storeu_ps(out + i + 12, _mm_div_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero)), scale));
    }
#endif
    for (; i < n; ++i)
        out[i] = float(q[i]) / 255.0f;
}

// `count` pixels of the kernel's row `row` from column `first` on, as RGBA floats, read as sample()
// reads them at their centres: through the windows, transparent outside the pixels held. A pointer
// into the plane where it holds them as floats already, else into `buffer`.
const float* span(const Plane& plane, int row, int first, int count, float* buffer)
{
    const kl::Sampler& s = *plane.sampler;
    int j = row + plane.sy;
    const int i0 = first + plane.sx;
    if (!throughWindows(s, false, j)) {
        std::fill(buffer, buffer + std::ptrdiff_t(count) * 4, 0.0f);
        return buffer;
    }
    j += plane.oy;
    const bool rowHeld = j >= 0 && j < plane.height;
    if (s.windowCount > 0 && !insideWindows(s, true, i0, count)) {
        // Columns cut or repeated by the windows: pixel by pixel.
        for (int c = 0; c < count; ++c) {
            int i = i0 + c;
            float* out = buffer + std::ptrdiff_t(c) * 4;
            if (!rowHeld || !throughWindows(s, true, i) || (i += plane.ox) < 0 || i >= plane.width) {
                std::fill(out, out + 4, 0.0f);
                continue;
            }
            convert(plane, j, i * 4, 4, out);
        }
        return buffer;
    }
    if (!rowHeld) {
        std::fill(buffer, buffer + std::ptrdiff_t(count) * 4, 0.0f);
        return buffer;
    }
    const int start = i0 + plane.ox;
    const int from = std::clamp(start, 0, plane.width), to = std::clamp(start + count, 0, plane.width);
    if (plane.floats && from == start && to == start + count)
        return plane.floats + std::ptrdiff_t(j) * plane.stride + std::ptrdiff_t(start) * 4;
    std::fill(buffer, buffer + std::ptrdiff_t(from - start) * 4, 0.0f);
    std::fill(buffer + std::ptrdiff_t(std::max(to, from) - start) * 4, buffer + std::ptrdiff_t(count) * 4,
              0.0f);
    if (from < to)
        convert(plane, j, from * 4, (to - from) * 4, buffer + std::ptrdiff_t(from - start) * 4);
    return buffer;
}

// The kernel's axis: 0 along x, 1 along y; -1 for any other.
int axisOf(const float* axis)
{
    if (axis[0] == 1.0f && axis[1] == 0.0f)
        return 0;
    if (axis[0] == 0.0f && axis[1] == 1.0f)
        return 1;
    return -1;
}

// "gaussianAlong": out(u) = (centre w(c) + sum over pairs w_i (in(c - d_i) + in(c + d_i))) * norm,
// with c = k (u + 1/2) along the axis. Every tap of a sampler moved by whole pixels lies on a pixel
// centre (c is a centre for odd k, an edge for even k, where the offsets are half pixels), so the
// sums are loads and vector arithmetic in the order the kernel adds them.
bool gaussianRow(const kl::Sampler* const* samplers, const float* const* values, int x0, int n, float y,
                 float* out)
{
    Plane plane;
    const int axis = axisOf(values[1]);
    const float* taps = values[2];
    const float* weights = values[3];
    if (axis < 0 || !planeOf(*samplers[0], plane) || !(y - 0.5f == std::floor(y)))
        return false;
    const float kf = taps[0], first = taps[1];
    const int pairs = int(taps[2]);
    if (!(kf >= 1.0f && kf <= 64.0f && kf == std::floor(kf)) || (first != 1.0f && first != 0.5f) ||
        pairs < 0 || pairs > 4096)
        return false;
    const int k = int(kf);
    // The centre is a pixel centre for odd k (offsets 1, 2, ...), a pixel edge for even k (offsets
    // 0.5, 1.5, ...), where only a nearest read of it (weighed 0) is a load.
    const bool odd = k % 2 == 1;
    if (odd != (first == 1.0f) || (!odd && !samplers[0]->nearest))
        return false;

    Scratch& s = scratch;
    s.weights.resize(size_t(pairs));
    {
        float w = weights[0], r = weights[1];
        for (int i = 0; i < pairs; ++i) {
            s.weights[size_t(i)] = w;
            w *= r;
            r *= weights[2];
        }
    }
    const Lanes centreWeight = splat(taps[3]), norm = splat(weights[3]);
    const int row = int(std::floor(y)); // the row of pixel centres being computed

    if (axis == 0) {
        // Output pixel u reads input columns around k u + (k - 1) / 2 (odd k) or k u + k / 2 (even k):
        // centre column ku + h, taps h - 1 - i and h + 1 + i (odd), h - 1 - i and h + i (even).
        const int h = odd ? (k - 1) / 2 : k / 2;
        const int reach = pairs + 1;
        const int firstColumn = k * x0 + h - reach;
        const int count = k * (n - 1) + 2 * reach + 1;
        s.span.resize(size_t(count) * 4);
        const float* in = span(plane, row, firstColumn, count, s.span.data());
        for (int u = 0; u < n; ++u) {
            const float* c = in + std::ptrdiff_t(k * u + reach) * 4; // the centre tap's pixel
            Lanes sum = mul(centreWeight, load(c));
            for (int i = 0; i < pairs; ++i) {
                const float* left = c - std::ptrdiff_t(i + 1) * 4;
                const float* right = c + std::ptrdiff_t(odd ? i + 1 : i) * 4;
                sum = add(sum, mul(splat(s.weights[size_t(i)]), add(load(left), load(right))));
            }
            store(out + std::ptrdiff_t(u) * 4, mul(sum, norm));
        }
        return true;
    }

    // Along y: every output pixel of the row reads the same input rows, at its own column.
    const int h = odd ? (k - 1) / 2 : k / 2;
    const int centreRow = k * row + h;
    const int taps2 = 2 * pairs + 1;
    s.rows.resize(size_t(taps2) * size_t(n) * 4);
    s.pointers.resize(size_t(taps2));
    // pointers[0] the centre row, then pairs of rows below and above.
    auto rowAt = [&](int index, int r) {
        s.pointers[size_t(index)] = span(plane, r, x0, n, s.rows.data() + size_t(index) * size_t(n) * 4);
    };
    rowAt(0, centreRow);
    for (int i = 0; i < pairs; ++i) {
        rowAt(1 + 2 * i, centreRow - (i + 1));
        rowAt(2 + 2 * i, centreRow + (odd ? i + 1 : i));
    }
    for (int u = 0; u < n; ++u) {
        const std::ptrdiff_t at = std::ptrdiff_t(u) * 4;
        Lanes sum = mul(centreWeight, load(s.pointers[0] + at));
        for (int i = 0; i < pairs; ++i)
            sum = add(sum, mul(splat(s.weights[size_t(i)]), add(load(s.pointers[size_t(1 + 2 * i)] + at),
                                                                load(s.pointers[size_t(2 + 2 * i)] + at))));
        store(out + at, mul(sum, norm));
    }
    return true;
}

// "bsplineEnlargeAlong": each output pixel is four pixels of the reduced level around it, weighed by
// the cubic B-spline at its offset, worked out per pixel in floats as the kernel works them out.
bool enlargeRow(const kl::Sampler* const* samplers, const float* const* values, int x0, int n, float y,
                float* out)
{
    Plane plane;
    const int axis = axisOf(values[1]);
    const float k = values[2][0];
    if (axis < 0 || !planeOf(*samplers[0], plane) || !(y - 0.5f == std::floor(y)) || !(k >= 1.0f) ||
        !(k <= 64.0f))
        return false;
    Scratch& s = scratch;
    auto weightsAt = [k](float along, float* w) {
        const float t = along / k - 0.5f;
        const float i = std::floor(t);
        const float f = t - i;
        const float g = 1.0f - f;
        const float f2 = f * f;
        const float f3 = f2 * f;
        w[0] = g * g * g / 6.0f;
        w[1] = (3.0f * f3 - 6.0f * f2 + 4.0f) / 6.0f;
        w[2] = (-3.0f * f3 + 3.0f * f2 + 3.0f * f + 1.0f) / 6.0f;
        w[3] = f3 / 6.0f;
        return int(i);
    };
    auto blend = [](const float* w, const float* a, const float* b, const float* c, const float* d,
                    float* to) {
        store(to,
              add(add(add(mul(splat(w[0]), load(a)), mul(splat(w[1]), load(b))), mul(splat(w[2]), load(c))),
                  mul(splat(w[3]), load(d))));
    };
    float w[4];
    if (axis == 0) {
        // Reduced columns i - 1 .. i + 2 of the first and last output pixels bound what is read.
        const int lo = weightsAt(float(x0) + 0.5f, w) - 1;
        const int hi = weightsAt(float(x0 + n - 1) + 0.5f, w) + 2;
        const int count = hi - lo + 1;
        if (count <= 0 || count > 1 << 24)
            return false;
        s.span.resize(size_t(count) * 4);
        const float* in = span(plane, int(std::floor(y)), lo, count, s.span.data());
        for (int u = 0; u < n; ++u) {
            const int i = weightsAt(float(x0 + u) + 0.5f, w);
            const float* p = in + std::ptrdiff_t(i - 1 - lo) * 4;
            blend(w, p, p + 4, p + 8, p + 12, out + std::ptrdiff_t(u) * 4);
        }
        return true;
    }
    const int i = weightsAt(y, w);
    s.rows.resize(size_t(4) * size_t(n) * 4);
    const float* r[4];
    for (int j = 0; j < 4; ++j)
        r[j] = span(plane, i - 1 + j, x0, n, s.rows.data() + size_t(j) * size_t(n) * 4);
    for (int u = 0; u < n; ++u) {
        const std::ptrdiff_t at = std::ptrdiff_t(u) * 4;
        blend(w, r[0] + at, r[1] + at, r[2] + at, r[3] + at, out + at);
    }
    return true;
}

} // namespace

kl::KernelNativeRowEntry CpuStageRows::find(quint64 textKey, const char* name)
{
    static const quint64 stages =
        KernelTranslator::textKey(QString::fromUtf8(kernelTexts::Engine::GaussianStages));
    if (textKey != stages || !name)
        return nullptr;
    if (std::strcmp(name, "gaussianAlong") == 0)
        return &gaussianRow;
    if (std::strcmp(name, "bsplineEnlargeAlong") == 0)
        return &enlargeRow;
    return nullptr;
}

} // namespace pf
