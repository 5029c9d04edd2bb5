// Rows of values raised to one of n exponents in turn (as stages of a fused chain would), timing each
// count of exponents: four fit the per-thread tables, a fifth evicts one every row.
#include "Platform/Image/KernelMath.h"
#include <chrono>
#include <cstdio>
int main() {
    const float ys[] = {2.4f, 1.0f / 2.4f, 1.0f / 15.0f, 1.8f, 0.7f, 1.3f};
    for (int row : {256, 1024, 4096})
    for (int n = 3; n <= 6; ++n) {
        volatile float sink = 0;
        const auto t0 = std::chrono::steady_clock::now();
        long calls = 0;
        for (int r = 0; r < 2000; ++r)
            for (int k = 0; k < n; ++k)
                for (int i = 0; i < row; ++i, ++calls)
                    sink = sink + pf::kl::pow(0.01f + 0.9f * float(i) / row, ys[k]);
        const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() / calls;
        std::printf("row %4d, %d exponents in turn: %.1f ns a power\n", row, n, ns);
    }
}
