// Every float through kl tanh against the double-precision tanh.
#include "Platform/Image/KernelMath.h"
#include <cstdio>
#include <cmath>
#include <thread>
#include <vector>
#include <atomic>
int main() {
    struct R { double worstAbs=0, worstRel=0; uint32_t atAbs=0, atRel=0; uint64_t nanBad=0, signBad=0, outOfRange=0; uint32_t firstBad=0; };
    const int T = 4;
    std::vector<R> rs(T);
    std::vector<std::thread> th;
    for (int t = 0; t < T; ++t) th.emplace_back([&, t] {
        R& r = rs[t];
        for (uint64_t b = t; b <= 0xffffffffull; b += T) {
            float x = std::bit_cast<float>(uint32_t(b));
            float got = pf::kl::tanh(x);
            double ex = std::tanh(double(x));
            if (std::isnan(x)) { if (!std::isnan(got)) ++r.nanBad; continue; }
            if (std::isnan(got)) { ++r.nanBad; r.firstBad = uint32_t(b); continue; }
            if (std::signbit(got) != std::signbit(ex) && ex != 0) ++r.signBad;
            if (std::fabs(got) > 1.0f) ++r.outOfRange;
            double ab = std::fabs(got - ex);
            double rel = ex != 0 ? ab / std::fabs(ex) : (got == 0 ? 0 : 1);
            if (ab > r.worstAbs) { r.worstAbs = ab; r.atAbs = uint32_t(b); }
            if (rel > r.worstRel) { r.worstRel = rel; r.atRel = uint32_t(b); }
        }
    });
    for (auto& x : th) x.join();
    R all; for (auto& r : rs) { if (r.worstAbs > all.worstAbs) { all.worstAbs = r.worstAbs; all.atAbs = r.atAbs; } if (r.worstRel > all.worstRel) { all.worstRel = r.worstRel; all.atRel = r.atRel; } all.nanBad += r.nanBad; all.signBad += r.signBad; all.outOfRange += r.outOfRange; }
    std::printf("worst abs %.3g at x=%.9g ; worst rel %.3g at x=%.9g ; nanBad %llu signBad %llu >1 %llu\n",
        all.worstAbs, std::bit_cast<float>(all.atAbs), all.worstRel, std::bit_cast<float>(all.atRel),
        (unsigned long long)all.nanBad, (unsigned long long)all.signBad, (unsigned long long)all.outOfRange);
    // spot values
    for (float x : {0.0f, -0.0f, 1e-45f, 0.1249999f, 0.125f, 0.5f, 1.0f, 8.99999f, 9.0f, 1e30f, INFINITY, -INFINITY, NAN})
        std::printf("tanh(%g)=%.9g (exact %.9g) signbit %d\n", x, pf::kl::tanh(x), std::tanh(double(x)), (int)std::signbit(pf::kl::tanh(x)));
}
