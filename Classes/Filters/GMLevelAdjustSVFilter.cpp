#include "Classes/Filters/GMLevelAdjustSVFilter.h"

#include "Platform/Image/Sampler.h"

using namespace pf;

GMLevelAdjustSVFilter::GMLevelAdjustSVFilter(const QString& className) : GMKernelFilter(className)
{
    // The levels kernel text, compiled into this class's own slot.
    loadKernels({{QStringLiteral("GMLevelAdjustFilterKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMinTone"), distanceAttributes(0));
    declareInput(QStringLiteral("inputMidTone"), distanceAttributes(0));
    declareInput(QStringLiteral("inputMaxTone"), distanceAttributes(1));
}

Image GMLevelAdjustSVFilter::outputImage() const
{
    const Sampler sampler(imageValue(QStringLiteral("inputImage")));
    const Vector tones(numberValue(QStringLiteral("inputMinTone")),
                       numberValue(QStringLiteral("inputMidTone")),
                       numberValue(QStringLiteral("inputMaxTone")));
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = options.definition;
    return applySlot(0, {QVariant::fromValue(sampler), QVariant::fromValue(tones)}, options);
}
