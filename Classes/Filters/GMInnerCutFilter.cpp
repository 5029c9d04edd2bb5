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
    const Sampler mask(imageValue(QStringLiteral("inputMaskImage")));
    return applySlot(0, {samplerArgument(mask)}, atOriginReadingInPlace(mask.image()));
}
