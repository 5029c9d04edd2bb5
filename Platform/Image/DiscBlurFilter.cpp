#include "Platform/Image/DiscBlurFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/ResamplingStages.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {

// Every pixel whose centre lies within the radius counts once.
const QString DiscText = QString::fromUtf8(kernelTexts::Engine::DiscBlur);

// Discs larger than this are averaged on a reduced image: the cost per pixel stays bounded.
constexpr double DirectRadius = 6.0;

Image disc(const Image& input, double radius, const std::optional<Rect>& extent)
{
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel(kernelNamed(DiscText, QStringLiteral("discAverage")));
    const double reach = std::floor(radius);
    ApplyOptions options;
    options.definition = grown(input.definition().extent(), reach, reach);
    if (extent)
        options.extent = *extent;
    options.regionOfInterest = [reach](int, const Rect& destination) {
        return grown(destination, reach, reach);
    };
    const Sampler sampler(input, Sampler::FilterMode::Nearest);
    return kernel.apply({QVariant::fromValue(sampler), radius}, options);
}

} // namespace

DiscBlurFilter::DiscBlurFilter() : Filter(QStringLiteral("CIDiscBlur"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputRadiusKey, numberAttributes(8.0, 0.0, 100.0, FilterAttribute::TypeDistance));
}

Image DiscBlurFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    const double radius = numberValue(InputRadiusKey, 8.0);
    if (!(radius >= 1.0) || !std::isfinite(radius))
        return input;
    const double growth = std::ceil(radius);
    const Rect extent = grown(input.extent(), growth, growth);
    if (radius <= DirectRadius)
        return disc(onPixelGrid(input), radius, extent);
    // Reduced k times, the disc keeps DirectRadius reduced pixels; the prefilter and the enlargement
    // soften its rim by about k pixels, little beside its radius.
    const int k = std::max(2, static_cast<int>(std::floor(radius / DirectRadius)));
    const Image small = ResamplingStages::reduce(input, k);
    return ResamplingStages::enlarge(disc(small, radius / k, std::nullopt), k, extent);
}

} // namespace pf
