#include "Classes/Filters/GMMinimumCompositingFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMMinimumCompositingFilter::GMMinimumCompositingFilter(const QString& className) : GMKernelFilter(className)
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

Image GMMinimumCompositingFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    if (kernel.isNull() || image.isNull() || background.isNull())
        return Image();
    const Sampler bottom(background);
    ApplyOptions options;
    options.definition = bottom.definition().extent();
    options.extent = KernelResource::fullExtent(image.extent());
    return kernel.apply({QVariant::fromValue(Sampler(image)), QVariant::fromValue(bottom),
                         numberValue(QStringLiteral("inputIntensity"), 1.0)},
                        options);
}
