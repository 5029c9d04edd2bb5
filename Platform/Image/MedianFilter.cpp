#include "Platform/Image/MedianFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/Sampler.h"

namespace pf {

using namespace builtin;

MedianFilter::MedianFilter() : Filter(QStringLiteral("CIMedianFilter"))
{
    declareInput(InputImageKey, imageAttributes());
}

Image MedianFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    // The median of nine by a fixed network of 19 exchanges, on all four channels at once.
    static const Kernel kernel = kernelNamed(QStringLiteral(R"(
#define SORT(a, b) { vec4 t = min(a, b); b = max(a, b); a = t; }
kernel vec4 median3x3(sampler image)
{
    vec2 p = destCoord();
    vec4 p0 = sample(image, p + vec2(-1.0, -1.0));
    vec4 p1 = sample(image, p + vec2(0.0, -1.0));
    vec4 p2 = sample(image, p + vec2(1.0, -1.0));
    vec4 p3 = sample(image, p + vec2(-1.0, 0.0));
    vec4 p4 = sample(image, p);
    vec4 p5 = sample(image, p + vec2(1.0, 0.0));
    vec4 p6 = sample(image, p + vec2(-1.0, 1.0));
    vec4 p7 = sample(image, p + vec2(0.0, 1.0));
    vec4 p8 = sample(image, p + vec2(1.0, 1.0));
    SORT(p1, p2); SORT(p4, p5); SORT(p7, p8);
    SORT(p0, p1); SORT(p3, p4); SORT(p6, p7);
    SORT(p1, p2); SORT(p4, p5); SORT(p7, p8);
    SORT(p0, p3); SORT(p5, p8); SORT(p4, p7);
    SORT(p3, p6); SORT(p1, p4); SORT(p2, p5);
    SORT(p4, p7); SORT(p4, p2); SORT(p6, p4);
    SORT(p4, p2);
    return p4;
}
)"),
                                             QStringLiteral("median3x3"));
    ApplyOptions options;
    options.definition = input.definition().extent();
    options.extent = input.extent();
    options.regionOfInterest = [](int, const Rect& destination) { return grown(destination, 1, 1); };
    const Sampler sampler(onPixelGrid(input), Sampler::FilterMode::Nearest);
    return kernel.apply({QVariant::fromValue(sampler)}, options);
}

} // namespace pf
