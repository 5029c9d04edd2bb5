#include "Platform/Image/TorusLensDistortionFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

#include <cmath>

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {
const QString InputWidthKey = QStringLiteral("inputWidth");
const QString InputRefractionKey = QStringLiteral("inputRefraction");

// The tube's cross-section is a half circle of radius h = width / 2 standing on the picture. A view ray
// straight down meets the glass at t = (distance - radius) / h from the tube's middle, where the
// surface leans by a with sin a = |t|; it refracts to b with sin b = sin a / n and crosses the glass's
// thickness h sqrt(1 - t^2) at the angle a - b, so it reaches the picture that much nearer the
// tube's middle line. The picture seen through the ring is thus magnified across the tube.
const QString TorusText = QString::fromUtf8(kernelTexts::Engine::TorusLens);

} // namespace

TorusLensDistortionFilter::TorusLensDistortionFilter() : Filter(QStringLiteral("CITorusLensDistortion"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputCenterKey, vectorAttributes(Vector(150, 150), FilterAttribute::TypePosition));
    declareInput(InputRadiusKey, numberAttributes(160.0, 0.0, 500.0, FilterAttribute::TypeDistance));
    declareInput(InputWidthKey, numberAttributes(80.0, 0.0, 200.0, FilterAttribute::TypeDistance));
    declareInput(InputRefractionKey, numberAttributes(1.7, 0.0, 5.0, FilterAttribute::TypeScalar));
}

Image TorusLensDistortionFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    const Vector center = vectorValue(InputCenterKey);
    const double radius = numberValue(InputRadiusKey, 160.0);
    const double half = 0.5 * numberValue(InputWidthKey, 80.0);
    const double refraction = numberValue(InputRefractionKey, 1.7);
    // Below an index of 1 the glass would bend rays outward; at 1 it bends nothing.
    if (!(half > 0.0) || !(refraction > 1.0) || !std::isfinite(radius) || !std::isfinite(half) ||
        !std::isfinite(refraction) || !std::isfinite(center.x()) || !std::isfinite(center.y()))
        return input;
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel(kernelNamed(TorusText, QStringLiteral("torusLens")));
    // The shift never exceeds the half width.
    const double reach = std::ceil(half) + 1;
    ApplyOptions options;
    options.definition = grown(input.definition().extent(), reach, reach);
    options.extent = input.extent();
    options.regionOfInterest = [reach](int, const Rect& destination) {
        return grown(destination, reach, reach);
    };
    return kernel.apply({QVariant::fromValue(input), QVariant::fromValue(Vector(center.x(), center.y())),
                         QVariant::fromValue(Vector(radius, half, refraction, 0))},
                        options);
}

} // namespace pf
