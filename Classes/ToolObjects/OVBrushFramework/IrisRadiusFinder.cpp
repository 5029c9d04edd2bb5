#include "Classes/ToolObjects/OVBrushFramework/IrisRadiusFinder.h"

#include "Classes/Framework/ColorORVExtension.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Platform/Foundation/Log.h"

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
    m_bitmap = image.isNull() ? Bitmap() : ORVExtension::newCGImage(image);
}

bool IrisRadiusFinder::colorAt(long long column, long long row, Color& color) const
{
    if (m_bitmap.isNull() || column < 0 || row < 0 || column >= m_bitmap.width() || row >= m_bitmap.height())
        return false;
    float rgba[4];
    m_bitmap.pixel(int(column), int(row), rgba);
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
    const long long w = m_bitmap.width();
    const long long h = m_bitmap.height();
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
    const long long x = truncated(m_point.x);
    const long long y = m_bitmap.height() - 1 - truncated(m_point.y);
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
    const double fx = x - 0.5, fy = (m_bitmap.height() - y) - 0.5;
    const double c0 = std::floor(fx), r0 = std::floor(fy);
    if (c0 < 0 || r0 < 0 || c0 + 1 >= m_bitmap.width() || r0 + 1 >= m_bitmap.height())
        return false;
    const float wx = float(fx - c0), wy = float(fy - r0);
    float sum[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        float p[4];
        m_bitmap.pixel(int(c0) + (k & 1), int(r0) + (k >> 1), p);
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
    std::vector<float> values; // ray-major

    float at(int ray, int j) const { return values[size_t(ray) * size_t(samples) + size_t(j)]; }
    // The rise of luminance outward across sample j, over a pixel each way; NaN where unknown.
    float rise(int ray, int j) const
    {
        if (j < 2 || j + 2 >= samples)
            return std::numeric_limits<float>::quiet_NaN();
        return at(ray, j + 2) - at(ray, j - 2);
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

IrisRadiusFinder::Iris IrisRadiusFinder::locateIris(double searchRadius) const
{
    Iris iris;
    if (m_bitmap.isNull() || !std::isfinite(m_point.x) || !std::isfinite(m_point.y) || !(searchRadius >= 3))
        return iris;
    searchRadius = std::min(searchRadius, 1024.0);
    const int samples = int(searchRadius / RayProfiles::Step) + 3;
    const int rays = RayProfiles::Rays;

    // The luminance of the pixels the search can reach, once: the rays read it many times over.
    const double reach = searchRadius + 8;
    const int x0 = int(std::floor(m_point.x - reach)), y0 = int(std::floor(m_point.y - reach));
    const int side = int(std::ceil(2 * reach)) + 2;
    std::vector<float> window(size_t(side) * size_t(side), std::numeric_limits<float>::quiet_NaN());
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            float rgb[3];
            if (colorAtPoint(x0 + x + 0.5, y0 + y + 0.5, rgb))
                window[size_t(y) * size_t(side) + size_t(x)] = luma(rgb);
        }
    // Interpolated between pixel centres (y up); NaN where that reaches beyond the picture.
    const auto lumaAt = [&](double x, double y) {
        const double fx = x - 0.5 - x0, fy = y - 0.5 - y0;
        const double c = std::floor(fx), r = std::floor(fy);
        if (!(c >= 0 && r >= 0 && c + 1 < side && r + 1 < side))
            return std::numeric_limits<float>::quiet_NaN();
        const size_t i = size_t(r) * size_t(side) + size_t(c);
        const float wx = float(fx - c), wy = float(fy - r);
        return (window[i] * (1 - wx) + window[i + 1] * wx) * (1 - wy) +
               (window[i + size_t(side)] * (1 - wx) + window[i + size_t(side) + 1] * wx) * wy;
    };

    RayProfiles profiles;
    profiles.samples = samples;
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
        if (!(dark < 0.3f) || !(ring - dark >= std::max(0.05f, 0.25f * ring)))
            return pupil;
        const float half = 0.5f * (dark + ring);
        for (int j = darkest + 1; j <= int(0.8 * limbus); ++j)
            if (level[size_t(j)] >= half) {
                const float below = level[size_t(j - 1)];
                pupil.radius = j - 1 + (half - below) / std::max(level[size_t(j)] - below, 1e-6f);
                pupil.rise = strength[size_t(j)];
                break;
            }
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
    };
    const auto choose = [&] {
        Choice best;
        for (int j = 5; j + 2 < samples; ++j) {
            const float s = strength[size_t(j)];
            if (s < strength[size_t(j - 1)] || s < strength[size_t(j + 1)] || s <= 0.04f)
                continue; // only the peaks
            const double outside = meanLevel(j + 2, j + 6), inside = meanLevel(j - 4, j - 1);
            if (!(outside - inside > 0.06))
                continue; // a rise in some rays only, not a lighter ring all round
            const Pupil pupil = pupilInside(j);
            const double score = s + 0.5 * pupil.rise;
            if (score > best.score)
                best = {score, j, pupil};
        }
        return best;
    };

    // The centre: the best of a few around the click (a click a pixel or two off the middle of a small
    // iris smears its edges beyond recognition), then fitted to the edge it finds: each ray's steepest
    // rise near the limbus, by least squares with the centre's shift and the radius free, the rays that
    // disagree (a lid cutting the iris off sooner) and those crossing the catch light left out.
    Point centre = m_point;
    Choice choice;
    // Within three pixels of the click, every pixel and a half, then every half pixel around the best.
    for (const double step : {1.5, 0.5}) {
        const Point around = centre;
        for (int i = -2; i <= 2; ++i)
            for (int k = -2; k <= 2; ++k) {
                // The finer round looks at the eight half pixels around the best so far.
                if (step < 1 && (std::abs(i) > 1 || std::abs(k) > 1 || (i == 0 && k == 0)))
                    continue;
                const Point candidate(around.x + step * i, around.y + step * k);
                measure(candidate);
                const Choice c = choose();
                if (c.score > choice.score) {
                    choice = c;
                    centre = candidate;
                }
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
        const int window = std::max(4, int(0.3 * limbusAt));
        std::vector<std::pair<Point, double>> edges; // ray direction, edge radius
        for (int k = 0; k < rays; ++k) {
            int bestJ = -1;
            float best = 0;
            for (int j = std::max(2, limbusAt - window); j <= limbusAt + window; ++j) {
                const float g = profiles.rise(k, j);
                if (std::isfinite(g) && g > best) {
                    best = g;
                    bestJ = j;
                }
            }
            if (bestJ < 0 || best <= 0.5f * strength[size_t(limbusAt)])
                continue;
            bool crossesCatchLight = false;
            for (int j = 0; j + 2 < bestJ && !crossesCatchLight; ++j)
                crossesCatchLight = profiles.at(k, j) > std::max(0.7f, level[size_t(j)] + 0.25f);
            if (!crossesCatchLight)
                edges.emplace_back(RayProfiles::direction(k), bestJ * RayProfiles::Step);
        }
        Point shift;
        bool fitted = false;
        for (int pass = 0; pass < 2 && edges.size() >= 8; ++pass) {
            // Normal equations of r = R + dx ux + dy uy, solved by Gauss-Jordan; the system is well posed
            // with rays all round.
            double a[3][4] = {};
            for (const auto& [u, r] : edges) {
                const double row[3] = {1, u.x, u.y};
                for (int i = 0; i < 3; ++i) {
                    for (int k = 0; k < 3; ++k)
                        a[i][k] += row[i] * row[k];
                    a[i][3] += row[i] * r;
                }
            }
            bool solved = true;
            for (int i = 0; i < 3 && solved; ++i) {
                const double pivot = a[i][i];
                solved = std::abs(pivot) > 1e-9;
                if (!solved)
                    break;
                for (int k = 0; k < 4; ++k)
                    a[i][k] /= pivot;
                for (int m = 0; m < 3; ++m)
                    if (m != i) {
                        const double f = a[m][i];
                        for (int k = 0; k < 4; ++k)
                            a[m][k] -= f * a[i][k];
                    }
            }
            if (!solved)
                break;
            const double radius = a[0][3];
            shift = Point(a[1][3], a[2][3]);
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
        // Kept only where the circle stands out at least as clearly from there.
        measure(moveTo);
        const Choice there = choose();
        if (there.score < choice.score)
            break;
        centre = moveTo;
        choice = there;
    }
    measure(centre);
    choice = choose();
    if (choice.limbus == 0)
        return iris;
    // The click must lie on the iris it found.
    const double limbus = choice.limbus * RayProfiles::Step;
    if (std::hypot(centre.x - m_point.x, centre.y - m_point.y) > limbus)
        return iris;

    // The colour: the middle of the annulus, without what is far lighter or darker than most of it.
    const double pupil = choice.pupil.radius * RayProfiles::Step;
    const double inner = pupil + 0.3 * (limbus - pupil), outer = limbus - 0.2 * (limbus - pupil);
    std::vector<std::array<float, 3>> band;
    for (int k = 0; k < rays; ++k) {
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
        if (std::abs(l - typical) > std::max(0.08f, 0.4f * typical))
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
