#include "Classes/Filters/GMInvertBrushMaskFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;
using namespace MaskFilterSupport;

GMInvertBrushMaskFilter::GMInvertBrushMaskFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMInvertBrushMaskFilter::outputImage() const
{
    const Sampler mask(imageValue(QStringLiteral("inputImage")));
    const Rect extent =
        KernelResource::fullExtent(mask.image().isNull() ? Rect::null() : mask.image().extent());
    return applySlot(0, {samplerArgument(mask)}, options(extent, extent));
}
