#include "Classes/Filters/GMsetAlphaChannelFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMsetAlphaChannelFilter::GMsetAlphaChannelFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 0.5}));
}

Image GMsetAlphaChannelFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::Full, {numberArgument(QStringLiteral("inputIntensity"))});
}
