#include "Classes/Filters/GMCleanScaledImageFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMCleanScaledImageFilter::GMCleanScaledImageFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMCleanScaledImageFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Rect extent = KernelResource::fullExtent(image.extent());
    ApplyOptions options;
    options.definition = extent;
    options.extent = extent;
    options.regionOfInterest = [](int index, const Rect& destination) {
        return index == 0 ? destination.insetBy(-4, -4) : destination;
    };
    const Sampler sampler(image, Sampler::FilterMode::Linear, Sampler::WrapMode::Clamp);
    return kernel.apply({QVariant::fromValue(sampler)}, options);
}
