#include "Classes/ToolObjects/OVBrushFramework/IrisRadiusFinder.h"

#include "Classes/Framework/ColorORVExtension.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Platform/Foundation/Log.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
