#include "Classes/Filters/OVKeepColorFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/ColorORVExtension.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVKeepColorFilter::OVKeepColorFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputColor"),
                 MaskFilterSupport::colorAttributes(Color(1, 0, 0, 1), FilterAttribute::TypeDistance));
    declareInput(QStringLiteral("inputIntensity"),
                 MaskFilterSupport::numberAttributes({.sliderMin = 0, .sliderMax = 1, .defaultValue = 0.4}));
}

Image OVKeepColorFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const double hue = hasValue(QStringLiteral("inputColor"))
                           ? ORVExtension::hsv(colorValue(QStringLiteral("inputColor"))).hue
                           : 0.0;
    return FrameworkFilterSupport::applyOver(
        kernel(), {QVariant::fromValue(Sampler(image)), hue, numberValue(QStringLiteral("inputIntensity"))},
        image);
}
