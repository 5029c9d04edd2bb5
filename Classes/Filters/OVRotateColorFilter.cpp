#include "Classes/Filters/OVRotateColorFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVRotateColorFilter::OVRotateColorFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputAngle"), {{FilterAttribute::Default, 0.5},
                                                {FilterAttribute::SliderMin, 0.0},
                                                {FilterAttribute::SliderMax, 1.0},
                                                {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

void OVRotateColorFilter::registerClass()
{
    registerMember<OVRotateColorFilter>(QStringLiteral("OVRotateColorFilter"));
}

Image OVRotateColorFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    return FrameworkFilterSupport::applyOver(
        kernel(), {QVariant::fromValue(Sampler(image)), numberValue(QStringLiteral("inputAngle"))}, image);
}
