#include "Platform/Image/DisplacementDistortionFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

#include <cmath>

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {
const QString InputDisplacementImageKey = QStringLiteral("inputDisplacementImage");
}

DisplacementDistortionFilter::DisplacementDistortionFilter()
    : Filter(QStringLiteral("CIDisplacementDistortion"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputDisplacementImageKey, imageAttributes());
    declareInput(InputScaleKey, numberAttributes(50.0, 0.0, 200.0, FilterAttribute::TypeDistance));
}

Image DisplacementDistortionFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    const Image displacement = imageValue(InputDisplacementImageKey);
    const double scale = numberValue(InputScaleKey, 50.0);
    if (displacement.isNull() || !std::isfinite(scale) || scale == 0.0)
        return input;
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel(
        kernelNamed(QString::fromUtf8(kernelTexts::Engine::Displacement), QStringLiteral("displace")));
    // A pixel is pulled from at most half the scale away: displacement values are taken within 0..1, so
    // that the region read stays bounded and tiled renders match whole ones.
    const double reach = std::ceil(std::abs(scale) * 0.5);
    ApplyOptions options;
    options.definition = grown(input.definition().extent(), reach, reach);
    options.extent = input.extent();
    options.regionOfInterest = [reach](int index, const Rect& destination) {
        return index == 0 ? grown(destination, reach + 1, reach + 1) : destination;
    };
    return kernel.apply({QVariant::fromValue(input), QVariant::fromValue(displacement), scale}, options);
}

} // namespace pf
