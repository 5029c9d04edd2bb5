#include "Classes/Filters/GMExtractAreaLightnessColorMaskFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMExtractAreaLightnessColorMaskFilter::GMExtractAreaLightnessColorMaskFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0}));
    declareInput(QStringLiteral("inputMode"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0, .identity = 0}));
}

Image GMExtractAreaLightnessColorMaskFilter::outputImage() const
{
    return applyToInputImage(
        0, ApplyExtent::OriginZero,
        {numberArgument(QStringLiteral("inputIntensity")), numberArgument(QStringLiteral("inputMode"))});
}
