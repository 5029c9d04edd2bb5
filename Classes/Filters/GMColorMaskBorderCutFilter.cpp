#include "Classes/Filters/GMColorMaskBorderCutFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;
using namespace MaskFilterSupport;

GMColorMaskBorderCutFilter::GMColorMaskBorderCutFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputImageEdges"));
    declareInput(QStringLiteral("inputThreshold"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 0.1}));
}

Image GMColorMaskBorderCutFilter::outputImage() const
{
    const Sampler mask(imageValue(QStringLiteral("inputImage")));
    const Sampler edges(imageValue(QStringLiteral("inputImageEdges")));
    return applySlot(
        0, {samplerArgument(mask), samplerArgument(edges), numberArgument(QStringLiteral("inputThreshold"))},
        options(mask.definition().extent(), KernelResource::originZeroExtent(mask.image().extent()), 23, 23));
}
