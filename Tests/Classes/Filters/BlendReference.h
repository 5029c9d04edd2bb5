#pragma once

// Blend formulas written out independently of the kernel texts, for checking them: the separable and
// non-separable modes of the W3C Compositing and Blending Level 1 recommendation, the common
// definitions of the modes it lacks, and its general compositing formula, all in double precision on
// straight colours.

#include "FilterTestSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace blendref {

using RGB = std::array<double, 3>;
using Pixel = std::array<double, 4>; // premultiplied
using Channel = std::function<double(double cb, double cs)>;
using Blend = std::function<RGB(const RGB& cb, const RGB& cs)>;
// The whole result for a premultiplied top (s) and bottom (b), before the intensity.
using Composite = std::function<Pixel(const Pixel& s, const Pixel& b)>;

inline RGB straight(const Pixel& p)
{
    if (p[3] <= 0)
        return {0, 0, 0};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3]};
}

inline Pixel premultiplied(const RGB& c, double a)
{
    return {c[0] * a, c[1] * a, c[2] * a, a};
}

inline Blend perChannel(Channel f)
{
    return [f](const RGB& cb, const RGB& cs) {
        return RGB{f(cb[0], cs[0]), f(cb[1], cs[1]), f(cb[2], cs[2])};
    };
}

inline double multiply(double cb, double cs)
{
    return cb * cs;
}
inline double screen(double cb, double cs)
{
    return 1 - (1 - cb) * (1 - cs);
}
inline double hardLight(double cb, double cs)
{
    return cs <= 0.5 ? cb * 2 * cs : screen(cb, 2 * cs - 1);
}
inline double overlay(double cb, double cs)
{
    return cb <= 0.5 ? cs * 2 * cb : screen(cs, 2 * cb - 1);
}
inline double softLight(double cb, double cs)
{
    if (cs <= 0.5)
        return cb - (1 - 2 * cs) * cb * (1 - cb);
    const double d = cb <= 0.25 ? ((16 * cb - 12) * cb + 4) * cb : std::sqrt(cb);
    return cb + (2 * cs - 1) * (d - cb);
}
inline double colorDodge(double cb, double cs)
{
    if (cb == 0)
        return 0;
    if (cs == 1)
        return 1;
    return std::min(1.0, cb / (1 - cs));
}
inline double colorBurn(double cb, double cs)
{
    if (cb == 1)
        return 1;
    if (cs == 0)
        return 0;
    return 1 - std::min(1.0, (1 - cb) / cs);
}
inline double vividLight(double cb, double cs)
{
    return cs <= 0.5 ? colorBurn(cb, 2 * cs) : colorDodge(cb, 2 * cs - 1);
}

inline double lum(const RGB& c)
{
    return 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2];
}
inline RGB clipColor(RGB c)
{
    const double l = lum(c);
    const double n = std::min({c[0], c[1], c[2]});
    const double x = std::max({c[0], c[1], c[2]});
    if (n < 0)
        for (double& v : c)
            v = l + (v - l) * l / (l - n);
    if (x > 1)
        for (double& v : c)
            v = l + (v - l) * (1 - l) / (x - l);
    return c;
}
inline RGB setLum(const RGB& c, double l)
{
    const double d = l - lum(c);
    return clipColor({c[0] + d, c[1] + d, c[2] + d});
}

// HSL with the hue as a fraction of a turn.
inline RGB toHsl(const RGB& c)
{
    const double mx = std::max({c[0], c[1], c[2]});
    const double mn = std::min({c[0], c[1], c[2]});
    const double l = (mx + mn) / 2;
    const double chroma = mx - mn;
    if (chroma == 0)
        return {0, 0, l};
    const double s = chroma / (1 - std::abs(2 * l - 1));
    double h;
    if (mx == c[0])
        h = (c[1] - c[2]) / chroma;
    else if (mx == c[1])
        h = (c[2] - c[0]) / chroma + 2;
    else
        h = (c[0] - c[1]) / chroma + 4;
    h /= 6;
    return {h - std::floor(h), s, l};
}
inline RGB fromHsl(const RGB& hsl)
{
    // The classic piecewise form: chroma, the second largest component, and the lightness offset.
    const double chroma = (1 - std::abs(2 * hsl[2] - 1)) * hsl[1];
    const double sector = hsl[0] * 6;
    const double x = chroma * (1 - std::abs(std::fmod(sector, 2.0) - 1));
    RGB c;
    if (sector < 1)
        c = {chroma, x, 0};
    else if (sector < 2)
        c = {x, chroma, 0};
    else if (sector < 3)
        c = {0, chroma, x};
    else if (sector < 4)
        c = {0, x, chroma};
    else if (sector < 5)
        c = {x, 0, chroma};
    else
        c = {chroma, 0, x};
    const double m = hsl[2] - chroma / 2;
    return {c[0] + m, c[1] + m, c[2] + m};
}

// co = cs (1 - ab) + cb (1 - as) + as ab B(Cb, Cs), ao = as + ab (1 - as)
inline Composite general(Blend blend)
{
    return [blend](const Pixel& s, const Pixel& b) {
        const RGB mixed = blend(straight(b), straight(s));
        Pixel out;
        for (int i = 0; i < 3; ++i)
            out[i] = s[i] * (1 - b[3]) + b[i] * (1 - s[3]) + s[3] * b[3] * mixed[i];
        out[3] = s[3] + b[3] * (1 - s[3]);
        return out;
    };
}

inline Pixel sourceOver(const Pixel& s, const Pixel& b)
{
    Pixel out;
    for (int i = 0; i < 4; ++i)
        out[i] = s[i] + b[i] * (1 - s[3]);
    return out;
}

inline Pixel mix(const Pixel& b, const Pixel& full, double t)
{
    Pixel out;
    for (int i = 0; i < 4; ++i)
        out[i] = b[i] + (full[i] - b[i]) * t;
    return out;
}

inline Blend maxWith(Channel f)
{
    return perChannel([f](double cb, double cs) { return std::max(cb, f(cb, cs)); });
}

// Straight colours and alphas whose every pairing the grids cover: black, white, mid-grey, the
// dyadic thresholds of the piecewise modes, saturated and mixed colours, and alphas 0 (colour lost),
// partial and 1. The non-dyadic components are chosen so that no two add up to exactly 1, which is the
// knife edge of the hard mix.
inline std::vector<Pixel> gridSamples()
{
    const std::vector<RGB> colours = {{0, 0, 0},         {1, 1, 1},        {0.5, 0.5, 0.5},   {1, 0, 0},
                                      {0.25, 0.75, 0.5}, {0.2, 0.6, 0.9},  {0.9, 0.35, 0.15}, {0.7, 0.2, 0.6},
                                      {0, 1, 0.25},      {0.15, 0.15, 0.9}};
    std::vector<Pixel> samples;
    for (double a : {0.0, 0.5, 0.75, 1.0})
        for (const RGB& c : colours)
            samples.push_back(premultiplied(c, a));
    return samples;
}

// Top image: column x holds samples[x]; bottom image: row y holds samples[y].
struct Grid
{
    std::vector<Pixel> samples;
    pf::Image top;
    pf::Image bottom;
    int size() const { return int(samples.size()); }
    pf::Rect rect() const { return pf::Rect(0, 0, size(), size()); }
};

inline Grid grid(const std::vector<Pixel>& samples)
{
    Grid g;
    // Kept as the images hold them, so a value passed through unchanged compares equal.
    for (const Pixel& p : samples)
        g.samples.push_back({float(p[0]), float(p[1]), float(p[2]), float(p[3])});
    auto cell = [](const Pixel& p) {
        return std::array<float, 4>{float(p[0]), float(p[1]), float(p[2]), float(p[3])};
    };
    const int n = g.size();
    g.top = filtertest::floatImage(n, n, [&](int x, int) { return cell(g.samples[size_t(x)]); });
    g.bottom = filtertest::floatImage(n, n, [&](int, int y) { return cell(g.samples[size_t(y)]); });
    return g;
}

// The largest difference between `image` over the grid and `expected(top, bottom)`; infinity when any
// output value is not finite.
inline double worstError(const pf::Image& image, const Grid& g,
                         const std::function<Pixel(const Pixel& s, const Pixel& b)>& expected)
{
    const filtertest::Pixels p = filtertest::render(image, g.rect());
    double worst = 0;
    for (int y = 0; y < g.size(); ++y)
        for (int x = 0; x < g.size(); ++x) {
            const std::array<float, 4> got = p.at(x, y);
            const Pixel want = expected(g.samples[size_t(x)], g.samples[size_t(y)]);
            for (int i = 0; i < 4; ++i) {
                if (!std::isfinite(got[size_t(i)]))
                    return INFINITY;
                worst = std::max(worst, std::abs(double(got[size_t(i)]) - want[size_t(i)]));
            }
        }
    return worst;
}

} // namespace blendref
