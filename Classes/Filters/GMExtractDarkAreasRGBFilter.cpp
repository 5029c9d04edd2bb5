#include "Classes/Filters/GMExtractDarkAreasRGBFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMExtractDarkAreasRGBFilter::GMExtractDarkAreasRGBFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0}));
}

Image GMExtractDarkAreasRGBFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {numberArgument(QStringLiteral("inputIntensity"))});
}
