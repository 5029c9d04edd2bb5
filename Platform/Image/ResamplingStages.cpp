#include "Platform/Image/ResamplingStages.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/Sampler.h"
#include "Platform/Image/Vector.h"

#include <algorithm>
#include <cmath>

#include "Engine/Engine.h"

namespace pf {

namespace {

// Weights follow w(d) = exp(-d^2 / 2s^2) by a recurrence (two products per tap instead of an exp):
// w(d + 1) = w(d) r(d) with r(d + 1) = r(d) q. Taps come in pairs at c - d and c + d.
const QString StagesText = QString::fromUtf8(kernelTexts::Engine::GaussianStages);

const Kernel& gaussianKernel()
{
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel =
        *new Kernel(builtin::kernelNamed(StagesText, QStringLiteral("gaussianAlong")));
    return kernel;
}

const Kernel& enlargeKernel()
{
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel =
        *new Kernel(builtin::kernelNamed(StagesText, QStringLiteral("bsplineEnlargeAlong")));
    return kernel;
}

using Axis = ResamplingStages::Axis;

Vector axisVector(Axis axis)
{
    return axis == Axis::X ? Vector(1, 0) : Vector(0, 1);
}

// Grows a rectangle by `grow` along the axis, scales that axis by `scale` and rounds it out to whole
// pixels. The other axis stays as it is.
Rect mapAlong(const Rect& rect, Axis axis, double grow, double scale)
{
    if (rect.isNull() || rect.isInfinite())
        return rect;
    const bool x = axis == Axis::X;
    const double lo = std::floor(((x ? rect.minX() : rect.minY()) - grow) * scale);
    const double hi = std::ceil(((x ? rect.maxX() : rect.maxY()) + grow) * scale);
    return x ? Rect(lo, rect.minY(), hi - lo, rect.height()) : Rect(rect.minX(), lo, rect.width(), hi - lo);
}

// The rectangle read along the axis, scaled by `scale` and grown by `reach` input pixels.
Rect readAlong(const Rect& rect, Axis axis, double scale, double reach)
{
    if (rect.isNull() || rect.isInfinite())
        return rect;
    const bool x = axis == Axis::X;
    const double lo = (x ? rect.minX() : rect.minY()) * scale - reach;
    const double hi = (x ? rect.maxX() : rect.maxY()) * scale + reach;
    return x ? Rect(lo, rect.minY(), hi - lo, rect.height()) : Rect(rect.minX(), lo, rect.width(), hi - lo);
}

} // namespace

Image ResamplingStages::gaussianAlong(const Image& input, Axis axis, int k, double sigma, double reach,
                                      const std::optional<Rect>& extent, double* variance)
{
    k = std::max(1, k);
    sigma = std::max(sigma, 1e-3);
    // Output pixel i sits over input position k (i + 0.5): a pixel centre for odd k, a pixel edge for even
    // k. Taps are the input pixel centres within `reach` sigmas of it.
    const bool centred = k % 2 == 1;
    const double first = centred ? 1.0 : 0.5;
    const int pairs = std::max(centred ? 0 : 1, static_cast<int>(std::floor(reach * sigma - first)) + 1);
    const double twoS2 = 2.0 * sigma * sigma;
    const double centre = centred ? 1.0 : 0.0;
    double total = centre;
    double moment = 0;
    for (int i = 0; i < pairs; ++i) {
        const double d = first + i;
        const double w = std::exp(-d * d / twoS2);
        total += 2 * w;
        moment += 2 * w * d * d;
    }
    if (variance)
        *variance = moment / total;
    const Vector taps(k, first, pairs, centre);
    const Vector weights(std::exp(-first * first / twoS2), std::exp(-(2 * first + 1) / twoS2),
                         std::exp(-2.0 / twoS2), 1.0 / total);
    const double span = first + pairs - 1;

    ApplyOptions options;
    options.definition = mapAlong(input.definition().extent(), axis, span, 1.0 / k);
    if (extent)
        options.extent = *extent;
    options.regionOfInterest = [axis, k, span](int, const Rect& destination) {
        return readAlong(destination, axis, k, span + 1);
    };
    const Sampler sampler(input, Sampler::FilterMode::Nearest);
    return gaussianKernel().apply({QVariant::fromValue(sampler), QVariant::fromValue(axisVector(axis)),
                                   QVariant::fromValue(taps), QVariant::fromValue(weights)},
                                  options);
}

Image ResamplingStages::enlargeAlong(const Image& input, Axis axis, int k, const std::optional<Rect>& extent)
{
    ApplyOptions options;
    // A reduced pixel reaches two of its own widths either side.
    options.definition = mapAlong(input.definition().extent(), axis, 2.0, k);
    if (extent)
        options.extent = *extent;
    options.regionOfInterest = [axis, k](int, const Rect& destination) {
        return readAlong(destination, axis, 1.0 / k, 2.5);
    };
    const Sampler sampler(input, Sampler::FilterMode::Nearest);
    return enlargeKernel().apply(
        {QVariant::fromValue(sampler), QVariant::fromValue(axisVector(axis)), double(k)}, options);
}

Image ResamplingStages::reduce(const Image& input, int k, double* variance, double prefilter)
{
    // At 0.6 k the prefilter keeps less than 0.1% of a pattern repeating every k pixels (the one that
    // would alias to a flat shift), far below one level in 255; wider costs taps on the largest image.
    const double sigma = prefilter * k;
    const Image across =
        gaussianAlong(builtin::onPixelGrid(input), Axis::X, k, sigma, 3.0, std::nullopt, variance);
    return gaussianAlong(across, Axis::Y, k, sigma, 3.0);
}

Image ResamplingStages::enlarge(const Image& input, int k, const std::optional<Rect>& extent)
{
    return enlargeAlong(enlargeAlong(input, Axis::X, k), Axis::Y, k, extent);
}

Image ResamplingStages::gaussian(const Image& input, double sigma, const std::optional<Rect>& extent)
{
    // Reducing pays from a sigma of 4 on; a reduction of 8 keeps the prefilter's taps few.
    const int k = std::min(8, static_cast<int>(std::floor(sigma / 2.0)));
    if (k < 2) {
        const Image across = gaussianAlong(builtin::onPixelGrid(input), Axis::X, 1, sigma, 3.5);
        return gaussianAlong(across, Axis::Y, 1, sigma, 3.5, extent);
    }
    double prefilter = 0;
    const Image small = reduce(input, k, &prefilter);
    // What the small blur must add, in reduced pixels: sigma^2 = prefilter + k^2 (small^2 + 1/3).
    const double rest = std::max(0.0, (sigma * sigma - prefilter) / (double(k) * k) - 1.0 / 3.0);
    const Image blurred = gaussian(small, std::sqrt(rest));
    return enlarge(blurred, k, extent);
}

} // namespace pf
