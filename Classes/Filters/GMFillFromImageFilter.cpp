#include "Classes/Filters/GMFillFromImageFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;
using namespace MaskFilterSupport;

GMFillFromImageFilter::GMFillFromImageFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMask"));
}

Image GMFillFromImageFilter::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Sampler mask(imageValue(QStringLiteral("inputMask")));
    const Rect whole = rectOf(image.image());
    const Rect extent = KernelResource::fullExtent(whole);
    ApplyOptions o = options(extent, extent);
    o.regionOfInterest = [whole](int index, const Rect& destination) {
        return index == 0 ? whole : destination;
    };
    return applySlot(0, {samplerArgument(image), samplerArgument(mask)}, o);
}
