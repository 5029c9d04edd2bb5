#pragma once

// Value noise that tiles, for the programs that draw generated artwork.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace GeneratedDrawing {

// Hermite smoothing of x between the edges e0 and e1: 0 below e0, 1 above e1.
inline double smoothstep(double e0, double e1, double x)
{
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

inline double mix(double a, double b, double t)
{
    return a + (b - a) * t;
}

// Value noise on a periodic lattice: cellsU x cellsV random values in -1..1 (drawn from `random`, any
// generator with unit() in 0..1) over the unit square, smoothly interpolated and wrapping at the
// square's edges, so the noise tiles seamlessly.
template <class Random> class PeriodicNoise
{
public:
    PeriodicNoise(int cells, Random& random) : PeriodicNoise(cells, cells, random) {}
    PeriodicNoise(int cellsU, int cellsV, Random& random)
        : m_cellsU(cellsU), m_cellsV(cellsV), m_values(size_t(cellsU * cellsV))
    {
        for (double& v : m_values)
            v = random.unit() * 2 - 1;
    }
    // u, v in units of the whole square (1 = one period).
    double at(double u, double v) const
    {
        const double x = u * m_cellsU, y = v * m_cellsV;
        const double fx = std::floor(x), fy = std::floor(y);
        const double tx = smoothstep(0, 1, x - fx), ty = smoothstep(0, 1, y - fy);
        const int x0 = wrap(int(fx), m_cellsU), y0 = wrap(int(fy), m_cellsV);
        const int x1 = wrap(x0 + 1, m_cellsU), y1 = wrap(y0 + 1, m_cellsV);
        return mix(mix(value(x0, y0), value(x1, y0), tx), mix(value(x0, y1), value(x1, y1), tx), ty);
    }

private:
    static int wrap(int i, int n) { return ((i % n) + n) % n; }
    double value(int x, int y) const { return m_values[size_t(y * m_cellsU + x)]; }
    int m_cellsU, m_cellsV;
    std::vector<double> m_values;
};

} // namespace GeneratedDrawing
