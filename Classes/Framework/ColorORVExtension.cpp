#include "Classes/Framework/ColorORVExtension.h"

#include <algorithm>
#include <cmath>

namespace ORVExtension {

namespace {

struct Extremes
{
    double max, min, delta;
};

Extremes extremes(const pf::Color& c)
{
    const double max = std::max({c.red(), c.green(), c.blue()});
    const double min = std::min({c.red(), c.green(), c.blue()});
    return {max, min, max - min};
}

double hueOf(const pf::Color& c, const Extremes& e)
{
    // A grey has no hue; 0 rather than the 0 / 0 of the sector formula.
    if (e.max == 0 || e.delta == 0)
        return 0;
    double sector;
    if (c.red() == e.max)
        sector = (c.green() - c.blue()) / e.delta;
    else if (c.green() == e.max)
        sector = (c.blue() - c.red()) / e.delta + 2;
    else
        sector = (c.red() - c.green()) / e.delta + 4;
    return std::fmod(sector / 6 + 1, 1.0);
}

// Into [0, 1): hues are angles, so 1 is 0 again and negative hues count back from 1.
double wrappedHue(double hue)
{
    if (!std::isfinite(hue))
        return 0;
    double wrapped = hue - std::floor(hue);
    if (wrapped >= 1) // a tiny negative hue rounds up to 1
        wrapped = 0;
    return wrapped;
}

double channel(double p, double q, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (6 * t < 1)
        return p + (q - p) * 6 * t;
    if (2 * t < 1)
        return q;
    if (3 * t < 2)
        return p + (q - p) * (2.0 / 3.0 - t) * 6;
    return p;
}

} // namespace

HSV hsv(const pf::Color& color)
{
    const Extremes e = extremes(color);
    if (e.max + e.min == 0)
        return {0, 0, e.max};
    return {hueOf(color, e), e.delta / e.max, e.max};
}

HSL hsl(const pf::Color& color)
{
    const Extremes e = extremes(color);
    const double lightness = (e.max + e.min) / 2;
    double saturation = 0;
    if (e.max != e.min) {
        // Only colours outside 0..1 can make the denominator 0; they get no saturation.
        const double denominator = lightness <= 0.5 ? e.max + e.min : 2 - e.max - e.min;
        saturation = denominator == 0 ? 0 : e.delta / denominator;
    }
    return {hueOf(color, e), saturation, lightness};
}

pf::Color colorForHSV(const HSV& triple)
{
    const double s = triple.saturation;
    const double v = triple.value;
    if (s == 0)
        return pf::Color(v, v, v, 1);
    double h6 = wrappedHue(triple.hue) * 360 / 60;
    if (h6 >= 6) // a hue just below 1 can round up to the full circle
        h6 = 0;
    const int i = static_cast<int>(std::floor(h6));
    const double f = h6 - i;
    const double p = static_cast<float>((1 - s) * v);
    const double q = static_cast<float>((1 - s * f) * v);
    const double t = static_cast<float>((1 - s * (1 - f)) * v);
    switch (i) {
    case 0:
        return pf::Color(v, t, p, 1);
    case 1:
        return pf::Color(q, v, p, 1);
    case 2:
        return pf::Color(p, v, t, 1);
    case 3:
        return pf::Color(p, q, v, 1);
    case 4:
        return pf::Color(t, p, v, 1);
    default:
        return pf::Color(v, p, q, 1);
    }
}

pf::Color colorForHSL(const HSL& triple)
{
    const double h = wrappedHue(triple.hue);
    const double s = triple.saturation;
    const double l = triple.lightness;
    const double q = static_cast<float>(l < 0.5 ? l * (1 + s) : l + s - l * s);
    const double p = static_cast<float>(2 * l - q);
    return pf::Color(channel(p, q, h + 1.0 / 3.0), channel(p, q, h), channel(p, q, h - 1.0 / 3.0), 1);
}

} // namespace ORVExtension
