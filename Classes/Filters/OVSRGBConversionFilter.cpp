#include "Classes/Filters/OVSRGBConversionFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVSRGBConversionFilter::OVSRGBConversionFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("toRGB"));
}

void OVSRGBConversionFilter::registerClass()
{
    const QString name = QStringLiteral("OVSRGBConversionFilter");
    OVFilter::registerInputKeys(name, {QStringLiteral("inputImage")});
    OVFilter::registerForCopying(name, {QStringLiteral("toRGB")});
    Filter::registerFilter(name, [] { return std::make_shared<OVSRGBConversionFilter>(); });
}

Image OVSRGBConversionFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const QString kernelName =
        boolValue(QStringLiteral("toRGB")) ? QStringLiteral("sRGB2RGB") : QStringLiteral("RGB2sRGB");
    return FrameworkFilterSupport::applyOver(kernelWithName(kernelName),
                                             {QVariant::fromValue(Sampler(image))}, image);
}
