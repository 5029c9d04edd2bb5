#include "Platform/Image/GaussianBlurFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/ResamplingStages.h"

#include <cmath>

namespace pf {

using namespace builtin;

GaussianBlurFilter::GaussianBlurFilter() : Filter(QStringLiteral("CIGaussianBlur"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputRadiusKey, numberAttributes(10.0, 0.0, 100.0, FilterAttribute::TypeScalar));
}

Image GaussianBlurFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    // The radius is the standard deviation. Beyond 3 of them less than 0.2% of a value arrives, so
    // that is where the extent ends.
    const double sigma = numberValue(InputRadiusKey, 10.0);
    if (!(sigma > 0.0) || !std::isfinite(sigma))
        return input;
    const double growth = std::ceil(3.0 * sigma);
    return ResamplingStages::gaussian(input, sigma, grown(input.extent(), growth, growth));
}

} // namespace pf
