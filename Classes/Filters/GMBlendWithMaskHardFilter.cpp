#include "Classes/Filters/GMBlendWithMaskHardFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMBlendWithMaskHardFilter::GMBlendWithMaskHardFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    declareInput(QStringLiteral("inputMaskImage"));
}

Image GMBlendWithMaskHardFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    const Image mask = imageValue(QStringLiteral("inputMaskImage"));
    if (kernel.isNull() || image.isNull() || background.isNull() || mask.isNull())
        return Image();
    const Sampler top(image);
    ApplyOptions options;
    options.definition = top.definition().extent();
    options.extent = KernelResource::originZeroExtent(image.extent());
    return kernel.apply({QVariant::fromValue(top), QVariant::fromValue(Sampler(background)),
                         QVariant::fromValue(Sampler(mask))},
                        options);
}
