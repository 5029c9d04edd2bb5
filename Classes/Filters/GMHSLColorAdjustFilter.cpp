#include "Classes/Filters/GMHSLColorAdjustFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMHSLColorAdjustFilter::GMHSLColorAdjustFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    for (const char* key : {"inputHue", "inputSaturation", "inputLightness", "inputPercentage"})
        declareInput(QString::fromLatin1(key), {{FilterAttribute::Min, 0.0},
                                                {FilterAttribute::SliderMin, 0.0},
                                                {FilterAttribute::SliderMax, 1.0},
                                                {FilterAttribute::Default, 1.0},
                                                {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMHSLColorAdjustFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Sampler sampler(image);
    const Vector adjustment(float(numberValue(QStringLiteral("inputHue"))),
                            float(numberValue(QStringLiteral("inputSaturation"))),
                            float(numberValue(QStringLiteral("inputLightness"))));
    const QString percentage = QStringLiteral("inputPercentage");
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = KernelResource::originZeroExtent(image.extent());
    return kernel.apply({QVariant::fromValue(sampler), QVariant::fromValue(adjustment),
                         hasValue(percentage) ? QVariant(numberValue(percentage)) : QVariant()},
                        options);
}
