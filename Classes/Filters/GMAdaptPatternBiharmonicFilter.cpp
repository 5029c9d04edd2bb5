#include "Classes/Filters/GMAdaptPatternBiharmonicFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMAdaptPatternBiharmonicFilter::GMAdaptPatternBiharmonicFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadKernels({{QStringLiteral("GMInpaintingSimpleKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMaskImage"));
}

Image GMAdaptPatternBiharmonicFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Rect extent = KernelResource::fullExtent(image.extent());
    ApplyOptions options;
    options.definition = extent;
    options.extent = extent;
    options.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-3, -3); };
    return kernel.apply({QVariant::fromValue(Sampler(image)),
                         QVariant::fromValue(Sampler(imageValue(QStringLiteral("inputMaskImage"))))},
                        options);
}
