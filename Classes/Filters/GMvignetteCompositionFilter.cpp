#include "Classes/Filters/GMvignetteCompositionFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMvignetteCompositionFilter::GMvignetteCompositionFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMask"));
}

Image GMvignetteCompositionFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image mask = imageValue(QStringLiteral("inputMask"));
    if (kernel.isNull() || image.isNull() || mask.isNull())
        return Image();
    const Sampler sampler(image);
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = KernelResource::originZeroExtent(image.extent());
    return kernel.apply({QVariant::fromValue(sampler), QVariant::fromValue(Sampler(mask))}, options);
}
