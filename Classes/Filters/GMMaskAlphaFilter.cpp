#include "Classes/Filters/GMMaskAlphaFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;
using namespace MaskFilterSupport;

GMMaskAlphaFilter::GMMaskAlphaFilter(const QString& className) : GMKernelFilter(className)
{
    loadKernels({{QStringLiteral("GMMaskAlphaKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMask"));
}

Image GMMaskAlphaFilter::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Sampler mask(imageValue(QStringLiteral("inputMask")));
    const Sampler& owner = image;
    return applySlot(0, {samplerArgument(image), samplerArgument(mask)},
                     options(owner.definition().extent(), KernelResource::fullExtent(owner.extent())));
}
