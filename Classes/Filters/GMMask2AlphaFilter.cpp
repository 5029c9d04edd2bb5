#include "Classes/Filters/GMMask2AlphaFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;
using namespace MaskFilterSupport;

GMMask2AlphaFilter::GMMask2AlphaFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMask"));
}

Image GMMask2AlphaFilter::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Sampler mask(imageValue(QStringLiteral("inputMask")));
    const Sampler& owner = mask;
    return applySlot(0, {samplerArgument(image), samplerArgument(mask)},
                     options(owner.definition().extent(), KernelResource::fullExtent(owner.extent())));
}
