// Scalar kl::pow once its table is made, over every float in and around the table's range.
#include "Platform/Image/KernelMath.h"
#include <cstdio>
#include <cmath>
#include <limits>
int main() {
    const float ys[] = {2.4f, 1.0f / 2.4f, -1.5f, 2.5f, 2.56f, -1.56f, 1.0f / 15.0f, 2.56155f, -1.56155f, 1.0f, 0.0f, 2.0f, 0.5f};
    for (float y : ys) {
        for (int i = 0; i < 300; ++i) (void)pf::kl::pow(0.5f, y); // make its table
        const bool tabled = pf::kl::fast::powTable(y) != nullptr;
        double worst = 0; float at = 0; long bad = 0, nonMono = 0;
        float prev = -1;
        const uint32_t lo = std::bit_cast<uint32_t>(std::ldexp(1.0f, -12)), hi = std::bit_cast<uint32_t>(8.0f);
        for (uint32_t b = lo; b < hi; ++b) {
            const float x = std::bit_cast<float>(b);
            const float got = pf::kl::pow(x, y);
            const double ex = std::pow(double(x), double(y));
            const double rel = std::abs(got - ex) / ex;
            if (rel > worst) { worst = rel; at = x; }
            if (rel > 2e-6) ++bad;
            if (y > 0 && got < prev) ++nonMono;
            if (y < 0 && prev >= 0 && got > prev) ++nonMono;
            prev = got;
        }
        std::printf("y=%-10.7g table %d: worst rel %.3g at x=%.9g, >2e-6: %ld, non-monotonic steps %ld\n", y, tabled, worst, at, bad, nonMono);
    }
}
