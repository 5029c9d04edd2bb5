#include "Classes/Filters/GMsetColorChannelFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;

GMsetColorChannelFilter::GMsetColorChannelFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputColor"), MaskFilterSupport::colorAttributes(Color(0, 0, 0, 1)));
    declareInput(QStringLiteral("inputIntensity"), distanceAttributes(0.5));
}

Image GMsetColorChannelFilter::outputImage() const
{
    if (imageValue(QStringLiteral("inputImage")).isNull())
        return Image();
    // Inputs never set count as their defaults rather than as missing arguments.
    const Color color =
        hasValue(QStringLiteral("inputColor")) ? colorValue(QStringLiteral("inputColor")) : Color(0, 0, 0, 1);
    return applyToInputImage(
        0, ApplyExtent::OriginZero,
        {numberValue(QStringLiteral("inputIntensity"), 0.5), QVariant::fromValue(color)});
}
