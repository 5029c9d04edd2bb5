#include "Classes/Filters/GMSubtractImagesFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMSubtractImagesFilter::GMSubtractImagesFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputSubImage"));
}

Image GMSubtractImagesFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image subImage = imageValue(QStringLiteral("inputSubImage"));
    if (kernel.isNull() || image.isNull() || subImage.isNull())
        return Image();
    const Sampler sampler(image);
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = KernelResource::fullExtent(image.extent());
    return kernel.apply({QVariant::fromValue(sampler), QVariant::fromValue(Sampler(subImage))}, options);
}
