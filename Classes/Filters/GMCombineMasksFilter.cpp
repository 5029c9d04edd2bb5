#include "Classes/Filters/GMCombineMasksFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;
using namespace MaskFilterSupport;

GMCombineMasksFilter::GMCombineMasksFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputMask"));
    declareInput(QStringLiteral("inputReferenceMask"));
    declareInput(QStringLiteral("inputMaskMap"));
    declareInput(QStringLiteral("inputIntensity"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 1}));
}

Image GMCombineMasksFilter::outputImage() const
{
    const Sampler mask(imageValue(QStringLiteral("inputMask")));
    const Sampler reference(imageValue(QStringLiteral("inputReferenceMask")), Sampler::FilterMode::Nearest);
    const Sampler map(imageValue(QStringLiteral("inputMaskMap")), Sampler::FilterMode::Nearest);
    ApplyOptions o =
        options(mask.definition().extent(), KernelResource::originZeroExtent(mask.image().extent()));
    o.regionOfInterest = [](int, const Rect& destination) { return destination; };
    return applySlot(0,
                     {samplerArgument(mask), samplerArgument(reference), samplerArgument(map),
                      numberArgument(QStringLiteral("inputIntensity"))},
                     o);
}
