#include "Classes/ToolObjects/OVBrushFramework/IrisRadiusFinder.h"

#include "Classes/Framework/ColorORVExtension.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

using namespace pf;

namespace {

// trunc toward zero, held inside a range where adding a radius cannot overflow.
long long truncated(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double limit = double(std::numeric_limits<int>::max());
    return static_cast<long long>(std::trunc(std::clamp(value, -limit, limit)));
}

} // namespace

void IrisRadiusFinder::setInputCIImage(const Image& image)
{
    m_image = image;
    m_bitmap = Bitmap();
    m_columns = m_rows = 0;
    const std::optional<Rect> extent = image.isNull() ? std::nullopt : std::optional<Rect>(image.extent());
    if (extent && !extent->isNull() && !extent->isInfinite()) {
        m_columns = static_cast<long long>(std::trunc(std::min(extent->width(), 1e9)));
        m_rows = static_cast<long long>(std::trunc(std::min(extent->height(), 1e9)));
    }
}

void IrisRadiusFinder::cover(Point centre, double reach) const
{
    if (m_columns <= 0 || m_rows <= 0 || !std::isfinite(centre.x) || !std::isfinite(centre.y))
        return;
    reach = std::clamp(reach, 1.0, 4096.0);
    // Whole pixels, columns and rows counted from the top left, within the picture.
    const long long c0 = std::clamp(truncated(std::floor(centre.x - reach)), 0LL, m_columns);
    const long long c1 = std::clamp(truncated(std::ceil(centre.x + reach)) + 1, 0LL, m_columns);
    const long long r0 = std::clamp(m_rows - truncated(std::ceil(centre.y + reach)) - 1, 0LL, m_rows);
    const long long r1 = std::clamp(m_rows - truncated(std::floor(centre.y - reach)), 0LL, m_rows);
    if (c1 <= c0 || r1 <= r0)
        return;
    if (!m_bitmap.isNull() && c0 >= m_column0 && r0 >= m_row0 && c1 <= m_column0 + m_bitmap.width() &&
        r1 <= m_row0 + m_bitmap.height())
        return;
    const Rect extent = m_image.extent();
    const Rect window(extent.minX() + double(c0), extent.minY() + double(m_rows - r1), double(c1 - c0),
                      double(r1 - r0));
    const std::optional<Bitmap> pixels =
        RenderContext::shared()->render(m_image, window, Bitmap::Format::RGBA8);
    if (!pixels || pixels->width() != int(c1 - c0) || pixels->height() != int(r1 - r0)) {
        m_bitmap = Bitmap();
        return;
    }
    m_bitmap = *pixels;
    m_column0 = c0;
    m_row0 = r0;
}

bool IrisRadiusFinder::colorAt(long long column, long long row, Color& color) const
{
    const long long x = column - m_column0, y = row - m_row0;
    if (m_bitmap.isNull() || x < 0 || y < 0 || x >= m_bitmap.width() || y >= m_bitmap.height())
        return false;
    float rgba[4];
    m_bitmap.pixel(int(x), int(y), rgba);
    const float a = rgba[3];
    color = a > 0 ? Color(rgba[0] / a, rgba[1] / a, rgba[2] / a, a) : Color(0, 0, 0, 0);
    return true;
}

int IrisRadiusFinder::pupilRadius()
{
    workOnBitmap();
    return m_pupilRadius;
}

void IrisRadiusFinder::workOnBitmap()
{
    cover(m_point, m_outerRadius + 2);
    const long long w = m_columns;
    const long long h = m_rows;
    const long long cx = truncated(m_point.x);
    const long long cy = h - 1 - truncated(m_point.y);
    int result = NoPupilFound;
    for (int d = 1;; ++d) {
        result = NoPupilFound;
        if (cx + d >= w || cx - d < 0 || cy + d >= h || cy - d < 0 || d >= m_outerRadius)
            break;
        Color centre;
        const bool red = colorAt(cx, cy, centre) && isRed(centre);
        int matches = 0;
        for (const auto& [x, y] : {std::pair{cx + d, cy}, {cx - d, cy}, {cx, cy - d}, {cx, cy + d}}) {
            Color color;
            if (colorAt(x, y, color) && (red ? isRed(color) : isBlackish(color)))
                ++matches;
        }
        result = d;
        if (matches < 3)
            break;
    }
    m_pupilRadius = result;
}

Color IrisRadiusFinder::irisColorLight() const
{
    // Without a pupil the search reports 400: sampling halfway to that would read far outside the iris.
    const int pupil = std::min(m_pupilRadius, m_outerRadius);
    const long long r = truncated((m_outerRadius * 0.9 + pupil) * 0.5);
    cover(m_point, double(r) + 2);
    const long long x = truncated(m_point.x);
    const long long y = m_rows - 1 - truncated(m_point.y);
    std::vector<Color> kept;
    for (const auto& [px, py] : {std::pair{x - r, y}, {x + r, y}, {x, y + r}, {x, y - r}}) {
        Color color;
        if (colorAt(px, py, color) && isIrisColor(color) > 0)
            kept.push_back(color);
    }
    return mixNSColorsInArray(kept);
}

bool IrisRadiusFinder::colorAtPoint(double x, double y, float rgb[3]) const
{
    if (m_bitmap.isNull() || !std::isfinite(x) || !std::isfinite(y))
        return false;
    // Pixel centres lie at half-integers; rows are counted from the top.
    const double fx = x - 0.5, fy = (double(m_rows) - y) - 0.5;
    const double c0 = std::floor(fx), r0 = std::floor(fy);
    const double lx = c0 - double(m_column0), ly = r0 - double(m_row0);
    if (lx < 0 || ly < 0 || lx + 1 >= m_bitmap.width() || ly + 1 >= m_bitmap.height())
        return false;
    const float wx = float(fx - c0), wy = float(fy - r0);
    float sum[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        float p[4];
        m_bitmap.pixel(int(lx) + (k & 1), int(ly) + (k >> 1), p);
        const float w = ((k & 1) ? wx : 1 - wx) * ((k >> 1) ? wy : 1 - wy);
        for (int c = 0; c < 4; ++c)
            sum[c] += w * p[c];
    }
    for (int c = 0; c < 3; ++c)
        rgb[c] = sum[3] > 0 ? std::clamp(sum[c] / sum[3], 0.0f, 1.0f) : 0.0f;
    return sum[3] > 0;
}

namespace {

float luma(const float rgb[3])
{
    return 0.299f * rgb[0] + 0.587f * rgb[1] + 0.114f * rgb[2];
}

float luma(const Color& c)
{
    const float rgb[3] = {float(c.red()), float(c.green()), float(c.blue())};
    return luma(rgb);
}

// The median of the finite values (NaN for none).
float median(std::vector<float> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](float v) { return !std::isfinite(v); }),
                 values.end());
    if (values.empty())
        return std::numeric_limits<float>::quiet_NaN();
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The luminance of the pixels around a point, read once: the search reads it many times over. Rows
// from the bottom; NaN beyond the picture.
struct LumaWindow
{
    int x0 = 0, y0 = 0, side = 0;
    std::vector<float> values;
    // The chroma's length (full-range BT.601, as the colour filters measure it) of the same pixels.
    std::vector<float> chroma;

    // Interpolated between pixel centres (y up); NaN where that reaches beyond the window or the picture.
    float at(double x, double y) const { return interpolated(values, x, y); }
    float chromaAt(double x, double y) const { return interpolated(chroma, x, y); }

private:
    float interpolated(const std::vector<float>& plane, double x, double y) const
    {
        const double fx = x - 0.5 - x0, fy = y - 0.5 - y0;
        const double c = std::floor(fx), r = std::floor(fy);
        if (!(c >= 0 && r >= 0 && c + 1 < side && r + 1 < side))
            return std::numeric_limits<float>::quiet_NaN();
        const size_t i = size_t(r) * size_t(side) + size_t(c);
        const float wx = float(fx - c), wy = float(fy - r);
        return (plane[i] * (1 - wx) + plane[i + 1] * wx) * (1 - wy) +
               (plane[i + size_t(side)] * (1 - wx) + plane[i + size_t(side) + 1] * wx) * wy;
    }
};

// Centres of round edges that are darker inside than out (a pupil; an iris against the white of the eye
// or the lids), found by votes: every pixel of such an edge votes for the points inward along its
// gradient, at every distance up to the largest radius, so a circle's centre gathers the votes of all of
// its rim that shows, wherever in it the click lies. The strongest few within `reach` of `near`,
// strongest first. The votes are cast on a grid of about 24 cells to the largest radius, finer than a
// pixel for small irises.
std::vector<Point> votedCentres(const LumaWindow& window, Point near, double maxRadius, double reach)
{
    const double cell = std::max(0.5, maxRadius / 24);
    const double half = reach + maxRadius + 2;
    const int n = int(std::ceil(2 * half / cell));
    const double gx0 = near.x - half, gy0 = near.y - half;
    const auto index = [n](int i, int j) { return size_t(j) * size_t(n) + size_t(i); };
    const float nan = std::numeric_limits<float>::quiet_NaN();

    // The luminance of each cell, the mean over its area.
    const int sub = std::max(1, int(std::ceil(cell)));
    std::vector<float> grid(size_t(n) * size_t(n), nan);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            float sum = 0;
            for (int b = 0; b < sub; ++b)
                for (int a = 0; a < sub; ++a)
                    sum += window.at(gx0 + (i + (a + 0.5) / sub) * cell, gy0 + (j + (b + 0.5) / sub) * cell);
            grid[index(i, j)] = sum / float(sub * sub);
        }
    // Smoothed lightly, then the gradient; NaN propagates, so edges of the picture cast no votes.
    std::vector<float> smooth(grid.size(), nan);
    for (int j = 1; j + 1 < n; ++j)
        for (int i = 1; i + 1 < n; ++i) {
            float sum = 0;
            for (int b = -1; b <= 1; ++b)
                for (int a = -1; a <= 1; ++a)
                    sum += float((2 - std::abs(a)) * (2 - std::abs(b))) * grid[index(i + a, j + b)];
            smooth[index(i, j)] = sum / 16;
        }
    std::vector<float> gx(grid.size(), 0), gy(grid.size(), 0), magnitude(grid.size(), 0);
    float strongest = 0;
    for (int j = 2; j + 2 < n; ++j)
        for (int i = 2; i + 2 < n; ++i) {
            const auto s = [&](int a, int b) { return smooth[index(i + a, j + b)]; };
            const float dx = (s(1, -1) + 2 * s(1, 0) + s(1, 1) - s(-1, -1) - 2 * s(-1, 0) - s(-1, 1)) / 8;
            const float dy = (s(-1, 1) + 2 * s(0, 1) + s(1, 1) - s(-1, -1) - 2 * s(0, -1) - s(1, -1)) / 8;
            const float m = std::hypot(dx, dy);
            if (!std::isfinite(m))
                continue;
            gx[index(i, j)] = dx, gy[index(i, j)] = dy, magnitude[index(i, j)] = m;
            strongest = std::max(strongest, m);
        }
    std::vector<float> votes(grid.size(), 0);
    const float threshold = std::max(0.2f * strongest, 0.004f * float(cell));
    const double longest = maxRadius / cell;
    for (int j = 2; j + 2 < n; ++j)
        for (int i = 2; i + 2 < n; ++i) {
            const float m = magnitude[index(i, j)];
            if (!(m > threshold))
                continue;
            const double ux = gx[index(i, j)] / m, uy = gy[index(i, j)] / m;
            for (double r = 1; r <= longest; r += 0.5) {
                const double cx = i - r * ux, cy = j - r * uy;
                const int ci = int(std::floor(cx)), cj = int(std::floor(cy));
                if (ci < 0 || cj < 0 || ci + 1 >= n || cj + 1 >= n)
                    break;
                const float wx = float(cx - ci), wy = float(cy - cj);
                votes[index(ci, cj)] += m * (1 - wx) * (1 - wy);
                votes[index(ci + 1, cj)] += m * wx * (1 - wy);
                votes[index(ci, cj + 1)] += m * (1 - wx) * wy;
                votes[index(ci + 1, cj + 1)] += m * wx * wy;
            }
        }
    std::vector<float> gathered(grid.size(), 0);
    for (int j = 1; j + 1 < n; ++j)
        for (int i = 1; i + 1 < n; ++i) {
            float sum = 0;
            for (int b = -1; b <= 1; ++b)
                for (int a = -1; a <= 1; ++a)
                    sum += votes[index(i + a, j + b)];
            gathered[index(i, j)] = sum;
        }
    std::vector<std::pair<float, Point>> peaks;
    for (int j = 2; j + 2 < n; ++j)
        for (int i = 2; i + 2 < n; ++i) {
            const float v = gathered[index(i, j)];
            if (!(v > 0))
                continue;
            const Point p(gx0 + (i + 0.5) * cell, gy0 + (j + 0.5) * cell);
            if (std::hypot(p.x - near.x, p.y - near.y) > reach)
                continue;
            bool peak = true;
            for (int b = -1; b <= 1 && peak; ++b)
                for (int a = -1; a <= 1 && peak; ++a)
                    peak = (a == 0 && b == 0) || v > gathered[index(i + a, j + b)] ||
                           (v == gathered[index(i + a, j + b)] && (b > 0 || (b == 0 && a > 0)));
            if (peak)
                peaks.emplace_back(v, p);
        }
    std::sort(peaks.begin(), peaks.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<Point> centres;
    for (const auto& [v, p] : peaks) {
        if (centres.size() == 4 || v < 0.2f * peaks.front().first)
            break;
        centres.push_back(p);
    }
    return centres;
}

// Luminance along rays from a centre, every half pixel, with running sums for the mean of a stretch.
struct RayProfiles
{
    static constexpr int Rays = 64;
    static constexpr double Step = 0.5;
    int samples = 0;
    std::vector<float> values;      // ray-major
    std::vector<double> sums;       // ray-major, samples + 1 a ray: the sum of the samples before each
    std::vector<double> chromaSums; // the same of the chroma
    std::array<int, Rays> known{};  // how many samples of each ray lie within the picture

    static Point direction(int ray)
    {
        const double angle = 2 * M_PI * ray / Rays;
        return Point(std::cos(angle), std::sin(angle));
    }
    // The profiles about a centre, `reach` samples long (at most `samples`; the rest unknown).
    void measure(const LumaWindow& window, Point centre, int reach = std::numeric_limits<int>::max())
    {
        reach = std::min(reach, samples);
        values.assign(size_t(Rays) * size_t(samples), std::numeric_limits<float>::quiet_NaN());
        sums.assign(size_t(Rays) * size_t(samples + 1), 0.0);
        chromaSums.assign(size_t(Rays) * size_t(samples + 1), 0.0);
        for (int k = 0; k < Rays; ++k) {
            const Point u = direction(k);
            double sum = 0, chromaSum = 0;
            int j = 0;
            for (; j < reach; ++j) {
                const double x = centre.x + j * Step * u.x, y = centre.y + j * Step * u.y;
                const float l = window.at(x, y);
                if (!std::isfinite(l))
                    break;
                values[size_t(k) * size_t(samples) + size_t(j)] = l;
                sum += l;
                chromaSum += window.chromaAt(x, y);
                sums[size_t(k) * size_t(samples + 1) + size_t(j) + 1] = sum;
                chromaSums[size_t(k) * size_t(samples + 1) + size_t(j) + 1] = chromaSum;
            }
            known[size_t(k)] = j;
        }
    }
    float at(int ray, int j) const { return values[size_t(ray) * size_t(samples) + size_t(j)]; }
    // The mean of samples `from` to `to` of a ray, both included; they must lie within the picture.
    double mean(int ray, int from, int to) const { return meanOf(sums, ray, from, to); }
    // How coloured that stretch is: its mean chroma for its mean luminance (a white is lighter and
    // less coloured than any iris; the same chroma means more in a dark iris than in a light one).
    double chroma(int ray, int from, int to) const { return meanOf(chromaSums, ray, from, to); }
    double saturation(int ray, int from, int to) const
    {
        return meanOf(chromaSums, ray, from, to) / (meanOf(sums, ray, from, to) + 0.05);
    }

private:
    double meanOf(const std::vector<double>& running, int ray, int from, int to) const
    {
        const double* s = running.data() + size_t(ray) * size_t(samples + 1);
        return (s[to + 1] - s[from]) / double(to - from + 1);
    }
};

// What a circle of radius j samples is judged by along a ray: the stretch just inside its edge (0.6 to
// 0.9 of the radius: an iris's outer part, past any pupil that is not unusually large) against the
// stretch just outside (1.12 to 1.4 of it: the white of the eye beside an iris), at least a sample in
// and a pixel and a half out, so that small circles are judged by whole pixels.
struct Bands
{
    int edge; // how far each way from the circle its edge is measured
    int innerFrom, innerTo, outerFrom, outerTo;
    explicit Bands(int j)
        : edge(std::max(1, int(std::lround(0.15 * j)))), innerFrom(std::max(1, int(std::lround(0.6 * j)))),
          innerTo(std::max(innerFrom, std::min(j - 1, int(std::lround(0.9 * j))))),
          outerFrom(j + std::max(1, int(std::lround(0.12 * j)))),
          outerTo(j + std::max(3, int(std::lround(0.4 * j))))
    {}
};

// A circle that is darker inside than just outside along enough rays: a pupil, an iris, or something
// round that is neither (a lid's lashes seen from below, the whole eye of a small face).
struct Ring
{
    Point centre;
    int j = 0;               // its radius, in samples
    double quality = 0;      // the contrast across it summed over the rays that show it, per ray
    uint64_t shownAlong = 0; // those rays, a bit each
    uint64_t whiteAlong = 0; // those of them along which the outside is as pale as the white of an eye
    double radius() const { return j * RayProfiles::Step; }
    int shown() const { return std::popcount(shownAlong); }
};

// A quarter of the rays: an iris half under a lid still shows along more.
constexpr int LeastShown = RayProfiles::Rays / 4;
// The white of the eye beside an iris, seen along a tenth of the rays at least: about a corner's worth
// below a lid that hides half the iris.
constexpr int LeastWhite = 6;
// The least rise to the white on both sides of an iris (see sidewaysCircle): a tenth of what the white
// of an eye in shade still rises above a dark iris.
constexpr double SidewaysRise = 0.03;
// A ring chosen by its contrast all round is kept where it rises on both sides nearly as clearly as
// the circle that rises most there; otherwise that circle is the iris.
constexpr double SidewaysAgree = 0.7;
// An iris under this radius (in pixels) is a few pixels across, its rings hard to tell apart.
constexpr double SmallIris = 5.0;

// The rings around the centre the profiles were measured from, no larger than `largest` samples: the
// radii where the contrast across the circle peaks. A ray shows a ring where what lies outside is
// lighter than what lies inside by a clear step (not the slow shading of a white towards the corners).
void ringsAround(const RayProfiles& profiles, Point centre, int largest, std::vector<Ring>& rings,
                 int smallest = 2)
{
    std::vector<double> quality(size_t(largest) + 2, 0.0);
    std::vector<uint64_t> along(size_t(largest) + 2, 0), white(size_t(largest) + 2, 0);
    for (int j = std::max(2, smallest - 1); j <= largest; ++j) {
        const Bands bands(j);
        int known = 0;
        double sum = 0;
        uint64_t shown = 0, pale = 0;
        for (int k = 0; k < RayProfiles::Rays; ++k) {
            if (bands.outerTo >= profiles.known[size_t(k)])
                continue;
            ++known;
            const double inner = profiles.mean(k, bands.innerFrom, bands.innerTo);
            const double outer = profiles.mean(k, bands.outerFrom, bands.outerTo);
            // The step must lie at the circle: the luminance rises across it by half the contrast at
            // least (a dark patch whose edge lies elsewhere between the stretches is no such circle).
            const double rise = profiles.at(k, std::min(j + bands.edge, bands.outerTo)) -
                                profiles.at(k, std::max(j - bands.edge, bands.innerFrom));
            if (outer - inner >= 0.04 + 0.1 * outer && rise >= 0.5 * (outer - inner)) {
                sum += outer - inner;
                shown |= uint64_t(1) << k;
                if (profiles.saturation(k, bands.outerFrom, bands.outerTo) <=
                        0.6 * profiles.saturation(k, bands.innerFrom, bands.innerTo) &&
                    profiles.chroma(k, bands.outerFrom, bands.outerTo) <=
                        profiles.chroma(k, bands.innerFrom, bands.innerTo) + 0.005)
                    pale |= uint64_t(1) << k;
            }
        }
        // Rays that have left the picture count for nothing: a ring must show on most of them.
        if (known >= RayProfiles::Rays / 2) {
            quality[size_t(j)] = sum / RayProfiles::Rays;
            along[size_t(j)] = shown;
            white[size_t(j)] = pale;
        }
    }
    for (int j = std::max(2, smallest); j <= largest; ++j) {
        const double q = quality[size_t(j)];
        if (std::popcount(along[size_t(j)]) >= LeastShown && q >= 0.015 && q >= quality[size_t(j - 1)] &&
            q > quality[size_t(j + 1)])
            rings.push_back({centre, j, q, along[size_t(j)], white[size_t(j)]});
    }
}

// The circle with the white of the eye on both sides of it at the height of its middle: an iris's
// limbus shows there whatever lies over its top and bottom (lids, lashes, the brow's shadow above a
// ring that takes them in), while a larger ring round the eye has skin outside it there, and the pupil
// or a catch light has the iris. Each circle holding the click, of radius from 0.3 of the largest to
// the largest, is judged by the luminance just outside it less that as far inside, averaged along arcs
// of 30 degrees either side of the horizontal: the lesser of its two sides. "Just" is as far for every
// circle tried, since a limbus is as soft as the photo whatever the circle's size: read further out and
// in for larger circles, the step favoured circles reaching past the limbus into the white. And what
// lies beside it there must be lighter than most of what lies inside it all round: a ring round the
// whole eye holds the white, lighter than the skin beyond the corners, and a circle over part of the
// iris has iris, not white, beside it on one side. The circle where the least of those is greatest,
// and that least.
struct SidewaysCircle
{
    Point centre;
    double radius = 0;
    double rise = 0;
};
// The evidence for a circle (see SidewaysCircle), read `d` pixels either side of it; NaN where its arcs
// reach beyond the pixels.
double sidewaysRise(const LumaWindow& window, Point c, double r, double d)
{
    constexpr int PerSide = 7;
    constexpr double HalfArc = 30 * std::numbers::pi / 180;
    static const std::array<Point, 2 * PerSide> directions = [] {
        std::array<Point, 2 * PerSide> d;
        for (int k = 0; k < PerSide; ++k) {
            const double a = -HalfArc + 2 * HalfArc * k / (PerSide - 1);
            d[size_t(k)] = Point(std::cos(a), std::sin(a));
            d[size_t(PerSide + k)] = Point(-std::cos(a), std::sin(a));
        }
        return d;
    }();
    // The inside, sampled over rings from near the middle to near the edge.
    constexpr int InsideAngles = 16;
    static const std::array<Point, 4 * InsideAngles> inside = [] {
        std::array<Point, 4 * InsideAngles> d;
        const double shares[4] = {0.3, 0.5, 0.7, 0.85};
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < InsideAngles; ++k) {
                const double a = 2 * std::numbers::pi * k / InsideAngles;
                d[size_t(i * InsideAngles + k)] = Point(shares[i] * std::cos(a), shares[i] * std::sin(a));
            }
        return d;
    }();
    double side[2] = {0, 0}, beside[2] = {0, 0};
    for (size_t m = 0; m < directions.size(); ++m) {
        const Point u = directions[m];
        const float out = window.at(c.x + (r + d) * u.x, c.y + (r + d) * u.y);
        const float further = window.at(c.x + (r + 2 * d) * u.x, c.y + (r + 2 * d) * u.y);
        const float in = window.at(c.x + (r - d) * u.x, c.y + (r - d) * u.y);
        if (!std::isfinite(out) || !std::isfinite(in) || !std::isfinite(further))
            return std::numeric_limits<double>::quiet_NaN();
        side[m / PerSide] += out - in;
        beside[m / PerSide] += std::max(out, further);
    }
    std::array<float, inside.size()> within;
    for (size_t m = 0; m < inside.size(); ++m) {
        within[m] = window.at(c.x + r * inside[m].x, c.y + r * inside[m].y);
        if (!std::isfinite(within[m]))
            return std::numeric_limits<double>::quiet_NaN();
    }
    // Most of the inside: a catch light or two are lighter than the white beside an iris.
    const auto most = within.begin() + std::ptrdiff_t(0.6 * double(within.size() - 1));
    std::nth_element(within.begin(), most, within.end());
    return std::min({side[0] / PerSide, side[1] / PerSide, std::min(beside[0], beside[1]) / PerSide - *most});
}

// How far either side of a circle its step is read, for a search up to `largest`: a twentieth of that
// (about a tenth of an iris the bound fits), and no less than about a pixel.
double sidewaysReach(double largest)
{
    return std::max(0.75, 0.05 * largest);
}

SidewaysCircle sidewaysCircle(const LumaWindow& window, Point click, double largest)
{
    SidewaysCircle best;
    best.rise = -1;
    for (double r = std::max(2.0, 0.3 * largest); r <= largest + 1e-9; r += std::max(0.25, 0.04 * r)) {
        const double step = std::max(0.5, r / 10);
        const int n = int(r / step);
        for (int i = -n; i <= n; ++i)
            for (int k = -n; k <= n; ++k) {
                if (std::hypot(i * step, k * step) > r)
                    continue;
                const Point c(click.x + i * step, click.y + k * step);
                const double rise = sidewaysRise(window, c, r, sidewaysReach(largest));
                if (rise > best.rise)
                    best = {c, r, rise};
            }
    }
    return best;
}

// Rings measured around nearby centres that are one circle of the photo.
bool sameRing(const Ring& a, const Ring& b)
{
    const double r = std::max(a.radius(), b.radius());
    return std::abs(a.radius() - b.radius()) <= std::max(1.0, 0.15 * r) &&
           std::hypot(a.centre.x - b.centre.x, a.centre.y - b.centre.y) <= std::max(1.0, 0.25 * r);
}

// The lids over a circle: along the longest runs of rays on which no limbus shows, the chord between
// the run's ends, the iris on the other side. A run must be four rays long at least (a catch light or a
// fibre hides fewer) and lie above or below the iris (lids close from above and below, never from the
// sides, where a reflection on the iris may hide its edge too). Two at most, an upper and a lower lid;
// (0, 0, 1) for none.
std::array<std::array<double, 3>, 2> lidsAcross(uint64_t open, uint64_t white, Point centre, double radius)
{
    std::array<std::array<double, 3>, 2> lids{{{0, 0, 1}, {0, 0, 1}}};
    constexpr int rays = RayProfiles::Rays;
    if (open == 0 || open == ~uint64_t(0))
        return lids;
    const auto shown = [open](int k) { return (open >> (((k % rays) + rays) % rays) & 1) != 0; };
    // Runs of hidden rays, from a shown ray on: (first hidden, length).
    int start = 0;
    while (!shown(start))
        ++start;
    std::vector<std::pair<int, int>> runs;
    for (int k = start + 1; k <= start + rays; ++k)
        if (!shown(k)) {
            int length = 0;
            while (!shown(k + length))
                ++length;
            runs.emplace_back(k, length);
            k += length;
        }
    // The lid meets the iris where the white ends beside it: a ray or two between the run and the white
    // may still show an edge on the circle (a dark iris and the lashes along the lid look alike), and
    // are the lid's too.
    for (auto& [first, length] : runs) {
        for (int extra = 0; extra < 2 && !(white >> (((first - 1) % rays + rays) % rays) & 1); ++extra)
            --first, ++length;
        for (int extra = 0; extra < 2 && !(white >> ((first + length) % rays) & 1); ++extra)
            ++length;
    }
    std::sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    size_t placed = 0;
    for (size_t i = 0; i < runs.size() && placed < 2; ++i) {
        const auto [first, length] = runs[i];
        if (length < 4)
            break;
        const double step = 2 * M_PI / rays;
        const double from = (first - 0.5) * step, to = (first + length - 0.5) * step;
        const Point a(centre.x + radius * std::cos(from), centre.y + radius * std::sin(from));
        const Point b(centre.x + radius * std::cos(to), centre.y + radius * std::sin(to));
        const Point hidden(centre.x + radius * std::cos(0.5 * (from + to)),
                           centre.y + radius * std::sin(0.5 * (from + to)));
        if (std::abs(std::sin(0.5 * (from + to))) < std::sqrt(0.5))
            continue;
        double nx = -(b.y - a.y), ny = b.x - a.x;
        const double n = std::hypot(nx, ny);
        if (!(n > 1e-9))
            continue;
        nx /= n, ny /= n;
        if (nx * (hidden.x - a.x) + ny * (hidden.y - a.y) > 0)
            nx = -nx, ny = -ny;
        lids[placed++] = {nx, ny, -(nx * a.x + ny * a.y)};
    }
    return lids;
}

// The dark patch about a point within an iris of radius `limbus`: the pixels darker than `threshold`,
// grown from the darkest within half the radius, within 0.8 of the radius and on the iris's side of the
// lids. Its middle and the radius of a disc as large; a radius of 0 where there is none, or where it is
// not round (its far pixels lie further out than a disc's would) or reaches a lid.
struct Patch
{
    Point centre;
    double radius = 0;
};
Patch darkPatch(const LumaWindow& window, Point centre, double limbus, float threshold,
                const std::array<std::array<double, 3>, 2>& lids)
{
    Patch patch;
    const auto distanceToLid = [&](double x, double y) {
        double nearest = 1e9;
        for (const auto& l : lids)
            if (l[0] != 0 || l[1] != 0)
                nearest = std::min(nearest, l[0] * x + l[1] * y + l[2]);
        return nearest;
    };
    const double reach = 0.8 * limbus;
    const int c0 = std::max(0, int(std::floor(centre.x - reach - window.x0)));
    const int c1 = std::min(window.side - 1, int(std::ceil(centre.x + reach - window.x0)));
    const int r0 = std::max(0, int(std::floor(centre.y - reach - window.y0)));
    const int r1 = std::min(window.side - 1, int(std::ceil(centre.y + reach - window.y0)));
    if (c1 < c0 || r1 < r0)
        return patch;
    const auto place = [&](int c, int r) { return Point(window.x0 + c + 0.5, window.y0 + r + 0.5); };
    const auto within = [&](int c, int r, double radius) {
        const Point p = place(c, r);
        return std::hypot(p.x - centre.x, p.y - centre.y) <= radius && distanceToLid(p.x, p.y) >= 0.5;
    };
    const auto lumaOf = [&](int c, int r) {
        return window.values[size_t(r) * size_t(window.side) + size_t(c)];
    };
    int seedC = -1, seedR = -1;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            if (within(c, r, 0.5 * limbus) && std::isfinite(lumaOf(c, r)) &&
                (seedC < 0 || lumaOf(c, r) < lumaOf(seedC, seedR)))
                seedC = c, seedR = r;
    if (seedC < 0 || !(lumaOf(seedC, seedR) < threshold))
        return patch;
    const int columns = c1 - c0 + 1;
    std::vector<char> seen(size_t(columns) * size_t(r1 - r0 + 1), 0);
    std::vector<std::pair<int, int>> stack{{seedC, seedR}}, pixels;
    seen[size_t(seedR - r0) * size_t(columns) + size_t(seedC - c0)] = 1;
    while (!stack.empty()) {
        const auto [c, r] = stack.back();
        stack.pop_back();
        pixels.emplace_back(c, r);
        for (const auto& [nc, nr] : {std::pair{c + 1, r}, {c - 1, r}, {c, r + 1}, {c, r - 1}}) {
            if (nc < c0 || nc > c1 || nr < r0 || nr > r1)
                continue;
            char& mark = seen[size_t(nr - r0) * size_t(columns) + size_t(nc - c0)];
            if (mark)
                continue;
            mark = 1;
            if (within(nc, nr, reach) && lumaOf(nc, nr) < threshold)
                stack.emplace_back(nc, nr);
        }
    }
    double sx = 0, sy = 0;
    for (const auto& [c, r] : pixels) {
        const Point p = place(c, r);
        sx += p.x, sy += p.y;
        if (distanceToLid(p.x, p.y) < 1.5)
            return patch;
    }
    const double n = double(pixels.size());
    const Point middle(sx / n, sy / n);
    std::vector<float> distances;
    for (const auto& [c, r] : pixels) {
        const Point p = place(c, r);
        distances.push_back(float(std::hypot(p.x - middle.x, p.y - middle.y)));
    }
    std::sort(distances.begin(), distances.end());
    const double radius = std::sqrt(n / M_PI);
    // A catch light at the pupil's edge notches it: the disc as large is smaller than the pupil is.
    if (distances[size_t(0.9 * double(distances.size() - 1))] > 1.25 * radius + 0.5)
        return patch;
    patch.centre = middle;
    patch.radius = radius;
    return patch;
}

// An iris a few pixels across: its ring is a pixel or two wide, so a circle found from its edges a pixel
// off (a catch light covering a third of it, the lids as near as its own radius) misses most of it. It is
// found again as the disc that holds the most of what an iris holds: pixels of the iris's colour, and the
// pupil's dark near its middle, against everything else (the white, the lids, the lashes beyond the
// middle). A catch light, far lighter than any of them and grey, counts for neither, nor does its blurred
// rim; nor does what lies past a lid found. Searched within a couple of pixels of the circle found, the disc
// still holding the click.
struct SmallPixel
{
    Point at; // its centre, y up
    float luma;
    std::array<float, 3> rgb;
    bool counted;   // neither past a lid nor a catch light
    bool nearCatch; // beside a catch light: its blurred rim, if lighter than the iris
};
struct SmallDisc
{
    Point centre, pupilCentre;
    double radius = 0, pupil = 0, score = 0;
    Color colour; // the ring's, between the pupil and the limbus
    double lighterAround = 0;
};

template <typename ColourAt>
std::vector<SmallPixel> smallIrisPixels(ColourAt colourAt, Point around, double reach,
                                        const std::array<std::array<double, 3>, 2>& lids)
{
    std::vector<SmallPixel> pixels;
    for (double y = std::floor(around.y - reach) + 0.5; y <= around.y + reach; ++y)
        for (double x = std::floor(around.x - reach) + 0.5; x <= around.x + reach; ++x) {
            float rgb[3];
            if (!colourAt(x, y, rgb))
                continue;
            bool counted = std::min({rgb[0], rgb[1], rgb[2]}) <= 0.92f;
            for (const auto& l : lids)
                counted = counted && l[0] * x + l[1] * y + l[2] >= 0;
            pixels.push_back({Point(x, y), luma(rgb), {rgb[0], rgb[1], rgb[2]}, counted, false});
        }
    for (const SmallPixel& c : pixels)
        if (std::min({c.rgb[0], c.rgb[1], c.rgb[2]}) > 0.92f)
            for (SmallPixel& p : pixels)
                if (std::hypot(p.at.x - c.at.x, p.at.y - c.at.y) < 1.5)
                    p.nearCatch = true;
    return pixels;
}

// The mean colour of the pixels within `radius` of a point that are darker than the lightest 60 % and
// lighter than the darkest 10 %: on a disc a pixel or two off a small iris, mostly the iris's own.
Color smallIrisColour(const std::vector<SmallPixel>& pixels, Point centre, double radius)
{
    std::vector<const SmallPixel*> inside;
    for (const SmallPixel& p : pixels)
        if (p.counted && std::hypot(p.at.x - centre.x, p.at.y - centre.y) <= radius)
            inside.push_back(&p);
    std::sort(inside.begin(), inside.end(),
              [](const SmallPixel* a, const SmallPixel* b) { return a->luma < b->luma; });
    double sum[3] = {0, 0, 0};
    int kept = 0;
    for (size_t i = size_t(0.1 * double(inside.size())); i < size_t(0.4 * double(inside.size())); ++i, ++kept)
        for (size_t k = 0; k < 3; ++k)
            sum[k] += inside[i]->rgb[k];
    return kept > 0 ? Color(sum[0] / kept, sum[1] / kept, sum[2] / kept, 1.0) : Color(0, 0, 0, 0);
}

// Near the iris's colour as the iris mask measures it: a darker pixel's difference of lightness counts
// half, a lighter one's more than in full. This is the mask kernel's colour distance (irisColorDistance,
// without a white beside the limbus and with the pupil's dark judged apart) written again: the engine's
// CPU version of a kernel is internal to it and not callable from here, so a change to either must be
// made to both, or the fit would choose its disc by another notion of the iris than the mask takes.
bool likeTheIris(const SmallPixel& p, const Color& colour)
{
    const float reference[3] = {float(colour.red()), float(colour.green()), float(colour.blue())};
    const float irisLuma = luma(reference);
    const float lightness = p.luma - irisLuma;
    float chroma = 0;
    for (size_t k = 0; k < 3; ++k)
        chroma += std::pow((p.rgb[k] - p.luma) - (reference[k] - irisLuma), 2.0f);
    return std::sqrt(chroma + std::pow(lightness < 0 ? 0.5f * lightness : 1.4f * lightness, 2.0f)) <
           float(IrisRadiusFinder::IrisTolerance);
}

SmallDisc smallIrisDisc(const std::vector<SmallPixel>& pixels, Point found, Point click, double largest,
                        const Color& colour)
{
    SmallDisc disc;
    constexpr double Shift = 2.5;
    const double smallest = std::max(1.0, largest - 2);
    const float irisLuma = luma(colour);
    if (largest < 1.5 || !(irisLuma > 0.02f) || colour.alpha() <= 0)
        return disc;
    // Iris (1), dark (2), neither (0) or not counted (-1); the distance as the iris mask measures it.
    std::vector<int> kinds;
    for (const SmallPixel& p : pixels) {
        const bool catchLight = !p.counted || (p.nearCatch && p.luma > irisLuma);
        kinds.push_back(catchLight ? -1 : p.luma < 0.5f * irisLuma ? 2 : likeTheIris(p, colour) ? 1 : 0);
    }
    for (double dy = -Shift; dy <= Shift + 1e-9; dy += 0.25)
        for (double dx = -Shift; dx <= Shift + 1e-9; dx += 0.25) {
            const Point c(found.x + dx, found.y + dy);
            for (double r = smallest; r <= largest + 1e-9; r += 0.25) {
                if (std::hypot(click.x - c.x, click.y - c.y) > r + 0.5)
                    continue;
                double score = 0;
                for (size_t i = 0; i < pixels.size(); ++i) {
                    const double d = std::hypot(pixels[i].at.x - c.x, pixels[i].at.y - c.y);
                    if (kinds[i] < 0 || d > r + 1.5)
                        continue;
                    // Inside: the iris and the pupil for, anything else against. Just outside: more of
                    // the iris's colour against (a disc within a patch of skin is no iris).
                    const double w = std::clamp(r + 0.5 - d, 0.0, 1.0);
                    const bool in = kinds[i] == 1 || (kinds[i] == 2 && d <= 0.6 * r);
                    score += w * (in ? 1.0 : -1.0) - (1 - w) * (kinds[i] == 1 ? 1.0 : 0.0);
                }
                // Of two discs that hold the iris alike, the smaller: past a lid nothing counts, and a
                // disc grown there for nothing would take the lashes along it.
                score -= 0.05 * M_PI * r * r;
                if (score > disc.score)
                    disc.score = score, disc.centre = c, disc.radius = r;
            }
        }
    if (disc.radius <= 0)
        return disc;
    // The pupil: the dark in the middle, as large as its darkness adds up to.
    const auto distance = [&](const SmallPixel& p) {
        return std::hypot(p.at.x - disc.centre.x, p.at.y - disc.centre.y);
    };
    float darkest = irisLuma;
    for (const SmallPixel& p : pixels)
        if (p.counted && distance(p) <= 0.6 * disc.radius)
            darkest = std::min(darkest, p.luma);
    if (darkest < 0.6f * irisLuma) {
        double area = 0;
        for (const SmallPixel& p : pixels)
            if (p.counted && distance(p) <= 0.6 * disc.radius)
                area += std::clamp((irisLuma - p.luma) / (irisLuma - darkest), 0.0f, 1.0f);
        disc.pupil = std::min(std::sqrt(area / M_PI), 0.6 * disc.radius);
    }
    // The pupil's own middle, which may lie a pixel off the iris's: the middle of its dark, each pixel
    // weighed by the fourth power of its darkness. Weighed by the darkness itself, the half-dark
    // pixels around the pupil (a lid's shadow just over it, the iris's darker fibres) outweigh its
    // core and pull the middle towards wherever most of them lie; on so small an iris a pupil pixel
    // left in is much of its pupil. Where a catch light or a lid hides part of the pupil, what shows of
    // its dark lies off to one side, and the iris's middle is kept.
    disc.pupilCentre = disc.centre;
    const bool pupilHidden = std::any_of(pixels.begin(), pixels.end(), [&](const SmallPixel& p) {
        return distance(p) <= disc.pupil + 1 && (!p.counted || (p.nearCatch && p.luma > irisLuma));
    });
    if (disc.pupil > 0 && !pupilHidden) {
        double weights = 0, x = 0, y = 0;
        for (const SmallPixel& p : pixels)
            if (p.counted && distance(p) <= 0.6 * disc.radius) {
                const double w =
                    std::pow(double(std::clamp((irisLuma - p.luma) / (irisLuma - darkest), 0.0f, 1.0f)), 4.0);
                weights += w, x += w * p.at.x, y += w * p.at.y;
            }
        if (weights > 0)
            disc.pupilCentre = Point(x / weights, y / weights);
    }
    // The ring's colour, what is far lighter or darker than most of it left out.
    std::vector<const SmallPixel*> ring;
    std::vector<float> lumas;
    for (const SmallPixel& p : pixels)
        if (p.counted && distance(p) >= disc.pupil + 0.5 && distance(p) <= disc.radius)
            ring.push_back(&p), lumas.push_back(p.luma);
    disc.colour = colour;
    const float typical = median(lumas);
    double sum[3] = {0, 0, 0};
    int kept = 0;
    for (const SmallPixel* p : ring) {
        if (std::abs(p->luma - typical) > std::max(0.06f, 0.3f * typical))
            continue;
        for (size_t k = 0; k < 3; ++k)
            sum[k] += p->rgb[k];
        ++kept;
    }
    if (kept > 0)
        disc.colour = Color(sum[0] / kept, sum[1] / kept, sum[2] / kept, 1.0);
    // How much lighter than the iris what lies around it is: the white and the lids.
    std::vector<float> around;
    for (const SmallPixel& p : pixels)
        if (p.counted && distance(p) > disc.radius + 0.5 && distance(p) <= disc.radius + 2)
            around.push_back(p.luma);
    disc.lighterAround = median(around) - luma(disc.colour);
    return disc;
}

// The lashes along the upper lid hang over the top of the iris as dark as it, so the circle found takes
// them in (the lid's skin above them makes as clear an edge as the white would) and the lid found lies
// along their upper edge. A coloured iris is more saturated than the lashes and the lid's margin, which
// are greyer: walking up the middle of the iris from where it is most saturated, where the saturation
// falls below seven tenths of that for good (a catch light on the iris dims it only for a while), the
// lid begins. The height (y up); nothing where the iris is hardly coloured (a grey or pale blue iris
// may be no more saturated than the lashes), where the colour holds to the top, or where it falls so
// near the middle that no lid hangs there but the pupil's dark or a shadow.
template <typename ColourAt>
std::optional<double> lidMarginAbove(ColourAt colourAt, Point centre, double radius, float irisLuma)
{
    constexpr double Falls = 0.7, LeastSaturated = 0.5;
    const double step = std::min(0.5, radius / 16);
    // The saturation of the mean colour across the iris's middle half at a height, the catch light left out.
    const auto saturation = [&](double t) {
        double sum[3] = {0, 0, 0};
        int n = 0;
        for (double x = centre.x - 0.5 * radius; x <= centre.x + 0.5 * radius + 1e-9; x += step) {
            float rgb[3];
            if (colourAt(x, centre.y + t, rgb) && luma(rgb) < irisLuma + 0.2f) {
                for (int k = 0; k < 3; ++k)
                    sum[k] += rgb[k];
                ++n;
            }
        }
        const double most = std::max({sum[0], sum[1], sum[2]}), fewest = std::min({sum[0], sum[1], sum[2]});
        return n > 0 && most > 0 ? (most - fewest) / most : std::numeric_limits<double>::quiet_NaN();
    };
    double peak = 0, peakAt = 0;
    for (double t = 0; t <= 0.7 * radius + 1e-9; t += step)
        if (const double s = saturation(t); std::isfinite(s) && s > peak)
            peak = s, peakAt = t;
    if (peak < LeastSaturated)
        return std::nullopt;
    std::optional<double> from;
    for (double t = peakAt; t <= radius + 1e-9; t += step) {
        const double s = saturation(t);
        if (!std::isfinite(s))
            break;
        if (s >= Falls * peak)
            from.reset();
        else if (!from)
            from = t;
    }
    if (!from || *from < 0.3 * radius)
        return std::nullopt;
    return centre.y + *from - 0.5 * step;
}

// The lids with the lid's margin among them where it cuts lower than the upper lid found. The upper lid
// found stays first where the other place is free: the iris mask tells the lashes along it by where it
// lies.
void cutAtTheMargin(std::array<std::array<double, 3>, 2>& lids, Point centre, double height)
{
    const auto none = [](const std::array<double, 3>& l) { return l[0] == 0 && l[1] == 0; };
    const auto upper = [](const std::array<double, 3>& l) { return l[1] < -0.5; };
    const auto heightAt = [&](const std::array<double, 3>& l) { return -(l[0] * centre.x + l[2]) / l[1]; };
    for (const auto& l : lids)
        if (upper(l) && heightAt(l) <= height)
            return;
    const std::array<double, 3> margin{0, -1, height};
    if (none(lids[0]) || none(lids[1])) {
        const std::array<double, 3> kept = none(lids[0]) ? lids[1] : lids[0];
        lids = none(kept) ? std::array<std::array<double, 3>, 2>{margin, kept}
                          : std::array<std::array<double, 3>, 2>{kept, margin};
        return;
    }
    for (auto& l : lids)
        if (upper(l)) {
            l = margin;
            return;
        }
}

} // namespace

IrisRadiusFinder::Iris IrisRadiusFinder::locateIris(double maxRadius) const
{
    Iris iris = fittedIris(maxRadius);
    if (iris.found)
        if (const auto margin =
                lidMarginAbove([this](double x, double y, float rgb[3]) { return colorAtPoint(x, y, rgb); },
                               iris.centre, iris.limbusRadius, luma(iris.colour)))
            cutAtTheMargin(iris.lids, iris.centre, *margin);
    return iris;
}

IrisRadiusFinder::Iris IrisRadiusFinder::fittedIris(double maxRadius) const
{
    Iris iris = searchedIris(maxRadius);
    if (!iris.found || iris.limbusRadius >= SmallIris)
        return iris;
    // The colour sampled about a circle a pixel off is partly the catch light's or the lids': tried
    // too is that of the darker middle of the pixels within the circle, and each colour again as the
    // disc found with it shows it. The disc that holds the iris best is the iris.
    // Within a pixel of the radius found: no larger, lest a disc of skin around a tiny eye be taken.
    const double largest = std::min({maxRadius, SmallIris, iris.limbusRadius + 1});
    const std::vector<SmallPixel> pixels =
        smallIrisPixels([this](double x, double y, float rgb[3]) { return colorAtPoint(x, y, rgb); },
                        iris.centre, largest + 4.5, iris.lids);
    // A catch light makes the colour sampled lighter than the iris, never darker: a disc much lighter
    // has settled on the skin or the white. And an iris is darker than the white and the lids around
    // it: a disc with hardly lighter surroundings is a patch of skin on a small face.
    SmallDisc best;
    for (const Color& colour :
         {iris.colour, smallIrisColour(pixels, iris.centre, std::max(iris.limbusRadius, 2.5) + 0.5)}) {
        const SmallDisc first = smallIrisDisc(pixels, iris.centre, m_point, largest, colour);
        const SmallDisc again =
            first.radius > 0 ? smallIrisDisc(pixels, iris.centre, m_point, largest, first.colour) : first;
        for (const SmallDisc& disc : {first, again})
            if (disc.score > best.score && luma(disc.colour) <= luma(iris.colour) + 0.1 &&
                disc.lighterAround >= 0.15)
                best = disc;
    }
    if (best.radius <= 0)
        return iris;
    iris.centre = best.centre;
    iris.pupilCentre = best.pupilCentre;
    iris.limbusRadius = best.radius;
    iris.pupilRadius = best.pupil;
    iris.colour = best.colour;
    // A lid is told on so small a circle by a few rays, and a catch light over the iris's edge hides
    // it there as well as a lid would: a lid beyond which the disc holds mostly the iris's colour is
    // none.
    for (auto& lid : iris.lids) {
        if (lid[0] == 0 && lid[1] == 0)
            continue;
        int beyond = 0, alike = 0;
        for (const SmallPixel& p : pixels)
            if (std::hypot(p.at.x - best.centre.x, p.at.y - best.centre.y) <= best.radius + 0.5 &&
                lid[0] * p.at.x + lid[1] * p.at.y + lid[2] < 0 &&
                std::min({p.rgb[0], p.rgb[1], p.rgb[2]}) <= 0.92f && !p.nearCatch)
                ++beyond, alike += likeTheIris(p, best.colour) ? 1 : 0;
        if (beyond >= 2 && alike >= 0.6 * beyond)
            lid = {0, 0, 1};
    }
    return iris;
}

IrisRadiusFinder::Iris IrisRadiusFinder::searchedIris(double maxRadius) const
{
    // Searched again from the middle of the iris found: the same iris then comes out wherever on it the
    // click lay, and a search that began off to one side settles on the circle itself. Under a bound of
    // a dozen pixels the first search already looked from every half pixel about the click.
    const Iris first = irisFrom(m_point, maxRadius);
    if (!first.found || maxRadius <= 12)
        return first;
    const Iris again = irisFrom(first.centre, maxRadius);
    return again.found ? again : first;
}

IrisRadiusFinder::Iris IrisRadiusFinder::irisFrom(Point origin, double maxRadius) const
{
    Iris iris;
    if (!std::isfinite(origin.x) || !std::isfinite(origin.y) || !(maxRadius >= 1.5))
        return iris;
    maxRadius = std::min(maxRadius, 256.0);
    // The bound is a ceiling on the limbus and nothing more: every circle up to it is judged alike, by
    // the same stretches around it, whatever the bound.
    const int largest = int(maxRadius / RayProfiles::Step);
    RayProfiles profiles;
    profiles.samples = Bands(largest).outerTo + 2;
    // Centres lie within the largest radius of the click (the click lies on the iris), and the rays
    // from them reach past the largest circle.
    const double reach = maxRadius + profiles.samples * RayProfiles::Step + 2;
    cover(origin, reach + 2);
    if (m_bitmap.isNull())
        return iris;
    LumaWindow window;
    window.x0 = int(std::floor(origin.x - reach)), window.y0 = int(std::floor(origin.y - reach));
    window.side = int(std::ceil(2 * reach)) + 2;
    window.values.assign(size_t(window.side) * size_t(window.side), std::numeric_limits<float>::quiet_NaN());
    window.chroma.assign(window.values.size(), 0.0f);
    for (int y = 0; y < window.side; ++y)
        for (int x = 0; x < window.side; ++x) {
            float rgb[3];
            if (colorAtPoint(window.x0 + x + 0.5, window.y0 + y + 0.5, rgb)) {
                const float l = luma(rgb);
                window.values[size_t(y) * size_t(window.side) + size_t(x)] = l;
                window.chroma[size_t(y) * size_t(window.side) + size_t(x)] =
                    std::hypot((rgb[2] - l) / 1.772f, (rgb[0] - l) / 1.402f);
            }
        }

    // The rings around the strongest centres of round edges near the click, and around the click itself
    // (a small iris's edges may cast too few votes), each looked at from a few points around it, then
    // more finely around the strongest and the widest ring found there (an iris may stand out less than
    // its pupil), and around the strongest again while it moves.
    std::vector<Ring> rings;
    // Each point once per start: the looks around a ring that moved overlap the last ones.
    std::vector<Point> visited;
    const auto visit = [&](Point centre) {
        if (std::any_of(visited.begin(), visited.end(), [&](const Point& p) {
                return std::abs(p.x - centre.x) < 1e-3 && std::abs(p.y - centre.y) < 1e-3;
            }))
            return;
        visited.push_back(centre);
        profiles.measure(window, centre);
        ringsAround(profiles, centre, largest, rings);
    };
    std::vector<Point> starts = votedCentres(window, origin, maxRadius, maxRadius);
    starts.push_back(origin);
    const double spacing = std::max(0.5, maxRadius / 24);
    for (size_t s = 0; s < starts.size(); ++s) {
        const bool voted = s + 1 < starts.size();
        const double step = voted ? spacing : 1.5 * spacing;
        const int steps = voted ? 1 : 2;
        const size_t first = rings.size();
        visited.clear();
        for (int i = -steps; i <= steps; ++i)
            for (int k = -steps; k <= steps; ++k)
                visit(Point(starts[s].x + step * i, starts[s].y + step * k));
        // Then again around the strongest for as long as it moves: a voted centre may lie a pixel off
        // the circle's own, further than one finer look reaches, and an iris looked at only from off its
        // middle may stand out less than a smaller circle the catch light pulls aside.
        std::vector<Point> refined;
        for (int round = 0; round < 4; ++round) {
            // The widest only in the first round: chasing it further lets the eye's outline win.
            const Ring *strongest = nullptr, *widest = nullptr;
            for (size_t r = first; r < rings.size(); ++r) {
                if (!strongest || rings[r].quality > strongest->quality)
                    strongest = &rings[r];
                if (round == 0 && (!widest || rings[r].j > widest->j ||
                                   (rings[r].j == widest->j && rings[r].quality > widest->quality)))
                    widest = &rings[r];
            }
            std::vector<Point> finer;
            for (const Ring* ring : {strongest, widest})
                if (ring && std::none_of(refined.begin(), refined.end(), [&](const Point& p) {
                        return p.x == ring->centre.x && p.y == ring->centre.y;
                    }))
                    finer.push_back(ring->centre), refined.push_back(ring->centre);
            if (finer.empty())
                break;
            for (const Point& around : finer)
                for (int i = -1; i <= 1; ++i)
                    for (int k = -1; k <= 1; ++k)
                        if (i != 0 || k != 0)
                            visit(Point(around.x + 0.5 * spacing * i, around.y + 0.5 * spacing * k));
        }
    }
    // Each circle of the photo once, where it stands out most.
    const auto keepDistinct = [](std::vector<Ring>& all) {
        std::sort(all.begin(), all.end(), [](const Ring& a, const Ring& b) { return a.quality > b.quality; });
        std::vector<Ring> distinct;
        for (const Ring& ring : all)
            if (std::none_of(distinct.begin(), distinct.end(),
                             [&](const Ring& d) { return sameRing(d, ring); }))
                distinct.push_back(ring);
        return distinct;
    };
    std::vector<Ring> distinct = keepDistinct(rings);

    // The iris: a ring with the white of the eye outside it, lighter and less coloured than the iris,
    // along some of the rays that show it (a pupil has the iris around it, the outline of a small
    // face's eye the skin), holding the click (on the iris, or on the lid just over its edge: an iris
    // the lid half hides is a circle whose upper part is the lid). Of those, the one standing out most,
    // by the contrast along it and the share of it the white lies beside, the pupil's ring inside it
    // counting half.
    const Ring* chosen = nullptr;
    double best = 0;
    std::vector<std::pair<const Ring*, double>> candidates;
    for (const Ring& ring : distinct) {
        const int white = std::popcount(ring.whiteAlong);
        if (white < std::max(LeastWhite, ring.shown() / 5) ||
            std::hypot(ring.centre.x - m_point.x, ring.centre.y - m_point.y) > 1.35 * ring.radius())
            continue;
        double pupil = 0;
        // A pupil has the iris around it, not the white: a smaller ring with the white outside is
        // this iris measured about another centre.
        for (const Ring& inner : distinct)
            if (&inner != &ring && inner.radius() <= 0.75 * ring.radius() &&
                std::popcount(inner.whiteAlong) < std::max(LeastWhite, inner.shown() / 4) &&
                std::hypot(inner.centre.x - ring.centre.x, inner.centre.y - ring.centre.y) <=
                    0.2 * ring.radius() + 0.75 &&
                std::popcount(inner.shownAlong & ring.shownAlong) >= 0.5 * inner.shown())
                pupil = std::max(pupil, inner.quality);
        // The more of it the white lies beside, the more surely an iris (a catch light on the iris is
        // pale too, beside a pupil along a few rays).
        const double score = ring.quality * (0.75 + 0.25 * white / ring.shown()) + 0.5 * pupil;
        candidates.emplace_back(&ring, score);
        if (score > best) {
            best = score;
            chosen = &ring;
        }
    }
    if (!chosen)
        return iris;
    // An iris a few pixels across hardly shows its limbus: the lashes over it and its dark lower part
    // make smaller rings, within it and with the white beside them too, that stand out as much as the
    // limbus does, and which of them comes first changes with the click. A ring of the same kind that
    // holds the one chosen, up to three times as large, and stands out nearly as much is the iris itself.
    if (chosen->radius() < SmallIris) {
        const Ring* inner = chosen;
        double around = 0;
        for (const auto& [ring, score] : candidates)
            if (ring->radius() > inner->radius() && ring->radius() <= 3 * inner->radius() &&
                score >= 0.9 * best && score > around &&
                std::hypot(ring->centre.x - inner->centre.x, ring->centre.y - inner->centre.y) +
                        inner->radius() <=
                    ring->radius() + 0.5)
                around = score, chosen = ring;
    }
    Point centre = chosen->centre;
    Ring current = *chosen;
    // The white on both sides at the height of the middle decides: where a clear such circle is
    // there, it is the iris (the ring that stands out most all round may be the lids and lashes round
    // the eye), and the ring measured about its middle at its radius tells along which rays the white
    // shows.
    double limbus = chosen->radius();
    const double chosenRise =
        sidewaysRise(window, chosen->centre, chosen->radius(), sidewaysReach(maxRadius));
    // A ring well inside that circle is part of its iris (the pupil, or the pupil and a catch light
    // beside it, whose light rim reads as white on both sides), never the iris: an iris lies inside no
    // other circle with the white of the eye beside it.
    const auto holdsTheChosen = [&](Point c, double r) {
        return chosen->radius() <= 0.75 * r &&
               std::hypot(chosen->centre.x - c.x, chosen->centre.y - c.y) + chosen->radius() <= r + 1;
    };
    if (const SidewaysCircle sideways = sidewaysCircle(window, m_point, maxRadius);
        sideways.rise >= SidewaysRise &&
        (!(chosenRise >= SidewaysAgree * sideways.rise) ||
         holdsTheChosen(sideways.centre, sideways.radius)) &&
        sideways.radius >= SmallIris) {
        profiles.measure(window, sideways.centre);
        std::vector<Ring> there;
        ringsAround(profiles, sideways.centre, largest, there);
        const Ring* same = nullptr;
        for (const Ring& r : there)
            if (std::abs(r.radius() - sideways.radius) <= std::max(1.0, 0.2 * sideways.radius) &&
                (!same || r.quality > same->quality))
                same = &r;
        if (same) {
            centre = sideways.centre;
            current = *same;
            limbus = sideways.radius;
        }
    }

    // Along a ray, the steepest rise near a circle of j samples: where (in pixels) and how much.
    const int rise = largest < 16 ? 1 : 2;
    const auto riseAt = [&](int k, int j) {
        return j - rise >= 0 && j + rise < profiles.known[size_t(k)]
                   ? profiles.at(k, j + rise) - profiles.at(k, j - rise)
                   : std::numeric_limits<float>::quiet_NaN();
    };
    const auto edgeAlong = [&](int k, int j0) {
        std::pair<double, float> edge(-1.0, 0.0f);
        int at = -1;
        for (int j = std::max(rise, int(0.8 * j0)); j <= int(1.25 * j0) + 1; ++j) {
            const float g = riseAt(k, j);
            if (!std::isfinite(g))
                break;
            if (g > edge.second)
                edge = {j * RayProfiles::Step, g}, at = j;
        }
        // Between samples: the top of the parabola through the steepest rise and its neighbours.
        if (at > 0) {
            const float before = riseAt(k, at - 1), after = riseAt(k, at + 1);
            const float curve = before - 2 * edge.second + after;
            if (std::isfinite(before) && std::isfinite(after) && curve < 0)
                edge.first += std::clamp(0.5f * (before - after) / curve, -0.5f, 0.5f) * RayProfiles::Step;
        }
        return edge;
    };
    // The circle fitted to the limbus: along each ray with the white outside (where a lid's edge would
    // mislead: the lashes' edge against the skin lies inside the circle), or along every ray that shows
    // the ring where too few have, the steepest rise near it, by least squares with the centre's shift
    // and the radius free (or, where those rays lie on one side only and an arc alone would fit a
    // smaller circle shifted towards it as well, the centre only), the rays that disagree left out;
    // then measured again from there.
    for (int round = 0; round < 3; ++round) {
        profiles.measure(window, centre);
        const uint64_t along =
            std::popcount(current.whiteAlong) >= 8 ? current.whiteAlong : current.shownAlong;
        std::vector<std::pair<Point, double>> edges; // ray direction, edge radius
        for (int k = 0; k < RayProfiles::Rays; ++k)
            if (along >> k & 1)
                if (const auto [r, g] = edgeAlong(k, current.j); r > 0)
                    edges.emplace_back(RayProfiles::direction(k), r);
        // Rays spread round the circle fix its radius too; rays gathered on one side (their directions'
        // mean long) do not.
        Point sum;
        for (const auto& [u, r] : edges)
            sum = Point(sum.x + u.x, sum.y + u.y);
        const bool allRound = !edges.empty() && std::hypot(sum.x, sum.y) <= 0.6 * double(edges.size());
        const double heldRadius = current.radius();
        Point shift;
        double radius = heldRadius;
        bool fitted = false;
        for (int pass = 0; pass < 2 && edges.size() >= 8; ++pass) {
            // Normal equations of r = R + dx ux + dy uy (or of r - R = dx ux + dy uy with R held), solved
            // by Gauss-Jordan.
            const int n = allRound ? 3 : 2;
            double a[3][4] = {};
            for (const auto& [u, r] : edges) {
                const double full[3] = {1, u.x, u.y};
                const double* row = allRound ? full : full + 1;
                const double rhs = allRound ? r : r - heldRadius;
                for (int i = 0; i < n; ++i) {
                    for (int k = 0; k < n; ++k)
                        a[i][k] += row[i] * row[k];
                    a[i][3] += row[i] * rhs;
                }
            }
            bool solved = true;
            for (int i = 0; i < n && solved; ++i) {
                const double pivot = a[i][i];
                solved = std::abs(pivot) > 1e-9;
                if (!solved)
                    break;
                for (int k = 0; k < 4; ++k)
                    a[i][k] /= pivot;
                for (int m = 0; m < n; ++m)
                    if (m != i) {
                        const double f = a[m][i];
                        for (int k = 0; k < 4; ++k)
                            a[m][k] -= f * a[i][k];
                    }
            }
            if (!solved)
                break;
            radius = allRound ? a[0][3] : heldRadius;
            shift = allRound ? Point(a[1][3], a[2][3]) : Point(a[0][3], a[1][3]);
            fitted = true;
            const double tolerance = std::max(1.0, 0.1 * radius);
            std::erase_if(edges, [&](const std::pair<Point, double>& e) {
                return std::abs(e.second - radius - shift.x * e.first.x - shift.y * e.first.y) > tolerance;
            });
        }
        if (fitted && edges.size() >= 8) {
            // The edge's own radius: where the rays that agree rise most steeply, about the shifted centre.
            std::vector<float> radii;
            for (const auto& [u, r] : edges)
                radii.push_back(float(r - shift.x * u.x - shift.y * u.y));
            limbus = median(radii);
        }
        // A shift too small to matter ends the search; one too large is no refinement of this circle.
        const double moved = std::hypot(shift.x, shift.y);
        if (!fitted || moved < 0.2 || moved > 0.5 * heldRadius)
            break;
        const Point moveTo(centre.x + shift.x, centre.y + shift.y);
        // Kept where the ring still stands out from there, the white outside it: the stretches judge
        // whether a ring is there, the edges where it lies (about a centre a little off, a ring may
        // stand out more where the lids add to its contrast).
        profiles.measure(window, moveTo);
        std::vector<Ring> there;
        ringsAround(profiles, moveTo, largest, there);
        const Ring* same = nullptr;
        for (const Ring& r : there)
            if (std::abs(r.radius() - limbus) <= std::max(1.0, 0.2 * limbus) &&
                std::popcount(r.whiteAlong) >= LeastWhite && (!same || r.quality > same->quality))
                same = &r;
        if (!same || same->quality < 0.5 * current.quality)
            break;
        centre = moveTo;
        current = *same;
    }
    profiles.measure(window, centre);
    if (!std::isfinite(limbus) || limbus <= 0)
        limbus = current.radius();
    if (std::hypot(centre.x - m_point.x, centre.y - m_point.y) > 1.35 * limbus)
        return iris;
    // Where the iris shows out to the limbus: along the rays with the white outside, and along those
    // that rise clearly where the circle lies (a lower lid the iris touches, a strip of white below the
    // lashes); elsewhere a lid hides it.
    uint64_t open = 0;
    for (int k = 0; k < RayProfiles::Rays; ++k) {
        const auto [r, g] = edgeAlong(k, int(limbus / RayProfiles::Step));
        if ((current.whiteAlong >> k & 1) ||
            (r > 0 && g >= 0.05f && std::abs(r - limbus) <= std::max(1.0, 0.1 * limbus)))
            open |= uint64_t(1) << k;
    }

    // The pupil: the dark disc in the middle, out to where it rises half-way to the iris's lighter
    // part for good, along the rays that show the iris and counted as if all did (a lid hides the pupil
    // as much as the iris). None where the middle is not clearly darker than the iris: a dark-brown
    // iris may hardly show its pupil.
    const int openRays = std::popcount(open);
    double pupil = 0;
    float pupilLuma = 0;
    Point pupilCentre = centre;
    if (openRays > 0) {
        const int limbusSamples = int(limbus / RayProfiles::Step);
        // The median luminance at each distance along those rays: the catch light and the lids left out.
        std::vector<float> level(size_t(limbusSamples) + 1);
        for (int j = 0; j <= limbusSamples; ++j) {
            std::vector<float> column;
            for (int k = 0; k < RayProfiles::Rays; ++k)
                if ((open >> k & 1) && j < profiles.known[size_t(k)])
                    column.push_back(profiles.at(k, j));
            level[size_t(j)] = median(column);
        }
        int darkest = 0;
        for (int j = 1; j <= int(0.75 * limbusSamples); ++j)
            if (level[size_t(j)] < level[size_t(darkest)])
                darkest = j;
        const float dark = level[size_t(darkest)];
        std::vector<float> annulus;
        for (int j = std::max(1, int(0.2 * limbusSamples)); j <= limbusSamples - 2; ++j)
            annulus.push_back(level[size_t(j)]);
        std::sort(annulus.begin(), annulus.end());
        const float ring = annulus.empty() ? dark : annulus[size_t(0.75 * double(annulus.size() - 1))];
        // The iris's own level: most of the annulus, or its lightest beyond the dark disc where a small,
        // blurred iris has hardly a plateau.
        float lightest = ring;
        for (int j = darkest + 1; j <= limbusSamples - 2; ++j)
            lightest = std::max(lightest, level[size_t(j)]);
        if (dark < 0.3f && lightest - dark >= std::max(0.05f, 0.25f * lightest)) {
            // Along each ray the pupil ends where the ray rises half-way for good: past a stretch a
            // tenth of the limbus long (a pixel at least) that stays lighter, but not much lighter than
            // the iris ever is. A catch light on the pupil is no such stretch; a dark fibre further out
            // no longer counts. Nor is the way down from a catch light into the pupil (the middle found
            // may lie on the catch light): a ray that leaves one counts only from where it turns dark,
            // and one that never does shows nothing of the pupil. On a small iris the catch light, the
            // pupil and the iris blur into one another, and the rays are read as they come.
            const float half = 0.5f * (dark + ring), glare = lightest + 0.1f;
            // Only a pupil far darker than the iris is told from it by its luminance alone (a dark-brown
            // iris is nearly as dark as its pupil), and only on an iris large enough that its pixels are
            // not all blurred into one another.
            if (dark < 0.5f * ring && limbus >= SmallIris)
                pupilLuma = half;
            const int stay = std::max(2, int(0.1 * limbusSamples));
            double squares = 0;
            Point sum;
            int measured = 0;
            for (int k = 0; k < RayProfiles::Rays; ++k) {
                if (!(open >> k & 1))
                    continue;
                const int end = std::min(int(0.8 * limbusSamples), profiles.known[size_t(k)] - stay);
                int edge = end;
                bool fromGlare = false, seenDark = false, found = false;
                for (int j = 0, lighter = 0; j < end + stay; ++j) {
                    const float l = profiles.at(k, j);
                    fromGlare = limbus >= SmallIris && (l > glare || (fromGlare && l >= half));
                    seenDark = seenDark || l < half;
                    lighter = l >= half && l <= glare && !fromGlare ? lighter + 1 : 0;
                    if (lighter == stay) {
                        edge = j - stay + 1;
                        found = true;
                        break;
                    }
                }
                if (!found && !seenDark && limbus >= SmallIris)
                    continue;
                ++measured;
                const double r = std::max(0, edge) * RayProfiles::Step;
                squares += r * r;
                const Point u = RayProfiles::direction(k);
                sum = Point(sum.x + r * u.x, sum.y + r * u.y);
            }
            pupil = measured > 0 ? std::sqrt(squares / measured) : 0.0;
            // Where the iris shows all round, the dark disc's own middle; a lid over part of it would
            // pull that middle away from the lid.
            if (openRays == RayProfiles::Rays && measured > 0) {
                const Point offset(sum.x / measured, sum.y / measured);
                if (std::hypot(offset.x, offset.y) <= 0.5 * pupil)
                    pupilCentre = Point(centre.x + offset.x, centre.y + offset.y);
            }
            // A pupil well off the middle (or one a catch light covers much of) shows better as the
            // dark patch itself: the pixels darker than half-way, grown from the darkest near the
            // middle. Taken where that patch is round and lies clear of the lids (the lashes along a lid
            // are as dark, and a patch that runs into them is no pupil's shape). Where the pupil hardly
            // stands out (a dark-brown iris), the iris's darker part around it is nearly as dark, and a
            // patch grown out to half-way takes in as much of that iris as the threshold happens to
            // reach (the more, the higher the iris's level is read): there the threshold rises from just
            // above the dark in steps, and the first patch that closes round is taken (at the dark
            // itself it holds only the few darkest pixels of the pupil).
            const auto lids = lidsAcross(open, current.whiteAlong, centre, limbus);
            const int first = dark < 0.5f * ring || limbus < SmallIris ? 4 : 1;
            Patch patch;
            for (int step = first; step <= 4 && patch.radius <= 0; ++step)
                patch = darkPatch(window, centre, limbus,
                                  step == 4 ? half : dark + 0.25f * float(step) * (half - dark), lids);
            if (patch.radius > 0 && patch.radius <= 0.75 * limbus)
                pupil = patch.radius, pupilCentre = patch.centre;
        }
    }

    // The colour: the middle of the annulus along the rays that show the limbus (not those a lid covers
    // sooner), without what is far lighter or darker than most of it.
    const double inner = pupil + 0.3 * (limbus - pupil), outer = limbus - 0.2 * (limbus - pupil);
    std::vector<int> along;
    for (int k = 0; k < RayProfiles::Rays; ++k)
        if (open >> k & 1)
            along.push_back(k);
    std::vector<std::array<float, 3>> band;
    for (const int k : along) {
        const Point u = RayProfiles::direction(k);
        for (double r = inner; r <= outer + 1e-9; r += RayProfiles::Step) {
            float rgb[3];
            if (colorAtPoint(centre.x + r * u.x, centre.y + r * u.y, rgb))
                band.push_back({rgb[0], rgb[1], rgb[2]});
        }
    }
    std::vector<float> lumas;
    for (const auto& c : band)
        lumas.push_back(luma(c.data()));
    const float typical = median(lumas);
    double sum[3] = {0, 0, 0};
    int kept = 0;
    for (const auto& c : band) {
        const float l = luma(c.data());
        if (std::abs(l - typical) > std::max(0.06f, 0.3f * typical))
            continue;
        for (int i = 0; i < 3; ++i)
            sum[i] += c[size_t(i)];
        ++kept;
    }
    if (kept == 0)
        return iris;
    iris.found = true;
    iris.centre = centre;
    iris.pupilRadius = pupil;
    iris.pupilLuma = pupil > 0 ? pupilLuma : 0.0;
    iris.pupilCentre = pupilCentre;
    iris.lids = lidsAcross(open, current.whiteAlong, centre, limbus);
    iris.limbusRadius = limbus;
    iris.colour = Color(sum[0] / kept, sum[1] / kept, sum[2] / kept, 1.0);
    // The white's luminance: the stretch just outside the limbus along the rays with the white there;
    // none on a small iris, whose white just outside is still blurred into the limbus.
    std::vector<float> whites;
    for (int k = 0; k < RayProfiles::Rays; ++k) {
        if (!(current.whiteAlong >> k & 1))
            continue;
        const Point u = RayProfiles::direction(k);
        for (double r = limbus + std::max(1.0, 0.12 * limbus); r <= limbus + std::max(3.0, 0.4 * limbus);
             r += RayProfiles::Step) {
            float rgb[3];
            if (colorAtPoint(centre.x + r * u.x, centre.y + r * u.y, rgb))
                whites.push_back(luma(rgb));
        }
    }
    iris.whiteLuma = whites.size() >= 4 && limbus >= 2 * SmallIris ? median(whites) : 0.0;
    return iris;
}

IrisRadiusFinder::RedPupil IrisRadiusFinder::locateRedPupil(double maxRadius) const
{
    RedPupil pupil;
    if (!std::isfinite(m_point.x) || !std::isfinite(m_point.y) || !(maxRadius >= 1))
        return pupil;
    maxRadius = std::min(maxRadius, 256.0);
    cover(m_point, maxRadius + 4);
    if (m_bitmap.isNull())
        return pupil;
    // Red: a flash-lit pupil has its red channel at least twice the others; its fringe, red mixed with
    // the iris and the pupil's own dark rim, still 1.8 times. Lashes, a dark-brown iris and skin, whose
    // red stands less than 1.75 times the others, are no part of it.
    const auto redness = [](const Color& c, double ratio, double margin) {
        const double other = std::max(c.green(), c.blue());
        return c.alpha() > 0 && c.red() >= ratio * std::max(other, 0.02) && c.red() - other >= margin;
    };
    const long long height = m_rows;
    const long long cx = truncated(std::floor(m_point.x)), cy = height - 1 - truncated(std::floor(m_point.y));
    // The seed: the clicked pixel, or the nearest plainly red one within a pixel and a half of it (a
    // click on the catch light, or between pixels at a small pupil's edge).
    long long seedX = -1, seedY = -1;
    double nearest = 1e9;
    for (long long dy = -2; dy <= 2; ++dy)
        for (long long dx = -2; dx <= 2; ++dx) {
            Color c;
            const double d = std::hypot(double(dx), double(dy));
            if (d <= 1.5 && d < nearest && colorAt(cx + dx, cy + dy, c) && redness(c, 2.0, 0.12)) {
                nearest = d;
                seedX = cx + dx, seedY = cy + dy;
            }
        }
    if (seedX < 0)
        return pupil;
    // The red region around the seed, four-connected, within the bound.
    const long long reach = static_cast<long long>(std::ceil(maxRadius)) + 1;
    const long long side = 2 * reach + 1;
    std::vector<char> seen(size_t(side * side), 0);
    std::vector<std::pair<long long, long long>> stack{{seedX, seedY}}, region;
    seen[size_t((seedY - cy + reach) * side + (seedX - cx + reach))] = 1;
    double sum[3] = {0, 0, 0};
    while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        region.emplace_back(x, y);
        Color c;
        colorAt(x, y, c);
        sum[0] += c.red(), sum[1] += c.green(), sum[2] += c.blue();
        for (const auto& [nx, ny] : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}}) {
            const long long i = nx - cx + reach, j = ny - cy + reach;
            if (i < 0 || j < 0 || i >= side || j >= side)
                return pupil; // the red goes on beyond any pupil the face could hold
            if (seen[size_t(j * side + i)])
                continue;
            seen[size_t(j * side + i)] = 1;
            Color n;
            if (colorAt(nx, ny, n) && redness(n, 1.8, 0.08))
                stack.emplace_back(nx, ny);
        }
    }
    // A disc about the region's middle out to where nearly all of it lies; the catch light inside and
    // the few pixels of a ragged edge do not change it.
    double mx = 0, my = 0;
    for (const auto& [x, y] : region)
        mx += double(x) + 0.5, my += double(y) + 0.5;
    mx /= double(region.size()), my /= double(region.size());
    std::vector<double> distances;
    for (const auto& [x, y] : region)
        distances.push_back(std::hypot(double(x) + 0.5 - mx, double(y) + 0.5 - my));
    std::sort(distances.begin(), distances.end());
    const double extent = distances[size_t(0.95 * double(distances.size() - 1))] + 0.5;
    if (extent > maxRadius)
        return pupil;
    // Red as a flash makes it, on the whole: a brown iris has pixels as red as that beside its dark
    // fibres (more so where an enlargement rings at its edges), but its red is neither as strong nor as
    // pure over the region.
    const double n = double(region.size());
    const double meanRed = sum[0] / n, meanOther = std::max(sum[1], sum[2]) / n;
    if (meanRed < 3 * meanOther || meanRed - meanOther < 0.2)
        return pupil;
    pupil.found = true;
    pupil.centre = Point(mx, double(height) - my);
    pupil.radius = std::max(extent, 1.0);
    pupil.colour = Color(sum[0] / n, sum[1] / n, sum[2] / n, 1.0);
    return pupil;
}

bool IrisRadiusFinder::isBlackish(const Color& color)
{
    const double r = color.red(), g = color.green(), b = color.blue();
    const double mean = (r + g + b) / 3;
    return mean < 0.1 && std::max({r, g, b}) - mean < 0.05;
}

bool IrisRadiusFinder::isRed(const Color& color)
{
    const ORVExtension::HSV hsv = ORVExtension::hsv(color);
    return hsv.saturation >= 0.3 && (hsv.hue < 0.01 || hsv.hue > 0.75);
}

int IrisRadiusFinder::isIrisColor(const Color& color)
{
    const ORVExtension::HSV hsv = ORVExtension::hsv(color);
    int score = 1;
    if (hsv.value > 0.88)
        --score;
    if (isRed(color))
        --score;
    if (hsv.saturation < 0.09)
        --score;
    return score;
}

Color IrisRadiusFinder::mixNSColorsInArray(const std::vector<Color>& colors)
{
    if (colors.empty()) {
        pf::log(QStringLiteral("IrisRadiusFinder Warning: no color to mix"));
        return Color(0, 0, 0, 1);
    }
    double r = 0, g = 0, b = 0;
    for (const Color& color : colors) {
        r += color.red();
        g += color.green();
        b += color.blue();
    }
    const double n = double(colors.size());
    return Color(r / n, g / n, b / n, 1.0);
}
