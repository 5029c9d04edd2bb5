#include "Classes/Filters/GMInnerCutFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMInnerCutFilter::GMInnerCutFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputMaskImage"));
}

Image GMInnerCutFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Sampler mask(imageValue(QStringLiteral("inputMaskImage")));
    return kernel.apply({samplerArgument(mask)}, atOriginReadingInPlace(mask.image()));
}
