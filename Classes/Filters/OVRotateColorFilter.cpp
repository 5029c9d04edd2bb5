#include "Classes/Filters/OVRotateColorFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVRotateColorFilter::OVRotateColorFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputAngle"),
                 MaskFilterSupport::numberAttributes({.sliderMin = 0, .sliderMax = 1, .defaultValue = 0.5}));
}

Image OVRotateColorFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    return FrameworkFilterSupport::applyOver(
        kernel(), {QVariant::fromValue(Sampler(image)), numberValue(QStringLiteral("inputAngle"))}, image);
}
