#include "Classes/Filters/OVColorMultiplyFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVColorMultiplyFilter::OVColorMultiplyFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(
        QStringLiteral("inputColor"),
        MaskFilterSupport::colorAttributes(Color(0.55, 0.7, 1.0, 1.0), FilterAttribute::TypeDistance));
}

Image OVColorMultiplyFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    return FrameworkFilterSupport::applyOver(
        kernel(),
        {QVariant::fromValue(Sampler(image)), QVariant::fromValue(colorValue(QStringLiteral("inputColor")))},
        image);
}
