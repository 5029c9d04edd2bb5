#include "Classes/Filters/MarchingFill.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <queue>
#include <utility>

namespace {

constexpr float Far = 1e9f;
constexpr int Channels = 4;

enum Flag : uint8_t
{
    Settled, // known, or filled and behind the front
    Front,   // filled (or about to be), its distance still tentative
    Ahead,   // not reached yet
    Outside, // not part of the fill
};

} // namespace

void MarchingFill::fill(int width, int height, float* pixels, const std::vector<uint8_t>& states,
                        double reach)
{
    const size_t count = size_t(std::max(width, 0)) * size_t(std::max(height, 0));
    if (count == 0 || !pixels || states.size() < count || !(reach >= 1))
        return;
    const auto index = [width](int x, int y) { return size_t(y) * size_t(width) + size_t(x); };
    const auto inside = [width, height](int x, int y) { return x >= 0 && y >= 0 && x < width && y < height; };
    const auto known = [&](int x, int y) { return inside(x, y) && states[index(x, y)] == Known; };

    std::vector<uint8_t> flag(count);
    std::vector<float> distance(count, Far);
    // Whether a pixel holds a value the fill may read: known, or filled already.
    std::vector<uint8_t> valued(count, 0);
    for (size_t i = 0; i < count; ++i) {
        flag[i] = states[i] == Known ? Settled : states[i] == ToFill ? Ahead : Outside;
        if (states[i] == Known) {
            distance[i] = 0;
            valued[i] = 1;
        }
    }

    // The gradient of the known pixels, where both neighbours across are known too: a filled pixel's
    // gradient would feed its own errors forward and let them grow.
    std::vector<std::array<float, 2 * Channels>> gradient(count);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto& g = gradient[index(x, y)];
            g.fill(0.0f);
            if (!known(x, y))
                continue;
            const bool across = known(x - 1, y) && known(x + 1, y),
                       along = known(x, y - 1) && known(x, y + 1);
            for (int k = 0; k < Channels; ++k) {
                if (across)
                    g[size_t(k)] = 0.5f * (pixels[Channels * index(x + 1, y) + size_t(k)] -
                                           pixels[Channels * index(x - 1, y) + size_t(k)]);
                if (along)
                    g[size_t(Channels + k)] = 0.5f * (pixels[Channels * index(x, y + 1) + size_t(k)] -
                                                      pixels[Channels * index(x, y - 1) + size_t(k)]);
            }
        }

    using Entry = std::pair<float, size_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> front;
    constexpr int StepX[4] = {1, -1, 0, 0}, StepY[4] = {0, 0, 1, -1};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = index(x, y);
            if (flag[i] != Ahead)
                continue;
            for (int s = 0; s < 4; ++s)
                if (known(x + StepX[s], y + StepY[s])) {
                    flag[i] = Front;
                    distance[i] = 0;
                    front.emplace(0.0f, i);
                    break;
                }
        }

    const auto distanceAt = [&](int x, int y) { return inside(x, y) ? distance[index(x, y)] : Far; };
    // The distance a pixel has from two neighbours at right angles (the eikonal equation's upwind step).
    const auto solve = [&](int x1, int y1, int x2, int y2) {
        const float a = distanceAt(x1, y1), b = distanceAt(x2, y2);
        if (a < Far && b < Far) {
            const float d = a - b;
            const float r = std::sqrt(std::max(0.0f, 2 - d * d));
            float s = 0.5f * (a + b - r);
            if (s >= a && s >= b)
                return s;
            s += r;
            if (s >= a && s >= b)
                return s;
            return std::min(a, b) + 1;
        }
        if (a < Far)
            return a + 1;
        if (b < Far)
            return b + 1;
        return Far;
    };
    // One side's slope of the distance, or the mean of both.
    const auto slope = [&](int xa, int ya, int xb, int yb, float centre) {
        const float a = distanceAt(xa, ya), b = distanceAt(xb, yb);
        if (a < Far && b < Far)
            return 0.5f * (b - a);
        if (b < Far)
            return b - centre;
        if (a < Far)
            return centre - a;
        return 0.0f;
    };

    const int span = int(std::ceil(reach));
    const double reach2 = reach * reach;
    const auto fillPixel = [&](int x, int y) {
        const size_t i = index(x, y);
        const float t = distance[i];
        float nx = slope(x - 1, y, x + 1, y, t), ny = slope(x, y - 1, x, y + 1, t);
        const float length = std::sqrt(nx * nx + ny * ny);
        if (length > 0)
            nx /= length, ny /= length;
        std::array<double, Channels> sum{};
        std::array<float, Channels> lowest, highest;
        lowest.fill(Far);
        highest.fill(-Far);
        double total = 0;
        for (int dy = -span; dy <= span; ++dy)
            for (int dx = -span; dx <= span; ++dx) {
                const int qx = x + dx, qy = y + dy;
                const double r2 = double(dx * dx + dy * dy);
                if (r2 == 0 || r2 > reach2 || !inside(qx, qy))
                    continue;
                const size_t j = index(qx, qy);
                if (!valued[j])
                    continue;
                const double r = std::sqrt(r2);
                const double square = length > 0 ? std::max(std::abs(dx * nx + dy * ny) / r, 1e-6) : 1.0;
                const double level = 1 / (1 + std::abs(double(distance[j]) - t));
                const double w = square * level / r2;
                const float* q = pixels + Channels * j;
                const auto& g = gradient[j];
                for (int k = 0; k < Channels; ++k) {
                    sum[size_t(k)] += w * (q[k] - dx * g[size_t(k)] - dy * g[size_t(Channels + k)]);
                    lowest[size_t(k)] = std::min(lowest[size_t(k)], q[k]);
                    highest[size_t(k)] = std::max(highest[size_t(k)], q[k]);
                }
                total += w;
            }
        if (total > 0) {
            float* p = pixels + Channels * i;
            for (int k = 0; k < Channels; ++k)
                p[k] = std::clamp(float(sum[size_t(k)] / total), lowest[size_t(k)], highest[size_t(k)]);
            valued[i] = 1;
        }
    };

    while (!front.empty()) {
        const size_t i = front.top().second;
        front.pop();
        if (flag[i] == Settled)
            continue;
        const int x = int(i % size_t(width)), y = int(i / size_t(width));
        if (!valued[i])
            fillPixel(x, y);
        flag[i] = Settled;
        for (int s = 0; s < 4; ++s) {
            const int ux = x + StepX[s], uy = y + StepY[s];
            if (!inside(ux, uy) || flag[index(ux, uy)] != Ahead)
                continue;
            const size_t j = index(ux, uy);
            distance[j] = std::min({solve(ux - 1, uy, ux, uy - 1), solve(ux + 1, uy, ux, uy - 1),
                                    solve(ux - 1, uy, ux, uy + 1), solve(ux + 1, uy, ux, uy + 1)});
            flag[j] = Front;
            fillPixel(ux, uy);
            front.emplace(distance[j], j);
        }
    }
}
