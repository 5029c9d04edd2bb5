#include "Platform/UI/AnimationTimingFunction.h"

#include <algorithm>
#include <cmath>

namespace pf {

AnimationTimingFunction::AnimationTimingFunction(double c1x, double c1y, double c2x, double c2y)
    : m_c1x(std::clamp(c1x, 0.0, 1.0)), m_c1y(c1y), m_c2x(std::clamp(c2x, 0.0, 1.0)), m_c2y(c2y)
{}

AnimationTimingFunction AnimationTimingFunction::named(const QString& name)
{
    if (name == QLatin1String("easeIn"))
        return easeIn();
    if (name == QLatin1String("easeOut"))
        return easeOut();
    if (name == QLatin1String("easeInEaseOut"))
        return easeInEaseOut();
    return linear();
}

double AnimationTimingFunction::valueAt(double x) const
{
    x = std::clamp(x, 0.0, 1.0);
    if (m_c1x == m_c1y && m_c2x == m_c2y)
        return x; // a straight line
    // Bezier coordinate for control values p1, p2 (the ends are 0 and 1).
    auto bezier = [](double t, double p1, double p2) {
        const double u = 1 - t;
        return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
    };
    auto slope = [](double t, double p1, double p2) {
        const double u = 1 - t;
        return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
    };
    // x(t) is monotonic because both control x values lie in [0, 1]: Newton first, bisection when the
    // slope is too flat to trust.
    double t = x;
    for (int i = 0; i < 8; ++i) {
        const double error = bezier(t, m_c1x, m_c2x) - x;
        if (std::abs(error) < 1e-9)
            return bezier(t, m_c1y, m_c2y);
        const double d = slope(t, m_c1x, m_c2x);
        if (std::abs(d) < 1e-6)
            break;
        t = std::clamp(t - error / d, 0.0, 1.0);
    }
    double low = 0, high = 1;
    t = x;
    for (int i = 0; i < 60; ++i) {
        const double value = bezier(t, m_c1x, m_c2x);
        if (std::abs(value - x) < 1e-12)
            break;
        (value < x ? low : high) = t;
        t = (low + high) / 2;
    }
    return bezier(t, m_c1y, m_c2y);
}

} // namespace pf
