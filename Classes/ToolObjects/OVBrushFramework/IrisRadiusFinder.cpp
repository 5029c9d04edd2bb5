#include "Classes/ToolObjects/OVBrushFramework/IrisRadiusFinder.h"

#include "Classes/Framework/ColorORVExtension.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
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

// Luminance along rays from a centre, every half pixel; NaN from where a ray leaves the picture.
struct RayProfiles
{
    static constexpr int Rays = 64;
    static constexpr double Step = 0.5;
    int samples = 0;
    // How far each way the rise is measured, in samples: a pixel, or half of one where the irises looked
    // for are so small that the pupil's edge and the limbus lie two pixels apart.
    int reach = 2;
    std::vector<float> values; // ray-major

    float at(int ray, int j) const { return values[size_t(ray) * size_t(samples) + size_t(j)]; }
    // The rise of luminance outward across sample j, as over two pixels; NaN where unknown.
    float rise(int ray, int j) const
    {
        if (j < reach || j + reach >= samples)
            return std::numeric_limits<float>::quiet_NaN();
        return (at(ray, j + reach) - at(ray, j - reach)) * (2.0f / float(reach));
    }
    static Point direction(int ray)
    {
        const double angle = 2 * M_PI * ray / Rays;
        return Point(std::cos(angle), std::sin(angle));
    }
};

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

} // namespace

namespace {

// The luminance of the pixels around a point, read once: the search reads it many times over. Rows
// from the bottom; NaN beyond the picture.
struct LumaWindow
{
    int x0 = 0, y0 = 0, side = 0;
    std::vector<float> values;

    // Interpolated between pixel centres (y up); NaN where that reaches beyond the window or the picture.
    float at(double x, double y) const
    {
        const double fx = x - 0.5 - x0, fy = y - 0.5 - y0;
        const double c = std::floor(fx), r = std::floor(fy);
        if (!(c >= 0 && r >= 0 && c + 1 < side && r + 1 < side))
            return std::numeric_limits<float>::quiet_NaN();
        const size_t i = size_t(r) * size_t(side) + size_t(c);
        const float wx = float(fx - c), wy = float(fy - r);
        return (values[i] * (1 - wx) + values[i + 1] * wx) * (1 - wy) +
               (values[i + size_t(side)] * (1 - wx) + values[i + size_t(side) + 1] * wx) * wy;
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

} // namespace

IrisRadiusFinder::Iris IrisRadiusFinder::locateIris(double maxRadius) const
{
    Iris iris;
    if (!std::isfinite(m_point.x) || !std::isfinite(m_point.y) || !(maxRadius >= 1.5))
        return iris;
    maxRadius = std::min(maxRadius, 256.0);
    cover(m_point, 2 * maxRadius + 12);
    if (m_bitmap.isNull())
        return iris;
    // The profiles reach a little beyond the largest limbus: the edge and the ring outside it.
    const int samples = int((maxRadius + 4) / RayProfiles::Step) + 3;
    const int rays = RayProfiles::Rays;

    // Centres lie within the largest radius of the click (the click lies on the iris), and the
    // circles around them reach that far again.
    LumaWindow window;
    {
        const double reach = 2 * maxRadius + 10;
        window.x0 = int(std::floor(m_point.x - reach)), window.y0 = int(std::floor(m_point.y - reach));
        window.side = int(std::ceil(2 * reach)) + 2;
        window.values.assign(size_t(window.side) * size_t(window.side),
                             std::numeric_limits<float>::quiet_NaN());
        for (int y = 0; y < window.side; ++y)
            for (int x = 0; x < window.side; ++x) {
                float rgb[3];
                if (colorAtPoint(window.x0 + x + 0.5, window.y0 + y + 0.5, rgb))
                    window.values[size_t(y) * size_t(window.side) + size_t(x)] = luma(rgb);
            }
    }
    const auto lumaAt = [&window](double x, double y) { return window.at(x, y); };

    RayProfiles profiles;
    profiles.samples = samples;
    profiles.reach = maxRadius < 8 ? 1 : 2;
    // The median luminance at every radius (robust to the catch light and to lids over part of the
    // circle), and how strongly the rays rise there on average.
    std::vector<float> level(static_cast<size_t>(samples)), strength(static_cast<size_t>(samples));
    const auto measure = [&](Point centre) {
        profiles.values.assign(size_t(rays) * size_t(samples), std::numeric_limits<float>::quiet_NaN());
        for (int k = 0; k < rays; ++k) {
            const Point u = RayProfiles::direction(k);
            for (int j = 0; j < samples; ++j) {
                const double r = j * RayProfiles::Step;
                const float l = lumaAt(centre.x + r * u.x, centre.y + r * u.y);
                if (!std::isfinite(l))
                    break;
                profiles.values[size_t(k) * size_t(samples) + size_t(j)] = l;
            }
        }
        std::vector<float> column(static_cast<size_t>(rays));
        for (int j = 0; j < samples; ++j) {
            double sum = 0;
            int n = 0;
            for (int k = 0; k < rays; ++k) {
                column[size_t(k)] = profiles.at(k, j);
                const float g = profiles.rise(k, j);
                if (std::isfinite(g)) {
                    sum += std::max(g, 0.0f);
                    ++n;
                }
            }
            level[size_t(j)] = median(column);
            // Rays that have left the picture count for nothing: an edge must show on most of them.
            strength[size_t(j)] = n >= rays / 2 ? float(sum / n) : 0.0f;
        }
    };
    const auto meanLevel = [&](int from, int to) {
        double sum = 0;
        int n = 0;
        for (int j = std::max(from, 0); j < std::min(to, samples); ++j)
            if (std::isfinite(level[size_t(j)])) {
                sum += level[size_t(j)];
                ++n;
            }
        return n ? sum / n : std::numeric_limits<double>::quiet_NaN();
    };

    // Inside a limbus candidate: the pupil, a dark disc around the middle that rises to the iris's
    // level, its edge where the rise is half done (the catch light, which the median leaves out, and
    // the blur of small eyes make the steepest rise a poor measure). Its radius in samples, 0 for none.
    struct Pupil
    {
        double radius = 0;
        float rise = 0;
    };
    const auto pupilInside = [&](int limbus) {
        Pupil pupil;
        std::vector<float> annulus;
        for (int j = std::max(1, int(0.2 * limbus)); j <= limbus - 2; ++j)
            annulus.push_back(level[size_t(j)]);
        if (annulus.size() < 2)
            return pupil;
        std::sort(annulus.begin(), annulus.end());
        const float ring = annulus[size_t(0.75 * double(annulus.size() - 1))];
        int darkest = 0;
        for (int j = 1; j <= int(0.75 * limbus); ++j)
            if (level[size_t(j)] < level[size_t(darkest)])
                darkest = j;
        const float dark = level[size_t(darkest)];
        // The iris's own level: most of the annulus, or its lightest beyond the dark disc where a small,
        // blurred iris has hardly a plateau.
        float iris = ring;
        for (int j = darkest + 1; j <= limbus - 2; ++j)
            iris = std::max(iris, level[size_t(j)]);
        if (!(dark < 0.3f) || !(iris - dark >= std::max(0.05f, 0.25f * iris)))
            return pupil;
        const float half = 0.5f * (dark + std::min(ring, iris));
        for (int j = darkest + 1; j <= int(0.8 * limbus); ++j)
            if (level[size_t(j)] >= half) {
                pupil.rise = strength[size_t(j)];
                break;
            }
        if (pupil.rise <= 0)
            return pupil;
        // Its size from its area: the samples darker than half-way to the iris, each standing for the
        // piece of the disc around it. A catch light beside a small pupil, or the blur of an enlarged
        // photo, shifts where the median profile crosses half-way; the area stays.
        double area = 0;
        for (int k = 0; k < rays; ++k)
            for (int j = 1; j <= int(0.8 * limbus); ++j)
                if (profiles.at(k, j) < half)
                    area += j * RayProfiles::Step * RayProfiles::Step * 2 * M_PI / rays;
        pupil.radius = std::sqrt(area / M_PI) / RayProfiles::Step;
        return pupil;
    };
    // The limbus: the steepest rise all round with a lighter ring outside it, the pupil's rise counting
    // half (a pale iris may rise less at its edge than its pupil does, a dark one barely shows its
    // pupil). The score says how clearly a circle about the centre measured stands out.
    struct Choice
    {
        double score = 0;
        int limbus = 0;
        Pupil pupil;
        float limbusRise = 0;
    };
    // Peaks of the rise with a lighter ring all round outside, no larger than the largest radius. The
    // best is the steepest, its pupil's rise counting half. A pupil is a round edge as well, and where a
    // lid hides much of the limbus it (or the part of it below the lid) may stand out more than the
    // limbus: a larger circle whose pupil holds the best one, around a ring no paler than an iris, is the
    // iris.
    const int largest = int(maxRadius / RayProfiles::Step);
    const auto choose = [&] {
        std::vector<Choice> peaks;
        Choice best;
        for (int j = 3; j + 2 < samples && j <= largest; ++j) {
            const float s = strength[size_t(j)];
            if (s < strength[size_t(j - 1)] || s < strength[size_t(j + 1)] || s <= 0.04f)
                continue; // only the peaks
            const double outside = meanLevel(j + 2, j + 6), inside = meanLevel(j - 4, j - 1);
            if (!(outside - inside > 0.06))
                continue; // a rise in some rays only, not a lighter ring all round
            const Pupil pupil = pupilInside(j);
            const Choice c{s + 0.5 * pupil.rise, j, pupil, s};
            peaks.push_back(c);
            if (c.score > best.score)
                best = c;
        }
        Choice around;
        for (const Choice& outer : peaks)
            if (outer.limbus >= 1.4 * best.limbus && outer.pupil.radius > 0 &&
                outer.pupil.radius >= 0.7 * best.limbus && outer.pupil.radius <= 1.6 * best.limbus + 3 &&
                outer.score >= 0.3 * best.score && meanLevel(best.limbus + 1, outer.limbus - 1) < 0.75 &&
                outer.score > around.score)
                around = outer;
        return around.limbus > 0 ? around : best;
    };

    // Where ray k rises to the limbus: its steepest rise near the limbus found at sample `limbusAt`, in
    // samples; 0 where it shows none (a lid over the iris there) or it crosses the catch light first.
    const auto limbusEdge = [&](int k, int limbusAt) {
        const int spread = std::max(4, int(0.3 * limbusAt));
        int bestJ = -1;
        float best = 0;
        for (int j = std::max(2, limbusAt - spread); j <= limbusAt + spread; ++j) {
            const float g = profiles.rise(k, j);
            if (std::isfinite(g) && g > best) {
                best = g;
                bestJ = j;
            }
        }
        if (bestJ < 0 || best <= 0.5f * strength[size_t(limbusAt)])
            return 0;
        for (int j = 0; j + 2 < bestJ; ++j)
            if (profiles.at(k, j) > std::max(0.7f, level[size_t(j)] + 0.25f))
                return 0;
        return bestJ;
    };

    // The click must lie on the iris, or on the lid just over its edge: an iris the lid half hides is a
    // circle whose upper part is the lid.
    const auto holdsTheClick = [&](Point centre, int limbus) {
        return std::hypot(centre.x - m_point.x, centre.y - m_point.y) <= 1.35 * limbus * RayProfiles::Step;
    };

    // The centre: the strongest centres of round edges near the click, and the click itself (a small
    // iris's edges may cast too few votes), each tried at a few points around it; the best is then
    // fitted to the edge it finds: each ray's steepest rise near the limbus, by least squares with the
    // centre's shift and the radius free, the rays that disagree (a lid cutting the iris off sooner) and
    // those crossing the catch light left out.
    std::vector<Point> starts = votedCentres(window, m_point, maxRadius, maxRadius);
    starts.push_back(m_point);
    const double spacing = std::max(0.5, maxRadius / 24);
    Point centre = m_point;
    Choice choice;
    for (const Point& start : starts) {
        // Around a voted centre every spacing, around the click (which may lie further from the centre)
        // every spacing and a half twice over; then every half spacing around the best of those.
        const bool voted = &start != &starts.back();
        Choice local;
        Point localCentre = start;
        for (const double step : {voted ? spacing : 1.5 * spacing, 0.5 * spacing}) {
            const Point from = localCentre;
            const int reach = voted || step < spacing ? 1 : 2;
            for (int i = -reach; i <= reach; ++i)
                for (int k = -reach; k <= reach; ++k) {
                    // The finer round looks at the eight points around the best so far.
                    if (step < spacing && i == 0 && k == 0)
                        continue;
                    const Point candidate(from.x + step * i, from.y + step * k);
                    measure(candidate);
                    const Choice c = choose();
                    if (c.limbus == 0 || !holdsTheClick(candidate, c.limbus))
                        continue;
                    if (c.score > local.score) {
                        local = c;
                        localCentre = candidate;
                    }
                }
        }
        if (local.score > choice.score) {
            choice = local;
            centre = localCentre;
        }
    }
    if (choice.limbus == 0)
        return iris;
    for (int round = 0; round < 3; ++round) {
        measure(centre);
        choice = choose();
        if (choice.limbus == 0)
            return iris;
        const int limbusAt = choice.limbus;
        std::vector<std::pair<Point, double>> edges; // ray direction, edge radius
        for (int k = 0; k < rays; ++k)
            if (const int j = limbusEdge(k, limbusAt); j > 0)
                edges.emplace_back(RayProfiles::direction(k), j * RayProfiles::Step);
        Point shift;
        bool fitted = false;
        // Edges all round fix the centre and the radius at once. Where a lid hides a side, an arc alone
        // fits a smaller circle shifted towards it as well as the right one: the radius is then held at
        // the profile's and only the centre moves.
        bool quadrant[4] = {false, false, false, false};
        for (const auto& [u, r] : edges)
            quadrant[(u.y >= 0 ? 0 : 2) + ((u.x >= 0) == (u.y >= 0) ? 0 : 1)] = true;
        const bool allRound = quadrant[0] && quadrant[1] && quadrant[2] && quadrant[3];
        const double heldRadius = limbusAt * RayProfiles::Step;
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
            const double radius = allRound ? a[0][3] : heldRadius;
            shift = allRound ? Point(a[1][3], a[2][3]) : Point(a[0][3], a[1][3]);
            fitted = true;
            const double tolerance = std::max(1.0, 0.1 * radius);
            std::erase_if(edges, [&](const std::pair<Point, double>& e) {
                return std::abs(e.second - radius - shift.x * e.first.x - shift.y * e.first.y) > tolerance;
            });
        }
        // A shift too small to matter ends the search where it was measured; one too large is no
        // refinement of this circle.
        const double moved = std::hypot(shift.x, shift.y);
        if (!fitted || moved < 0.2 || moved > 0.5 * limbusAt * RayProfiles::Step)
            break;
        const Point moveTo(centre.x + shift.x, centre.y + shift.y);
        // Kept only where the limbus stands out about as clearly from there: the fit follows the limbus
        // alone, where the search weighed the pupil too (a catch light beside a small pupil pulls that).
        measure(moveTo);
        const Choice there = choose();
        if (there.limbus == 0 || strength[size_t(there.limbus)] < 0.9f * choice.limbusRise)
            break;
        centre = moveTo;
        choice = there;
    }
    measure(centre);
    choice = choose();
    if (choice.limbus == 0)
        return iris;
    if (!holdsTheClick(centre, choice.limbus))
        return iris;
    const double limbus = choice.limbus * RayProfiles::Step;

    // The colour: the middle of the annulus along the rays that reach the limbus (not those a lid covers
    // sooner), without what is far lighter or darker than most of it.
    const double pupil = choice.pupil.radius * RayProfiles::Step;
    const double inner = pupil + 0.3 * (limbus - pupil), outer = limbus - 0.2 * (limbus - pupil);
    std::vector<int> open;
    for (int k = 0; k < rays; ++k)
        if (limbusEdge(k, choice.limbus) > 0)
            open.push_back(k);
    if (open.size() < 8) {
        open.clear();
        for (int k = 0; k < rays; ++k)
            open.push_back(k);
    }
    std::vector<std::array<float, 3>> band;
    for (const int k : open) {
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
    iris.limbusRadius = limbus;
    iris.colour = Color(sum[0] / kept, sum[1] / kept, sum[2] / kept, 1.0);
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
    pupil.found = true;
    pupil.centre = Point(mx, double(height) - my);
    pupil.radius = std::max(extent, 1.0);
    const double n = double(region.size());
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
