#include "Classes/Filters/OVReplaceColorFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/ColorORVExtension.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>

using namespace pf;

OVReplaceColorFilter::OVReplaceColorFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputColor"),
                 MaskFilterSupport::colorAttributes(Color(1, 0, 0, 1), FilterAttribute::TypeDistance));
    declareInput(QStringLiteral("inputTargetColor"),
                 MaskFilterSupport::colorAttributes(Color(0, 1, 0, 1), FilterAttribute::TypeDistance));
    declareInput(QStringLiteral("inputIntensity"),
                 MaskFilterSupport::numberAttributes({.sliderMin = 0, .sliderMax = 1, .defaultValue = 0.4}));
}

Vector OVReplaceColorFilter::ratios(const Color& source, const Color& target)
{
    const ORVExtension::HSV s = ORVExtension::hsv(source);
    const ORVExtension::HSV t = ORVExtension::hsv(target);
    return Vector(t.saturation / std::max(0.01, s.saturation), t.value / std::max(0.01, s.value));
}

Image OVReplaceColorFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    // A missing colour reads as transparent black: hue, saturation and value 0.
    const Color source = colorValue(QStringLiteral("inputColor"));
    const Color target = colorValue(QStringLiteral("inputTargetColor"));
    return FrameworkFilterSupport::applyOver(kernel(),
                                             {QVariant::fromValue(Sampler(image)),
                                              ORVExtension::hsv(source).hue, ORVExtension::hsv(target).hue,
                                              target.alpha(), QVariant::fromValue(ratios(source, target)),
                                              numberValue(QStringLiteral("inputIntensity"))},
                                             image);
}
