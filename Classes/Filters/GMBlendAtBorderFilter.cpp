#include "Classes/Filters/GMBlendAtBorderFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMBlendAtBorderFilter::GMBlendAtBorderFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    declareInput(QStringLiteral("inputMaskImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 1.0},
                                                    {FilterAttribute::Default, 1.0},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMBlendAtBorderFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    const Image mask = imageValue(QStringLiteral("inputMaskImage"));
    if (kernel.isNull() || image.isNull() || background.isNull() || mask.isNull())
        return Image();
    const Sampler bottom(background);
    ApplyOptions options;
    options.definition = bottom.definition().extent();
    options.extent = KernelResource::originZeroExtent(image.extent());
    return kernel.apply({QVariant::fromValue(Sampler(image)), QVariant::fromValue(bottom),
                         QVariant::fromValue(Sampler(mask)),
                         numberValue(QStringLiteral("inputIntensity"), 1.0)},
                        options);
}
