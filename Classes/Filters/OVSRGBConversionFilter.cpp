#include "Classes/Filters/OVSRGBConversionFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVSRGBConversionFilter::OVSRGBConversionFilter(const QString& className)
    : OVFilter(className, {QStringLiteral("inputImage"), QStringLiteral("toRGB")})
{}

void OVSRGBConversionFilter::registerClass()
{
    registerMember<OVSRGBConversionFilter>(
        QStringLiteral("OVSRGBConversionFilter"),
        {.inputKeys = {QStringLiteral("inputImage")}, .copied = {QStringLiteral("toRGB")}});
}

Image OVSRGBConversionFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const QString kernelName =
        boolValue(QStringLiteral("toRGB")) ? QStringLiteral("sRGB2RGB") : QStringLiteral("RGB2sRGB");
    return FrameworkFilterSupport::applyOver(kernelWithName(kernelName),
                                             {QVariant::fromValue(Sampler(image))}, image);
}
