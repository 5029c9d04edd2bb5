#include "Classes/Frames/OVCurvedOpening.h"

#include "Classes/Frames/OVFrameBand.h"
#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/KernelMath.h"
#include "Platform/Image/RenderStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

using pf::Rect;
namespace kl = pf::kl;

namespace {

// Four channels worked out at once: each lane takes the same products and sums, in the same order,
// as the channels one at a time (no fused steps), so the values are the same.
struct Quad
{
#if defined(__SSE2__)
    __m128 v;
    static Quad load(const float* p)
    {
        return {_mm_loadu_ps(p)};
    }
    static Quad all(float f)
    {
        return {_mm_set1_ps(f)};
    }
    void store(float* p) const
    {
        _mm_storeu_ps(p, v);
    }
    Quad operator+(Quad o) const
    {
        return {_mm_add_ps(v, o.v)};
    }
    Quad operator*(Quad o) const
    {
        return {_mm_mul_ps(v, o.v)};
    }
    Quad operator/(Quad o) const
    {
        return {_mm_div_ps(v, o.v)};
    }
#else
    float v[4];
    static Quad load(const float* p)
    {
        return {{p[0], p[1], p[2], p[3]}};
    }
    static Quad all(float f)
    {
        return {{f, f, f, f}};
    }
    void store(float* p) const
    {
        std::copy(v, v + 4, p);
    }
    template <typename F> Quad with(Quad o, F f) const
    {
        return {{f(v[0], o.v[0]), f(v[1], o.v[1]), f(v[2], o.v[2]), f(v[3], o.v[3])}};
    }
    Quad operator+(Quad o) const
    {
        return with(o, [](float a, float b) { return a + b; });
    }
    Quad operator*(Quad o) const
    {
        return with(o, [](float a, float b) { return a * b; });
    }
    Quad operator/(Quad o) const
    {
        return with(o, [](float a, float b) { return a / b; });
    }
#endif
};

// How far inside the opening (and, for an oval, outside it) a pixel lies, at the least, for the
// shortcuts: the mask there is 0 (or 1) whatever the kernel's steps, which smooth the edge over a pixel.
constexpr double deepMargin = 2;
// An oval narrower than this is worked out at every pixel: near the ends of a thin one the margin
// would not hold.
constexpr double smallestShortcutAxis = 8;
// Rows join a band of the band's parts while the pixels of the opening worked out for that (each row
// holds more of it than all of them together) stay below this many: each part costs a render of its
// own, which costs about as much as working out these pixels.
constexpr double bandWaste = 131072;

bool finiteWholePixels(const Rect& r)
{
    return !r.isNull() && !r.isInfinite() && std::isfinite(r.width()) && std::isfinite(r.height()) &&
           r.width() >= 1 && r.height() >= 1 && r == r.integral() && r.width() < 1e6 && r.height() < 1e6;
}

// The kernel texts' functions for an arch, as they compute them (single precision, in their order).
float archSpring(kl::vec2 size, float width)
{
    float a = kl::max(0.5f * size.x - width, 0.5f);
    float rise = kl::max(kl::min(a, 0.5f * size.y - width), 0.5f);
    return size.y - width - rise;
}

kl::vec4 archNearest(kl::vec2 p, kl::vec2 size, float width)
{
    float a = kl::max(0.5f * size.x - width, 0.5f);
    float top = size.y - width;
    float rise = kl::max(kl::min(a, 0.5f * size.y - width), 0.5f);
    float spring = top - rise;
    float radius = (a * a + rise * rise) / (2.0f * rise);
    kl::vec2 centre = kl::vec2(0.5f * size.x, top - radius);
    kl::vec2 fromCentre = p - centre;
    float l = kl::max(kl::length(fromCentre), 0.000001f);
    kl::vec4 best = kl::vec4(centre + fromCentre * (radius / l), fromCentre / l);
    if (best.y < spring) {
        kl::vec2 end = kl::vec2(p.x < centre.x ? width : size.x - width, spring);
        kl::vec2 normal = kl::normalize(end - centre);
        best = kl::vec4(end.x, end.y, normal.x, normal.y);
    }
    float nearest = kl::length(p - kl::vec2(best.x, best.y));
    kl::vec2 left = kl::vec2(width, kl::clamp(p.y, width, spring));
    kl::vec2 right = kl::vec2(size.x - width, kl::clamp(p.y, width, spring));
    kl::vec2 bottom = kl::vec2(kl::clamp(p.x, width, size.x - width), width);
    if (kl::length(p - left) < nearest) {
        nearest = kl::length(p - left);
        best = kl::vec4(left.x, left.y, -1.0f, 0.0f);
    }
    if (kl::length(p - right) < nearest) {
        nearest = kl::length(p - right);
        best = kl::vec4(right.x, right.y, 1.0f, 0.0f);
    }
    if (kl::length(p - bottom) < nearest)
        best = kl::vec4(bottom.x, bottom.y, 0.0f, -1.0f);
    return best;
}

bool insideOpening(kl::vec2 p, kl::vec2 size, float width, int kind)
{
    if (kind == OVCurvedOpening::Oval) {
        kl::vec2 c = 0.5f * size;
        kl::vec2 ab = kl::max(c - kl::vec2(width), kl::vec2(0.5f));
        kl::vec2 d = (p - c) / ab;
        return kl::dot(d, d) < 1.0f;
    }
    if (p.x <= width || p.x >= size.x - width || p.y <= width)
        return false;
    float spring = archSpring(size, width);
    if (p.y <= spring)
        return true;
    float a = kl::max(0.5f * size.x - width, 0.5f);
    float rise = size.y - width - spring;
    float radius = (a * a + rise * rise) / (2.0f * rise);
    return kl::length(p - kl::vec2(0.5f * size.x, size.y - width - radius)) < radius;
}

// The parameter of an oval's point nearest to q (the point's distances from the centre along the
// axes), as the kernel finds it: a few steps along the parameter from the diagonal.
std::pair<float, float> ovalParameter(kl::vec2 q, kl::vec2 ab)
{
    float tx = 0.70710678f;
    float ty = 0.70710678f;
    for (int i = 0; i < 3; ++i) {
        float ex = (ab.x * ab.x - ab.y * ab.y) * tx * tx * tx / ab.x;
        float ey = (ab.y * ab.y - ab.x * ab.x) * ty * ty * ty / ab.y;
        kl::vec2 r = kl::vec2(ab.x * tx - ex, ab.y * ty - ey);
        kl::vec2 toP = q - kl::vec2(ex, ey);
        float scale = kl::length(r) / kl::max(kl::length(toP), 0.000001f);
        tx = kl::clamp((toP.x * scale + ex) / ab.x, 0.0f, 1.0f);
        ty = kl::clamp((toP.y * scale + ey) / ab.y, 0.0f, 1.0f);
        float t = kl::max(kl::length(kl::vec2(tx, ty)), 0.000001f);
        tx = tx / t;
        ty = ty / t;
    }
    return {tx, ty};
}

// What the kernel derives from an oval's parameter for a point of the quarter: the nearest point's
// distances from the centre along the axes, and the outward normal there (before the quarter's signs).
struct OvalPoint
{
    static constexpr int size = 4;
    static void write(float tx, float ty, kl::vec2 ab, float* out)
    {
        const kl::vec2 normal = kl::normalize(kl::vec2(tx / ab.x, ty / ab.y));
        out[0] = ab.x * tx;
        out[1] = ab.y * ty;
        out[2] = normal.x;
        out[3] = normal.y;
    }
};

#if defined(__SSE2__)
// ovalParameter and OvalPoint for four points at once: each lane takes the same operations in the same
// order as the single point does (no fused steps), so the values are the same. kl::max(x, y) is
// _mm_max_ps(y, x) and kl::min(x, y) _mm_min_ps(y, x), NaNs included.
void ovalPoints4(__m128 qx, __m128 qy, kl::vec2 ab, float* out)
{
    const __m128 ax = _mm_set1_ps(ab.x), ay = _mm_set1_ps(ab.y);
    const __m128 kx = _mm_set1_ps(ab.x * ab.x - ab.y * ab.y), ky = _mm_set1_ps(ab.y * ab.y - ab.x * ab.x);
    const __m128 tiny = _mm_set1_ps(0.000001f), zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    const auto length = [zero](__m128 x, __m128 y) {
        return _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(zero, _mm_mul_ps(x, x)), _mm_mul_ps(y, y)));
    };
    __m128 tx = _mm_set1_ps(0.70710678f), ty = tx;
    for (int i = 0; i < 3; ++i) {
        const __m128 ex = _mm_div_ps(_mm_mul_ps(_mm_mul_ps(_mm_mul_ps(kx, tx), tx), tx), ax);
        const __m128 ey = _mm_div_ps(_mm_mul_ps(_mm_mul_ps(_mm_mul_ps(ky, ty), ty), ty), ay);
        const __m128 rx = _mm_sub_ps(_mm_mul_ps(ax, tx), ex), ry = _mm_sub_ps(_mm_mul_ps(ay, ty), ey);
        const __m128 px = _mm_sub_ps(qx, ex), py = _mm_sub_ps(qy, ey);
        const __m128 scale = _mm_div_ps(length(rx, ry), _mm_max_ps(tiny, length(px, py)));
        tx = _mm_min_ps(one, _mm_max_ps(zero, _mm_div_ps(_mm_add_ps(_mm_mul_ps(px, scale), ex), ax)));
        ty = _mm_min_ps(one, _mm_max_ps(zero, _mm_div_ps(_mm_add_ps(_mm_mul_ps(py, scale), ey), ay)));
        const __m128 t = _mm_max_ps(tiny, length(tx, ty));
        tx = _mm_div_ps(tx, t);
        ty = _mm_div_ps(ty, t);
    }
    const __m128 vx = _mm_div_ps(tx, ax), vy = _mm_div_ps(ty, ay);
    const __m128 l = length(vx, vy);
    alignas(16) float lanes[4][4];
    _mm_store_ps(lanes[0], _mm_mul_ps(ax, tx));
    _mm_store_ps(lanes[1], _mm_mul_ps(ay, ty));
    _mm_store_ps(lanes[2], _mm_div_ps(vx, l));
    _mm_store_ps(lanes[3], _mm_div_ps(vy, l));
    for (int lane = 0; lane < 4; ++lane)
        for (int k = 0; k < 4; ++k)
            out[lane * OvalPoint::size + k] = lanes[k][lane];
}
#endif

#if defined(__SSE2__)
// Lane by lane what the scalar helpers compute, in the same operations and order, so the values are
// the same. Each is false, and nothing is written, where a lane's value lies beyond what the int
// conversions take (or is not a number): the caller works those pixels out one at a time.
struct Lanes
{
    static __m128 select(__m128 mask, __m128 a, __m128 b)
    {
        return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
    }
    // OVFrameBand::floor.
    static bool floor(__m128 x, __m128& out)
    {
        const __m128 size = _mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
        if (_mm_movemask_ps(_mm_cmplt_ps(size, _mm_set1_ps(4194304.0f))) != 0xf)
            return false;
        const __m128 whole = _mm_cvtepi32_ps(_mm_cvttps_epi32(x));
        out = _mm_sub_ps(whole, _mm_and_ps(_mm_cmpgt_ps(whole, x), _mm_set1_ps(1.0f)));
        return true;
    }
    // OVFrameBand::partCoord.
    static bool partCoord(__m128 d, float length, float size, float corner, float scale, float repeats,
                          __m128& out)
    {
        const float c = kl::min(corner * scale, 0.5f * length);
        const float middle = kl::max(length - 2.0f * c, 0.0001f);
        const float m = kl::max(size - 2.0f * corner, 0.0f);
        const __m128 t =
            _mm_mul_ps(_mm_div_ps(_mm_sub_ps(d, _mm_set1_ps(c)), _mm_set1_ps(middle)), _mm_set1_ps(repeats));
        __m128 copy;
        if (!floor(t, copy))
            return false;
        __m128 u = _mm_add_ps(_mm_set1_ps(corner), _mm_mul_ps(_mm_sub_ps(t, copy), _mm_set1_ps(m)));
        if (m >= 1.0f) {
            u = select(_mm_cmpge_ps(copy, _mm_set1_ps(1.0f)), _mm_max_ps(_mm_set1_ps(corner + 0.5f), u), u);
            const float last = -OVFrameBand::floor(-repeats) - 1.0f;
            u = select(_mm_cmplt_ps(copy, _mm_set1_ps(last)), _mm_min_ps(_mm_set1_ps(corner + m - 0.5f), u),
                       u);
        }
        const __m128 low = _mm_div_ps(d, _mm_set1_ps(scale));
        const __m128 high =
            _mm_sub_ps(_mm_set1_ps(size), _mm_div_ps(_mm_sub_ps(_mm_set1_ps(length), d), _mm_set1_ps(scale)));
        out = select(_mm_cmplt_ps(d, _mm_set1_ps(c)), low,
                     select(_mm_cmpgt_ps(d, _mm_set1_ps(length - c)), high, u));
        return true;
    }
    // PartTexels::column and row for a part whose corner lies at the origin: the first texel (margin
    // included) and the weight of the second.
    static bool axis(__m128 point, int size, int first[4], float weight[4])
    {
        const __m128 c = _mm_sub_ps(point, _mm_set1_ps(0.5f));
        __m128 f;
        if (!floor(c, f))
            return false;
        const __m128 clamped = _mm_min_ps(
            _mm_set1_ps(float(size)), _mm_max_ps(_mm_set1_ps(-float(OVFrameBand::PartTexels::Margin)), f));
        const __m128i index =
            _mm_add_epi32(_mm_cvttps_epi32(clamped), _mm_set1_epi32(OVFrameBand::PartTexels::Margin));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(first), index);
        _mm_storeu_ps(weight, _mm_sub_ps(c, f));
        return true;
    }
};
#endif

} // namespace

// For an oval: the nearest point, for the pixels of one quarter of the rectangle that are not deep
// inside the opening. A pixel of another quarter reads its mirror image, whose distances from the
// centre are the same numbers: the kernel finds the same point there, at the same distances along the
// axes, with the outward normal's components of the same size, and the pixel lies inside the opening
// or not as its mirror image does (only signs differ, which the kernel's arithmetic keeps exactly).
struct OVCurvedOpening::OvalTable
{
    // Per row of the quarter (counted from the rectangle's edge), the pixels kept (from the edge) and
    // where they start in `values` and `inside`.
    std::vector<int> counts;
    std::vector<size_t> starts;
    // Per pixel, OvalPoint::size floats (see OvalPoint).
    std::vector<float> values;
    std::vector<uint8_t> inside;
};

std::shared_ptr<const OVCurvedOpening> OVCurvedOpening::make(const Rect& rect, double width, int kind)
{
    if (!finiteWholePixels(rect) || !std::isfinite(width) || (kind != Oval && kind != Arch))
        return nullptr;
    return std::make_shared<const OVCurvedOpening>(rect, width, kind);
}

OVCurvedOpening::OVCurvedOpening(const Rect& rect, double width, int kind)
    : m_rect(rect), m_width(int(rect.width())), m_height(int(rect.height())), m_kind(kind),
      m_band(float(width)), m_sizeX(float(rect.width())), m_sizeY(float(rect.height()))
{
    const kl::vec2 size(m_sizeX, m_sizeY);
    const kl::vec2 c = 0.5f * size;
    const kl::vec2 ab = kl::max(c - kl::vec2(m_band), kl::vec2(0.5f));
    m_cx = c.x;
    m_cy = c.y;
    m_ax = ab.x;
    m_ay = ab.y;
    float a = kl::max(0.5f * size.x - m_band, 0.5f);
    float top = size.y - m_band;
    float rise = kl::max(kl::min(a, 0.5f * size.y - m_band), 0.5f);
    m_spring = top - rise;
    m_radius = (a * a + rise * rise) / (2.0f * rise);
    m_centreY = top - m_radius;
}

bool OVCurvedOpening::isDeepInsideByShape(int x, int y) const
{
    const double px = x + 0.5, py = y + 0.5;
    if (m_kind == Oval) {
        const double a = m_ax - deepMargin, b = m_ay - deepMargin;
        if (std::min<double>(m_ax, m_ay) <= smallestShortcutAxis)
            return false;
        const double u = (px - m_cx) / a, v = (py - m_cy) / b;
        return u * u + v * v < 1;
    }
    const double band = m_band + deepMargin;
    if (py <= m_spring)
        return px > band && px < m_sizeX - band && py > band && py <= m_spring - deepMargin;
    return std::hypot(px - m_cx, py - m_centreY) < m_radius - deepMargin && m_radius > 2 * deepMargin;
}

const std::vector<std::pair<int, int>>& OVCurvedOpening::deepRuns() const
{
    std::call_once(m_runsMade, [this] {
        // A centred run, growing towards the middle row by row.
        m_runs.assign(size_t(m_height), {0, 0});
        const int middle = m_width / 2;
        for (int y = 0; y < m_height; ++y) {
            if (!isDeepInsideByShape(middle, y) || (m_width % 2 == 0 && !isDeepInsideByShape(middle - 1, y)))
                continue;
            // The largest half-width k with the pixels [middle - k, middle + k) deep inside.
            int low = 1, high = middle;
            while (low < high) {
                const int k = (low + high + 1) / 2;
                if (isDeepInsideByShape(middle - k, y) && isDeepInsideByShape(middle + k - 1, y))
                    low = k;
                else
                    high = k - 1;
            }
            m_runs[size_t(y)] = {middle - low, middle + low};
        }
    });
    return m_runs;
}

std::pair<int, int> OVCurvedOpening::deepRun(int y) const
{
    return y < 0 || y >= m_height ? std::pair{0, 0} : deepRuns()[size_t(y)];
}

bool OVCurvedOpening::isDeepInside(int x, int y) const
{
    if (y < 0 || y >= m_height)
        return false;
    const std::pair<int, int> run = deepRuns()[size_t(y)];
    return x >= run.first && x < run.second;
}

bool OVCurvedOpening::isDeepOutside(int x, int y) const
{
    const double px = x + 0.5, py = y + 0.5;
    if (m_kind == Arch) {
        // Every point of an arch's outline lies within the lines of its sides, bottom and top, and
        // above the spring line on its circle: a pixel beyond one of those by the margin is outside.
        // (A narrow or low opening is worked out at every pixel: its outline folds over itself.)
        if (std::min<double>(0.5 * m_sizeX - m_band, 0.5 * m_sizeY - m_band) <= smallestShortcutAxis ||
            m_radius <= 2 * deepMargin)
            return false;
        if (px <= m_band - deepMargin || px >= m_sizeX - m_band + deepMargin || py <= m_band - deepMargin ||
            py >= m_sizeY - m_band + deepMargin)
            return true;
        const double dx = px - m_cx, dy = py - m_centreY, reach = double(m_radius) + deepMargin;
        return py >= m_spring + deepMargin && dx * dx + dy * dy >= reach * reach;
    }
    if (std::min<double>(m_ax, m_ay) <= smallestShortcutAxis)
        return false;
    const double u = (px - m_cx) / (m_ax + deepMargin), v = (py - m_cy) / (m_ay + deepMargin);
    return u * u + v * v > 1;
}

const OVCurvedOpening::OvalTable& OVCurvedOpening::ovalTable() const
{
    std::call_once(m_tableMade, [this] {
        auto table = std::make_unique<OvalTable>();
        const int rows = (m_height + 1) / 2, columns = (m_width + 1) / 2;
        table->counts.assign(size_t(rows), 0);
        table->starts.assign(size_t(rows) + 1, 0);
        const std::vector<std::pair<int, int>>& runs = deepRuns();
        for (int row = 0; row < rows; ++row) {
            // Deep inside is a run at the middle of the row: the pixels before it are kept.
            const std::pair<int, int> run = runs[size_t(row)];
            const int kept = run.first < run.second ? std::min(run.first, columns) : columns;
            table->counts[size_t(row)] = kept;
            table->starts[size_t(row) + 1] = table->starts[size_t(row)] + size_t(kept);
        }
        table->values.resize(table->starts.back() * OvalPoint::size);
        table->inside.resize(table->starts.back());
        const kl::vec2 c(m_cx, m_cy), ab(m_ax, m_ay), size(m_sizeX, m_sizeY);
        pf::CpuRendering::inBands(rows, [&](int begin, int end) {
            for (int row = begin; row < end; ++row) {
                float* out = table->values.data() + table->starts[size_t(row)] * OvalPoint::size;
                uint8_t* inside = table->inside.data() + table->starts[size_t(row)];
                const float py = float(row) + 0.5f;
                const int count = table->counts[size_t(row)];
                int column = 0;
#if defined(__SSE2__)
                const float qy = kl::abs(py - c.y);
                for (; column + 4 <= count; column += 4) {
                    alignas(16) float qx[4];
                    for (int k = 0; k < 4; ++k)
                        qx[k] = kl::abs(float(column + k) + 0.5f - c.x);
                    ovalPoints4(_mm_load_ps(qx), _mm_set1_ps(qy), ab, out + column * OvalPoint::size);
                }
#endif
                for (; column < count; ++column) {
                    const kl::vec2 p(float(column) + 0.5f, py);
                    const auto [tx, ty] = ovalParameter(kl::abs(p - c), ab);
                    OvalPoint::write(tx, ty, ab, out + column * OvalPoint::size);
                }
                for (column = 0; column < count; ++column)
                    inside[column] = insideOpening(kl::vec2(float(column) + 0.5f, py), size, m_band, Oval);
            }
        });
        m_table = std::move(table);
    });
    return *m_table;
}

OVCurvedOpening::Nearest OVCurvedOpening::ovalNearest(float px, float py, const float* point,
                                                      bool inside) const
{
    const kl::vec2 p(px, py), c(m_cx, m_cy);
    const kl::vec2 d = p - c;
    const kl::vec2 s = kl::vec2(d.x < 0.0f ? -1.0f : 1.0f, d.y < 0.0f ? -1.0f : 1.0f);
    const kl::vec2 nearest = c + s * kl::vec2(point[0], point[1]);
    const kl::vec2 normal = s * kl::vec2(point[2], point[3]);
    const float distance = kl::length(p - nearest);
    return {nearest.x, nearest.y, normal.x, normal.y, inside ? -distance : distance};
}

OVCurvedOpening::Nearest OVCurvedOpening::archNearest(float px, float py) const
{
    const kl::vec2 p(px, py), size(m_sizeX, m_sizeY);
    const kl::vec4 best = ::archNearest(p, size, m_band);
    const float distance = kl::length(p - kl::vec2(best.x, best.y));
    const bool inside = insideOpening(p, size, m_band, Arch);
    return {best.x, best.y, best.z, best.w, inside ? -distance : distance};
}

OVCurvedOpening::Nearest OVCurvedOpening::nearestAt(int x, int y) const
{
    const float px = float(x) + 0.5f, py = float(y) + 0.5f;
    if (m_kind == Arch)
        return archNearest(px, py);
    const int qx = std::min(x, m_width - 1 - x), qy = std::min(y, m_height - 1 - y);
    const OvalTable& table = ovalTable();
    if (qx >= 0 && qy >= 0 && qy < int(table.counts.size()) && qx < table.counts[size_t(qy)]) {
        const size_t at = table.starts[size_t(qy)] + size_t(qx);
        return ovalNearest(px, py, table.values.data() + at * OvalPoint::size, table.inside[at] != 0);
    }
    // Deep inside (or outside the rectangle): worked out here.
    const kl::vec2 ab(m_ax, m_ay);
    const auto [tx, ty] = ovalParameter(kl::abs(kl::vec2(px, py) - kl::vec2(m_cx, m_cy)), ab);
    float point[OvalPoint::size];
    OvalPoint::write(tx, ty, ab, point);
    return ovalNearest(px, py, point,
                       insideOpening(kl::vec2(px, py), kl::vec2(m_sizeX, m_sizeY), m_band, Oval));
}

std::vector<Rect> OVCurvedOpening::bandParts() const
{
    const std::vector<std::pair<int, int>>& runs = deepRuns();
    std::vector<Rect> parts;
    const double x0 = m_rect.minX(), y0 = m_rect.minY();
    const auto add = [&](int first, int last, std::pair<int, int> run) {
        const double rows = last - first;
        if (run.first >= run.second) {
            parts.push_back(Rect(x0, y0 + first, m_width, rows));
            return;
        }
        if (run.first > 0)
            parts.push_back(Rect(x0, y0 + first, run.first, rows));
        if (run.second < m_width)
            parts.push_back(Rect(x0 + run.second, y0 + first, m_width - run.second, rows));
    };
    const auto length = [](std::pair<int, int> run) { return std::max(0, run.second - run.first); };
    int first = 0;
    std::pair<int, int> common = runs.empty() ? std::pair{0, 0} : runs.front();
    double waste = 0;
    for (int y = 1; y <= m_height; ++y) {
        bool close = y == m_height;
        if (!close) {
            const std::pair<int, int> run = runs[size_t(y)];
            const bool emptyNow = common.first >= common.second, emptyRow = run.first >= run.second;
            if (emptyNow != emptyRow) {
                close = true;
            } else if (!emptyRow) {
                const std::pair<int, int> both{std::max(common.first, run.first),
                                               std::min(common.second, run.second)};
                const double added =
                    double(length(common) - length(both)) * (y - first) + double(length(run) - length(both));
                close = both.first >= both.second || waste + added > bandWaste;
                if (!close) {
                    waste += added;
                    common = both;
                }
            }
        }
        if (close) {
            add(first, y, common);
            if (y < m_height) {
                first = y;
                common = runs[size_t(y)];
                waste = 0;
            }
        }
    }
    return parts;
}

// The kernel "cutOpening" over a plain band at one pixel: deep inside 0, deep outside 1, else the
// distance from the outline smoothed over a pixel.
float OVCurvedOpening::coverageAt(int x, int y) const
{
    if (isDeepInside(x, y))
        return 0.0f;
    if (isDeepOutside(x, y))
        return 1.0f;
    return kl::clamp(0.5f + nearestAt(x, y).outside, 0.0f, 1.0f);
}

pf::Image OVCurvedOpening::maskPixels(pf::Bitmap* kept) const
{
    pf::Bitmap grey(m_width, m_height, pf::Bitmap::Format::Gray8, pf::Bitmap::Fill::Uninitialized);
    if (grey.isNull())
        return pf::Image();
    if (m_kind == Oval)
        ovalTable();
    const std::vector<std::pair<int, int>>& runs = deepRuns();
    // Taken once, before the bands (see Bitmap::mutableData).
    uint8_t* const bytes = grey.mutableData();
    const size_t stride = grey.bytesPerRow();
    // coverageAt, less what a row shares: no pixel outside the row's deep run is deep inside, and an
    // oval's deep-outside test takes the row's term once (the same operations, so the same result).
    const bool ovalShortcut = m_kind == Oval && std::min<double>(m_ax, m_ay) > smallestShortcutAxis;
    const double reachX = m_ax + deepMargin, reachY = m_ay + deepMargin;
    pf::CpuRendering::inBands(m_height, [&](int begin, int end) {
        std::vector<float> values(size_t(m_width), 0.0f);
        for (int row = begin; row < end; ++row) {
            const int y = m_height - 1 - row;
            const std::pair<int, int> run = runs[size_t(y)];
            const double v = (y + 0.5 - m_cy) / reachY, vv = v * v;
            for (int x = 0; x < m_width; ++x) {
                if (x == run.first && run.first < run.second) {
                    std::fill(values.begin() + run.first, values.begin() + run.second, 0.0f);
                    x = run.second - 1;
                    continue;
                }
                if (!ovalShortcut) {
                    values[size_t(x)] = coverageAt(x, y);
                    continue;
                }
                const double u = (x + 0.5 - m_cx) / reachX;
                values[size_t(x)] =
                    u * u + vv > 1 ? 1.0f : kl::clamp(0.5f + nearestAt(x, y).outside, 0.0f, 1.0f);
            }
            // Rounded as a render makes 8-bit pixels of them.
            pf::CpuRendering::floatsToBytes(values.data(), bytes + stride * size_t(row), m_width);
        }
    });
    if (kept)
        *kept = grey;
    const pf::Image pixels = pf::Image::fromBitmap(grey);
    return pixels.imageByApplyingTransform(pf::AffineTransform::translation(m_rect.minX(), m_rect.minY()));
}

pf::Image OVCurvedOpening::cutOnCpu(const pf::Image& recipe, const Rect& within) const
{
    if (recipe.isNull() || !pf::RenderStatistics::cpuFiltersEnabled())
        return recipe;
    const Rect bounds = within.isNull() ? m_rect : within.integral().intersected(m_rect);
    if (!finiteWholePixels(bounds))
        return recipe;
    if (m_kind == Oval)
        ovalTable();
    const int left = int(bounds.minX() - m_rect.minX()), bottom = int(bounds.minY() - m_rect.minY());
    auto render = [this, left, bottom](const Rect& region, pf::Bitmap& out) {
        const int columns = out.width(), rows = out.height();
        const int x0 = left + int(region.minX()), y0 = bottom + int(region.minY());
        // Taken once, before the bands (see Bitmap::mutableData): `out` may share its pixels.
        uint8_t* const outPixels = out.mutableData();
        const size_t outStride = out.bytesPerRow();
        pf::CpuRendering::inBands(rows, [&](int begin, int end) {
            for (int row = begin; row < end; ++row) {
                const int y = y0 + rows - 1 - row;
                float* o = reinterpret_cast<float*>(outPixels + outStride * size_t(row));
                for (int i = 0; i < columns; ++i, o += 4)
                    o[0] = o[1] = o[2] = o[3] = coverageAt(x0 + i, y);
            }
        });
        return true;
    };
    return pf::CpuRendering::attach(
        recipe, std::make_shared<const pf::CpuRendering>(bounds, pf::Bitmap::Format::RGBAf, render));
}

// Per pixel: where the two reads lie (texel offsets, margin included, and their weights between texels)
// and how they are weighed by the outline's normal. A first offset below 0: deep inside, transparent; a
// second below 0: one read, the part laid as around a rectangle.
struct OVCurvedOpening::PartReads
{
    struct Read
    {
        int first = -1, second = -1;
        float firstX = 0, firstY = 0, secondX = 0, secondY = 0;
        float normalX = 0, normalY = 0, weight = 1;
    };
    pf::Rect bounds;
    PartLayout layout;
    std::vector<Read> reads; // rows y-up
};

std::shared_ptr<const OVCurvedOpening::PartReads>
OVCurvedOpening::readsFor(const Rect& bounds, const PartLayout& a,
                          const std::shared_ptr<const OVFrameBand::PartTexels>& texels,
                          const ShadeRows& shade, bool* shaded) const
{
    if (shaded)
        *shaded = false;
    {
        std::lock_guard lock(m_fieldMutex);
        if (m_reads && m_reads->bounds == bounds && m_reads->layout == a)
            return m_reads;
    }
    // The last strip's places, when no render reads them any more, lend their memory to this strip's:
    // a fresh strip's worth (tens of megabytes) cost more in page faults and clearing than in filling.
    std::shared_ptr<PartReads> reads;
    {
        std::lock_guard lock(m_fieldMutex);
        if (m_reads && m_reads.use_count() == 1)
            reads = std::const_pointer_cast<PartReads>(std::move(m_reads));
        m_reads.reset();
    }
    if (!reads)
        reads = std::make_shared<PartReads>();
    reads->bounds = bounds;
    reads->layout = a;
    const int columns = int(bounds.width()), rows = int(bounds.height());
    // Every place is written below, so what the memory held before is never read.
    reads->reads.resize(size_t(columns) * size_t(rows));
    const int left = int(bounds.minX() - m_rect.minX()), bottom = int(bounds.minY() - m_rect.minY());
    const float sx = m_sizeX, sy = m_sizeY;
    const float width = m_band;
    // Where the corners end along each side, as the kernel clamps the nearest point.
    const float cx = kl::min(a.cornerX * a.scale, 0.5f * sx), cy = kl::min(a.cornerY * a.scale, 0.5f * sy);
    const auto offset = [&texels](float x, float y, float& wx, float& wy) {
        const auto [i, fx] = texels->column(x);
        const auto [j, fy] = texels->row(y);
        wx = fx;
        wy = fy;
        return (j * texels->stride + i) * 4;
    };
    // Looked up once here and once per row below, not at every pixel.
    const std::vector<std::pair<int, int>>& runs = deepRuns();
    // Below an arch's round top a column reads the part at the same place in every row.
    std::vector<std::pair<int, float>> straightColumns;
    if (m_kind == Arch && float(bottom) + 0.5f <= m_spring) {
        straightColumns.resize(size_t(columns));
        for (int i = 0; i < columns; ++i)
            straightColumns[size_t(i)] =
                texels->column(a.ex + OVFrameBand::partCoord(float(left + i) + 0.5f, sx, a.ew, a.cornerX,
                                                             a.scale, a.repeatsX));
    }
    const OvalTable* table = m_kind == Oval ? &ovalTable() : nullptr;
#if defined(__SSE2__)
    // What the loop below works out for one pixel, for four of an oval's band at once (see Lanes);
    // false where one of them has no kept quarter point or a value the lanes do not take.
    const bool vectorised = texels->originX == 0 && texels->originY == 0;
    // The outline's nearest point, its normal and how far outside for four pixels of a row.
    struct Four
    {
        __m128 px, nearX, nearY, normalX, normalY, outside;
    };
    const auto ovalFour = [&](int x, float py, const float* points, const uint8_t* inside, int kept,
                              Four& f) {
        int qx[4];
        for (int k = 0; k < 4; ++k) {
            qx[k] = std::min(x + k, m_width - 1 - (x + k));
            if (qx[k] < 0 || qx[k] >= kept)
                return false;
        }
        const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), minusOne = _mm_set1_ps(-1.0f);
        const __m128 px =
            _mm_add_ps(_mm_cvtepi32_ps(_mm_setr_epi32(x, x + 1, x + 2, x + 3)), _mm_set1_ps(0.5f));
        const float dy = py - m_cy;
        const float signY = dy < 0.0f ? -1.0f : 1.0f;
        const __m128 signX =
            Lanes::select(_mm_cmplt_ps(_mm_sub_ps(px, _mm_set1_ps(m_cx)), zero), minusOne, one);
        // The kept quarter points, a lane each.
        __m128 q0 = _mm_loadu_ps(points + qx[0] * OvalPoint::size),
               q1 = _mm_loadu_ps(points + qx[1] * OvalPoint::size),
               q2 = _mm_loadu_ps(points + qx[2] * OvalPoint::size),
               q3 = _mm_loadu_ps(points + qx[3] * OvalPoint::size);
        _MM_TRANSPOSE4_PS(q0, q1, q2, q3);
        const __m128 nearX = _mm_add_ps(_mm_set1_ps(m_cx), _mm_mul_ps(signX, q0));
        const __m128 nearY = _mm_add_ps(_mm_set1_ps(m_cy), _mm_mul_ps(_mm_set1_ps(signY), q1));
        const __m128 normalX = _mm_mul_ps(signX, q2), normalY = _mm_mul_ps(_mm_set1_ps(signY), q3);
        const __m128 ddx = _mm_sub_ps(px, nearX), ddy = _mm_sub_ps(_mm_set1_ps(py), nearY);
        const __m128 distance =
            _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(zero, _mm_mul_ps(ddx, ddx)), _mm_mul_ps(ddy, ddy)));
        const __m128 in = _mm_castsi128_ps(_mm_cmpgt_epi32(
            _mm_setr_epi32(inside[qx[0]], inside[qx[1]], inside[qx[2]], inside[qx[3]]), _mm_setzero_si128()));
        f = {px, nearX, nearY, normalX, normalY, _mm_xor_ps(distance, _mm_and_ps(in, _mm_set1_ps(-0.0f)))};
        return true;
    };
    // ::archNearest and insideOpening for four pixels: their values for the opening worked out once.
    const float archA = kl::max(0.5f * sx - width, 0.5f), archTop = sy - width;
    const float archRise = kl::max(kl::min(archA, 0.5f * sy - width), 0.5f);
    const float archSpringY = archTop - archRise;
    const float archRadius = (archA * archA + archRise * archRise) / (2.0f * archRise);
    const kl::vec2 archCentre(0.5f * sx, archTop - archRadius);
    const kl::vec2 archLeftNormal = kl::normalize(kl::vec2(width, archSpringY) - archCentre);
    const kl::vec2 archRightNormal = kl::normalize(kl::vec2(sx - width, archSpringY) - archCentre);
    const float insideSpring = archSpring(kl::vec2(sx, sy), width);
    const float insideRise = sy - width - insideSpring;
    const float insideRadius = (archA * archA + insideRise * insideRise) / (2.0f * insideRise);
    const float insideCentreY = sy - width - insideRadius;
    const auto archFour = [&](int x, float py, Four& f) {
        const __m128 zero = _mm_setzero_ps();
        const auto length = [zero](__m128 x, __m128 y) {
            return _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(zero, _mm_mul_ps(x, x)), _mm_mul_ps(y, y)));
        };
        const __m128 px =
            _mm_add_ps(_mm_cvtepi32_ps(_mm_setr_epi32(x, x + 1, x + 2, x + 3)), _mm_set1_ps(0.5f));
        const __m128 pyv = _mm_set1_ps(py);
        const __m128 fromX = _mm_sub_ps(px, _mm_set1_ps(archCentre.x)),
                     fromY = _mm_set1_ps(py - archCentre.y);
        const __m128 l = _mm_max_ps(_mm_set1_ps(0.000001f), length(fromX, fromY));
        const __m128 k = _mm_div_ps(_mm_set1_ps(archRadius), l);
        __m128 bx = _mm_add_ps(_mm_set1_ps(archCentre.x), _mm_mul_ps(fromX, k));
        __m128 by = _mm_add_ps(_mm_set1_ps(archCentre.y), _mm_mul_ps(fromY, k));
        __m128 bnx = _mm_div_ps(fromX, l), bny = _mm_div_ps(fromY, l);
        // Below the spring line the circle's point gives way to the end of the arc on the pixel's side.
        const __m128 low = _mm_cmplt_ps(by, _mm_set1_ps(archSpringY));
        const __m128 leftSide = _mm_cmplt_ps(px, _mm_set1_ps(archCentre.x));
        bx = Lanes::select(low, Lanes::select(leftSide, _mm_set1_ps(width), _mm_set1_ps(sx - width)), bx);
        by = Lanes::select(low, _mm_set1_ps(archSpringY), by);
        bnx = Lanes::select(
            low, Lanes::select(leftSide, _mm_set1_ps(archLeftNormal.x), _mm_set1_ps(archRightNormal.x)), bnx);
        bny = Lanes::select(
            low, Lanes::select(leftSide, _mm_set1_ps(archLeftNormal.y), _mm_set1_ps(archRightNormal.y)), bny);
        __m128 nearest = length(_mm_sub_ps(px, bx), _mm_sub_ps(pyv, by));
        const float sideY = kl::clamp(py, width, archSpringY);
        const __m128 sideDy = _mm_set1_ps(py - sideY);
        const __m128 toLeft = length(_mm_sub_ps(px, _mm_set1_ps(width)), sideDy);
        __m128 closer = _mm_cmplt_ps(toLeft, nearest);
        nearest = Lanes::select(closer, toLeft, nearest);
        bx = Lanes::select(closer, _mm_set1_ps(width), bx);
        by = Lanes::select(closer, _mm_set1_ps(sideY), by);
        bnx = Lanes::select(closer, _mm_set1_ps(-1.0f), bnx);
        bny = Lanes::select(closer, zero, bny);
        const __m128 toRight = length(_mm_sub_ps(px, _mm_set1_ps(sx - width)), sideDy);
        closer = _mm_cmplt_ps(toRight, nearest);
        nearest = Lanes::select(closer, toRight, nearest);
        bx = Lanes::select(closer, _mm_set1_ps(sx - width), bx);
        by = Lanes::select(closer, _mm_set1_ps(sideY), by);
        bnx = Lanes::select(closer, _mm_set1_ps(1.0f), bnx);
        bny = Lanes::select(closer, zero, bny);
        const __m128 bottomX = _mm_min_ps(_mm_set1_ps(sx - width), _mm_max_ps(_mm_set1_ps(width), px));
        const __m128 toBottom = length(_mm_sub_ps(px, bottomX), _mm_set1_ps(py - width));
        closer = _mm_cmplt_ps(toBottom, nearest);
        bx = Lanes::select(closer, bottomX, bx);
        by = Lanes::select(closer, _mm_set1_ps(width), by);
        bnx = Lanes::select(closer, zero, bnx);
        bny = Lanes::select(closer, _mm_set1_ps(-1.0f), bny);
        const __m128 distance = length(_mm_sub_ps(px, bx), _mm_sub_ps(pyv, by));
        // Inside the opening: within the sides and above the bottom, and below the spring line or
        // within the circle.
        __m128 in;
        if (py <= width) {
            in = zero;
        } else {
            const __m128 between =
                _mm_and_ps(_mm_cmpgt_ps(px, _mm_set1_ps(width)), _mm_cmplt_ps(px, _mm_set1_ps(sx - width)));
            in = py <= insideSpring
                     ? between
                     : _mm_and_ps(between, _mm_cmplt_ps(length(_mm_sub_ps(px, _mm_set1_ps(0.5f * sx)),
                                                               _mm_set1_ps(py - insideCentreY)),
                                                        _mm_set1_ps(insideRadius)));
        }
        f = {px, bx, by, bnx, bny, _mm_xor_ps(distance, _mm_and_ps(in, _mm_set1_ps(-0.0f)))};
        return true;
    };
    // What the loop below works out for one pixel from its nearest point, for four at once.
    const auto readsFour = [&](const Four& f, PartReads::Read* out) {
        const __m128 zero = _mm_setzero_ps();
        const __m128 nearX = f.nearX, nearY = f.nearY, normalX = f.normalX, normalY = f.normalY,
                     outside = f.outside;
        const __m128 d =
            _mm_div_ps(_mm_min_ps(_mm_set1_ps(width),
                                  _mm_max_ps(_mm_set1_ps(0.5f), _mm_sub_ps(_mm_set1_ps(width), outside))),
                       _mm_set1_ps(a.scale));
        __m128 along, across;
        if (!Lanes::partCoord(_mm_min_ps(_mm_set1_ps(sx - cx), _mm_max_ps(_mm_set1_ps(cx), nearX)), sx, a.ew,
                              a.cornerX, a.scale, a.repeatsX, along) ||
            !Lanes::partCoord(_mm_min_ps(_mm_set1_ps(sy - cy), _mm_max_ps(_mm_set1_ps(cy), nearY)), sy, a.eh,
                              a.cornerY, a.scale, a.repeatsY, across))
            return false;
        const __m128 firstX = _mm_add_ps(_mm_set1_ps(a.ex), Lanes::select(_mm_cmplt_ps(normalX, zero), d,
                                                                          _mm_sub_ps(_mm_set1_ps(a.ew), d)));
        const __m128 firstY = _mm_add_ps(_mm_set1_ps(a.ey), across);
        const __m128 secondX = _mm_add_ps(_mm_set1_ps(a.ex), along);
        const __m128 secondY = _mm_add_ps(_mm_set1_ps(a.ey), Lanes::select(_mm_cmplt_ps(normalY, zero), d,
                                                                           _mm_sub_ps(_mm_set1_ps(a.eh), d)));
        int i1[4], j1[4], i2[4], j2[4];
        alignas(16) float w[4][4], n[3][4];
        if (!Lanes::axis(firstX, texels->width, i1, w[0]) || !Lanes::axis(firstY, texels->height, j1, w[1]) ||
            !Lanes::axis(secondX, texels->width, i2, w[2]) || !Lanes::axis(secondY, texels->height, j2, w[3]))
            return false;
        _mm_store_ps(n[0], normalX);
        _mm_store_ps(n[1], normalY);
        _mm_store_ps(n[2], _mm_max_ps(_mm_set1_ps(0.000001f), _mm_add_ps(_mm_mul_ps(normalX, normalX),
                                                                         _mm_mul_ps(normalY, normalY))));
        for (int k = 0; k < 4; ++k) {
            PartReads::Read& r = out[k];
            r.first = (j1[k] * texels->stride + i1[k]) * 4;
            r.second = (j2[k] * texels->stride + i2[k]) * 4;
            r.firstX = w[0][k];
            r.firstY = w[1][k];
            r.secondX = w[2][k];
            r.secondY = w[3][k];
            r.normalX = n[0][k];
            r.normalY = n[1][k];
            r.weight = n[2][k];
        }
        return true;
    };
#endif
    pf::CpuRendering::inBands(rows, [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            const int y = bottom + row;
            const float py = float(y) + 0.5f;
            PartReads::Read* out = reads->reads.data() + size_t(row) * size_t(columns);
            const std::pair<int, int> run = y >= 0 && y < m_height ? runs[size_t(y)] : std::pair{0, 0};
            // The oval's kept parameters of this row's quarter row (the mirror rows share them).
            const int qy = std::min(y, m_height - 1 - y);
            const bool tableRow = table && qy >= 0 && qy < int(table->counts.size());
            const int kept = tableRow ? table->counts[size_t(qy)] : 0;
            const size_t start = tableRow ? table->starts[size_t(qy)] : 0;
            const float* points = tableRow ? table->values.data() + start * OvalPoint::size : nullptr;
            const uint8_t* inside = tableRow ? table->inside.data() + start : nullptr;
            const bool straight = m_kind == Arch && py <= m_spring;
            const std::pair<int, float> straightRow =
                straight
                    ? texels->row(a.ey + OVFrameBand::partCoord(py, sy, a.eh, a.cornerY, a.scale, a.repeatsY))
                    : std::pair<int, float>{0, 0.0f};
            for (int i = 0; i < columns; ++i) {
                const int x = left + i;
#if defined(__SSE2__)
                // Four pixels of the oval's band at once where each has its kept quarter point.
                if (vectorised && i % 4 == 0 && i + 4 <= columns && (x + 4 <= run.first || x >= run.second)) {
                    Four f;
                    if ((table ? ovalFour(x, py, points, inside, kept, f)
                               : !straight && archFour(x, py, f)) &&
                        readsFour(f, out + i)) {
                        i += 3;
                        continue;
                    }
                }
#endif
                PartReads::Read& r = out[i];
                r = PartReads::Read();
                if (x >= run.first && x < run.second)
                    continue;
                const float px = float(x) + 0.5f;
                if (straight) {
                    // Below the round top the part is laid as around a rectangle.
                    const std::pair<int, float> column = straightColumns[size_t(i)];
                    r.first = (straightRow.first * texels->stride + column.first) * 4;
                    r.firstX = column.second;
                    r.firstY = straightRow.second;
                    continue;
                }
                const int qx = std::min(x, m_width - 1 - x);
                const Nearest n = qx >= 0 && qx < kept
                                      ? ovalNearest(px, py, points + qx * OvalPoint::size, inside[qx] != 0)
                                      : nearestAt(x, y);
                const float d = kl::clamp(width - n.outside, 0.5f, width) / a.scale;
                const float along = OVFrameBand::partCoord(kl::clamp(n.x, cx, sx - cx), sx, a.ew, a.cornerX,
                                                           a.scale, a.repeatsX);
                const float across = OVFrameBand::partCoord(kl::clamp(n.y, cy, sy - cy), sy, a.eh, a.cornerY,
                                                            a.scale, a.repeatsY);
                r.first = offset(a.ex + (n.normalX < 0.0f ? d : a.ew - d), a.ey + across, r.firstX, r.firstY);
                r.second =
                    offset(a.ex + along, a.ey + (n.normalY < 0.0f ? d : a.eh - d), r.secondX, r.secondY);
                r.normalX = n.normalX;
                r.normalY = n.normalY;
                r.weight = kl::max(n.normalX * n.normalX + n.normalY * n.normalY, 0.000001f);
            }
        }
        if (shade)
            shade(*reads, begin, end);
    });
    if (shaded)
        *shaded = bool(shade);
    std::lock_guard lock(m_fieldMutex);
    m_reads = reads;
    return reads;
}

void OVCurvedOpening::releaseReads() const
{
    std::lock_guard lock(m_fieldMutex);
    m_reads.reset();
    m_laidAhead.clear();
}

pf::Image OVCurvedOpening::laidAlongOnCpu(const pf::Image& recipe, const pf::Image& part,
                                          const pf::Size& corner, double scale, const pf::Vector& repeats,
                                          const Rect& within, const std::vector<pf::Image>& together) const
{
    if (recipe.isNull() || !pf::RenderStatistics::cpuFiltersEnabled())
        return recipe;
    const Rect bounds = within.isNull() ? m_rect : within.integral().intersected(m_rect);
    if (!finiteWholePixels(bounds))
        return recipe;
    const std::shared_ptr<const OVFrameBand::PartTexels> texels = OVFrameBand::partTexels(part);
    if (!texels)
        return recipe;
    if (m_kind == Oval)
        ovalTable();
    const Rect extent = part.extent();
    // The kernel's arguments as it receives them: single precision.
    const PartLayout layout{float(extent.minX()),   float(extent.minY()), float(extent.width()),
                            float(extent.height()), float(corner.width),  float(corner.height),
                            float(scale),           float(repeats.x()),   float(repeats.y()),
                            texels->width,          texels->height,       texels->stride};
    // The other parts laid in the same pass: read the same way, at the same places.
    std::vector<pf::Image> others;
    for (const pf::Image& other : together)
        if (!other.isNull() && other.node() != part.node() && other.extent() == extent)
            others.push_back(other);
    const int left = int(bounds.minX() - m_rect.minX()), bottom = int(bounds.minY() - m_rect.minY());
    const void* const key = part.node().get();
    auto render = [this, texels, layout, left, bottom, bounds, others, key](const Rect& region,
                                                                            pf::Bitmap& out) {
        const int columns = out.width(), rows = out.height();
        const int x0 = left + int(region.minX()), y0 = bottom + int(region.minY());
        const int readColumns = int(bounds.width());
        const bool whole =
            x0 == left && y0 == bottom && columns == readColumns && rows == int(bounds.height());
        // Taken once, before the bands (see Bitmap::mutableData): `out` may share its pixels.
        uint8_t* const outPixels = out.mutableData();
        const size_t outStride = out.bytesPerRow();
        if (whole && out.format() == pf::Bitmap::Format::RGBAf) {
            // Laid already, in the pass of another part of the frame.
            pf::Bitmap ahead;
            {
                std::lock_guard lock(m_fieldMutex);
                const auto found =
                    std::find_if(m_laidAhead.begin(), m_laidAhead.end(), [&](const LaidAhead& l) {
                        return l.part == key && l.bounds == bounds && l.layout == layout;
                    });
                if (found != m_laidAhead.end()) {
                    ahead = std::move(found->pixels);
                    m_laidAhead.erase(found);
                }
            }
            if (!ahead.isNull() && ahead.width() == columns && ahead.height() == rows) {
                const size_t bytes = size_t(columns) * 16;
                for (int row = 0; row < rows; ++row)
                    std::memcpy(outPixels + outStride * size_t(row), ahead.row(row), bytes);
                return true;
            }
        }
        // A part's layer: where its pixels go, and its texels.
        struct Layer
        {
            const float* values;
            uint8_t* pixels;
            size_t stride;
        };
        std::vector<Layer> layers{{texels->values.data(), outPixels, outStride}};
        // The other parts' texels and pixels, laid in the same bands when this render makes the places.
        struct Alongside
        {
            const void* part;
            std::shared_ptr<const OVFrameBand::PartTexels> texels;
            pf::Bitmap pixels;
        };
        std::vector<Alongside> alongside;
        if (whole && out.format() == pf::Bitmap::Format::RGBAf) {
            for (const pf::Image& other : others) {
                std::shared_ptr<const OVFrameBand::PartTexels> t = OVFrameBand::partTexels(other);
                if (!t || t->width != texels->width || t->height != texels->height ||
                    t->stride != texels->stride || t->originX != texels->originX ||
                    t->originY != texels->originY)
                    continue;
                pf::Bitmap pixels(columns, rows, pf::Bitmap::Format::RGBAf, pf::Bitmap::Fill::Uninitialized);
                if (pixels.isNull())
                    continue;
                alongside.push_back({other.node().get(), std::move(t), std::move(pixels)});
            }
            for (Alongside& a : alongside)
                layers.push_back({a.texels->values.data(), a.pixels.mutableData(), a.pixels.bytesPerRow()});
        }
        const size_t stride = size_t(texels->stride) * 4;
        // Rows y-up of `reads`, [begin, end) counted from the region's bottom, of every layer: each
        // pixel's weights are taken once for all of them.
        const auto shadeRows = [&](const PartReads& reads, int begin, int end) {
            const size_t count = layers.size();
            for (int up = begin; up < end; ++up) {
                const int row = rows - 1 - up, y = y0 + up;
                const PartReads::Read* r =
                    reads.reads.data() + size_t(y - bottom) * size_t(readColumns) + size_t(x0 - left);
                for (int i = 0; i < columns; ++i, ++r) {
                    const size_t offset = size_t(i) * 16;
                    if (r->first < 0) {
                        for (size_t k = 0; k < count; ++k)
                            Quad::all(0.0f).store(reinterpret_cast<float*>(
                                layers[k].pixels + layers[k].stride * size_t(row) + offset));
                        continue;
                    }
                    // The kernel language's mix, in its order.
                    const Quad ox1 = Quad::all(1.0f - r->firstX), x1 = Quad::all(r->firstX);
                    const Quad oy1 = Quad::all(1.0f - r->firstY), y1 = Quad::all(r->firstY);
                    if (r->second < 0) {
                        for (size_t k = 0; k < count; ++k) {
                            const float* p0 = layers[k].values + r->first;
                            const float* p1 = p0 + stride;
                            const Quad lower = Quad::load(p0) * ox1 + Quad::load(p0 + 4) * x1;
                            const Quad upper = Quad::load(p1) * ox1 + Quad::load(p1 + 4) * x1;
                            (lower * oy1 + upper * y1)
                                .store(reinterpret_cast<float*>(layers[k].pixels +
                                                                layers[k].stride * size_t(row) + offset));
                        }
                        continue;
                    }
                    const Quad ox2 = Quad::all(1.0f - r->secondX), x2 = Quad::all(r->secondX);
                    const Quad oy2 = Quad::all(1.0f - r->secondY), y2 = Quad::all(r->secondY);
                    const Quad nx = Quad::all(r->normalX), ny = Quad::all(r->normalY),
                               weight = Quad::all(r->weight);
                    for (size_t k = 0; k < count; ++k) {
                        const float* p0 = layers[k].values + r->first;
                        const float* p1 = p0 + stride;
                        const Quad across = (Quad::load(p0) * ox1 + Quad::load(p0 + 4) * x1) * oy1 +
                                            (Quad::load(p1) * ox1 + Quad::load(p1 + 4) * x1) * y1;
                        const float* q0 = layers[k].values + r->second;
                        const float* q1 = q0 + stride;
                        const Quad along = (Quad::load(q0) * ox2 + Quad::load(q0 + 4) * x2) * oy2 +
                                           (Quad::load(q1) * ox2 + Quad::load(q1 + 4) * x2) * y2;
                        ((across * nx * nx + along * ny * ny) / weight)
                            .store(reinterpret_cast<float*>(layers[k].pixels +
                                                            layers[k].stride * size_t(row) + offset));
                    }
                }
            }
        };
        // The shades of the whole strip are laid in the bands that work out the places, each band as
        // soon as its places are in: a pass less over them (tens of megabytes a strip) for each.
        bool shaded = false;
        const std::shared_ptr<const PartReads> reads =
            readsFor(bounds, layout, texels, whole ? ShadeRows(shadeRows) : ShadeRows(), &shaded);
        if (!shaded)
            pf::CpuRendering::inBands(rows, [&](int begin, int end) { shadeRows(*reads, begin, end); });
        if (!alongside.empty()) {
            std::lock_guard lock(m_fieldMutex);
            for (Alongside& a : alongside) {
                // A strip laid ahead again (a render of the same strip that did not take it) replaces it.
                std::erase_if(m_laidAhead, [&](const LaidAhead& l) { return l.part == a.part; });
                m_laidAhead.push_back({a.part, bounds, layout, std::move(a.pixels)});
            }
        }
        return true;
    };
    return pf::CpuRendering::attach(
        recipe, std::make_shared<const pf::CpuRendering>(bounds, pf::Bitmap::Format::RGBAf, render));
}
