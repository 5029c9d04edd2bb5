#include "Classes/Filters/GMCalcResiduumFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMCalcResiduumFilter::GMCalcResiduumFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMCalcResiduumFilter::outputImage() const
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
    return kernel.apply({QVariant::fromValue(Sampler(image))}, options);
}
