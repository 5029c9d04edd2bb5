#include "Classes/Filters/GMLinearBurnBlendModeFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMLinearBurnBlendModeFilter::GMLinearBurnBlendModeFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 1.0},
                                                    {FilterAttribute::Default, 1.0},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMLinearBurnBlendModeFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    if (kernel.isNull() || image.isNull() || background.isNull())
        return Image();
    const Sampler top(image);
    ApplyOptions options;
    options.definition = top.definition().extent();
    options.extent = KernelResource::originZeroExtent(image.extent());
    return kernel.apply({QVariant::fromValue(top), QVariant::fromValue(Sampler(background)),
                         numberValue(QStringLiteral("inputIntensity"), 1.0)},
                        options);
}
