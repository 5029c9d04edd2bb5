#include "Classes/Filters/GMColorMaskErodeCircleFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;
using namespace MaskFilterSupport;

GMColorMaskErodeCircleFilter::GMColorMaskErodeCircleFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMColorMaskErodeCircleFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Sampler sampler(imageValue(QStringLiteral("inputImage")));
    return kernel.apply({samplerArgument(sampler)},
                        options(sampler.definition().extent(),
                                KernelResource::originZeroExtent(sampler.image().extent()), 3, 33));
}
