#include "Classes/Filters/GMLevelAdjustSVFilter.h"

#include "Platform/Image/Sampler.h"

using namespace pf;

namespace {

QVariantMap tone(double defaultValue)
{
    return {{FilterAttribute::Min, 0.0},
            {FilterAttribute::SliderMin, 0.0},
            {FilterAttribute::SliderMax, 1.0},
            {FilterAttribute::Default, defaultValue},
            {FilterAttribute::Type, FilterAttribute::TypeDistance}};
}

} // namespace

GMLevelAdjustSVFilter::GMLevelAdjustSVFilter(const QString& className) : GMKernelFilter(className)
{
    // The levels kernel text, compiled into this class's own slot.
    loadKernels({{QStringLiteral("GMLevelAdjustFilterKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMinTone"), tone(0));
    declareInput(QStringLiteral("inputMidTone"), tone(0));
    declareInput(QStringLiteral("inputMaxTone"), tone(1));
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
