#include "Classes/Filters/GMSelectiveColorChangeCYMKFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

namespace {

QVariantMap unitRange(double defaultValue)
{
    return {{FilterAttribute::Min, 0.0},
            {FilterAttribute::SliderMin, 0.0},
            {FilterAttribute::SliderMax, 1.0},
            {FilterAttribute::Default, defaultValue},
            {FilterAttribute::Type, FilterAttribute::TypeDistance}};
}

} // namespace

GMSelectiveColorChangeCYMKFilter::GMSelectiveColorChangeCYMKFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputTones"), {{FilterAttribute::Min, 0.0},
                                                {FilterAttribute::SliderMin, 0.0},
                                                {FilterAttribute::Default, 0.0},
                                                {FilterAttribute::Type, FilterAttribute::TypeDistance}});
    declareInput(QStringLiteral("inputIntensity"),
                 {{FilterAttribute::Default, 0.5}, {FilterAttribute::Type, FilterAttribute::TypeDistance}});
    declareInput(QStringLiteral("inputChannel"), unitRange(0.5));
    declareInput(QStringLiteral("inputBlackThreshold"), unitRange(0.5));
    declareInput(QStringLiteral("inputWhiteThreshold"), unitRange(0.5));
}

Image GMSelectiveColorChangeCYMKFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Sampler sampler(image);
    QVariantList arguments{QVariant::fromValue(sampler)};
    for (const char* key :
         {"inputTones", "inputIntensity", "inputChannel", "inputBlackThreshold", "inputWhiteThreshold"}) {
        const QString k = QString::fromLatin1(key);
        arguments << (hasValue(k) ? QVariant(numberValue(k)) : QVariant());
    }
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = KernelResource::originZeroExtent(image.extent());
    return kernel.apply(arguments, options);
}
