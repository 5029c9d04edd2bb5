#include "Classes/Filters/GMNullFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMNullFilter::GMNullFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMNullFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    if (kernel.isNull() || image.isNull())
        return Image();
    const Rect extent = KernelResource::originZeroExtent(image.extent());
    ApplyOptions options;
    options.definition = extent;
    options.extent = extent;
    return kernel.apply({QVariant::fromValue(Sampler(image))}, options);
}
