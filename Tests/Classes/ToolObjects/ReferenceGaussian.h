#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// A Gaussian blur of standard deviation sigma over a row-major grey plane of width x height values,
// edges repeated: the reference the effects' smoothing is measured against, worked out in plain loops.
inline std::vector<float> referenceGaussian(const std::vector<float>& in, int width, int height, double sigma)
{
    const int r = int(std::ceil(3 * sigma));
    std::vector<double> w(size_t(2 * r + 1));
    double total = 0;
    for (int i = -r; i <= r; ++i)
        total += w[size_t(i + r)] = std::exp(-i * i / (2 * sigma * sigma));
    const auto at = [width, height](const std::vector<float>& plane, int x, int y) {
        return plane[size_t(std::clamp(y, 0, height - 1) * width + std::clamp(x, 0, width - 1))];
    };
    std::vector<float> h = in, out = in;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double s = 0;
            for (int i = -r; i <= r; ++i)
                s += w[size_t(i + r)] * at(in, x + i, y);
            h[size_t(y * width + x)] = float(s / total);
        }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double s = 0;
            for (int i = -r; i <= r; ++i)
                s += w[size_t(i + r)] * at(h, x, y + i);
            out[size_t(y * width + x)] = float(s / total);
        }
    return out;
}
