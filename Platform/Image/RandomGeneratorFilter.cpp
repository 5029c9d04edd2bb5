#include "Platform/Image/RandomGeneratorFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

namespace pf {

using namespace builtin;

RandomGeneratorFilter::RandomGeneratorFilter() : Filter(QStringLiteral("CIRandomGenerator")) {}

Image RandomGeneratorFilter::outputImage() const
{
    // A hash of the pixel's integer position (a permuted congruential step per round), so every tile and
    // every render agrees on every pixel, and neighbouring pixels are unrelated.
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel(kernelNamed(QStringLiteral(R"(
uvec4 permute(uvec4 v)
{
    v = v * 1664525u + 1013904223u;
    v.x += v.y * v.w; v.y += v.z * v.x; v.z += v.x * v.y; v.w += v.y * v.z;
    v ^= v >> 16u;
    v.x += v.y * v.w; v.y += v.z * v.x; v.z += v.x * v.y; v.w += v.y * v.z;
    return v;
}

kernel vec4 randomNoise()
{
    ivec2 p = ivec2(floor(destCoord()));
    uvec4 h = permute(uvec4(uint(p.x), uint(p.y), uint(p.x) ^ 0x9e3779b9u, uint(p.y) ^ 0x85ebca6bu));
    h = permute(h);
    // The top 24 bits: exactly representable, so the values stay below 1.
    return vec4(h >> 8u) * (1.0 / 16777216.0);
}
)"),
                                                          QStringLiteral("randomNoise")));
    ApplyOptions options;
    options.definition = Rect::infinite();
    return kernel.apply({}, options);
}

} // namespace pf
