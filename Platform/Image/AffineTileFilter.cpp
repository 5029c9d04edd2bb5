#include "Platform/Image/AffineTileFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {

// The tile's pixel at the wrapped position: pixel centres land on pixel centres of the tile, so the
// repeated plane is exact, and the transform after it interpolates across seams like anywhere else.
const QString WrapText = QString::fromUtf8(kernelTexts::Engine::AffineTile);

// The interval of one axis that [lo, hi) wraps onto within [origin, origin + period): itself moved
// into the period when it does not cross a seam, else the whole period.
void wrapInterval(double lo, double hi, double origin, double period, double& outLo, double& outHi)
{
    if (hi - lo >= period) {
        outLo = origin;
        outHi = origin + period;
        return;
    }
    const double shift = std::floor((lo - origin) / period) * period;
    if (hi - shift <= origin + period) {
        outLo = lo - shift;
        outHi = hi - shift;
    } else {
        outLo = origin;
        outHi = origin + period;
    }
}

} // namespace

AffineTileFilter::AffineTileFilter() : TransformedImageFilter(QStringLiteral("CIAffineTile")) {}

Image AffineTileFilter::beforeTransform(const Image& input) const
{
    const Rect tile = input.extent().integral();
    if (tile.isNull() || tile.isEmpty() || tile.isInfinite())
        return input;
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel(kernelNamed(WrapText, QStringLiteral("wrapTile")));
    ApplyOptions options;
    options.definition = Rect::infinite();
    options.regionOfInterest = [tile](int, const Rect& destination) {
        double x0, x1, y0, y1;
        wrapInterval(std::floor(destination.minX()), std::ceil(destination.maxX()), tile.minX(), tile.width(),
                     x0, x1);
        wrapInterval(std::floor(destination.minY()), std::ceil(destination.maxY()), tile.minY(),
                     tile.height(), y0, y1);
        return Rect(x0, y0, x1 - x0, y1 - y0);
    };
    const Sampler sampler(onPixelGrid(input), Sampler::FilterMode::Nearest);
    return kernel.apply({QVariant::fromValue(sampler), QVariant::fromValue(Vector::fromRect(tile))}, options);
}

} // namespace pf
