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
    const Sampler sampler(imageValue(QStringLiteral("inputImage")));
    return applySlot(0, {samplerArgument(sampler)},
                     options(sampler.definition().extent(),
                             KernelResource::originZeroExtent(sampler.image().extent()), 3, 33));
}
