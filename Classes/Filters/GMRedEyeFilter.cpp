#include "Classes/Filters/GMRedEyeFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using MaskFilterSupport::numberAttributes;

GMRedEyeFilter::GMRedEyeFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputThreshold"), numberAttributes({.min = 1,
                                                                     .sliderMin = 1,
                                                                     .sliderMax = 3,
                                                                     .defaultValue = 2,
                                                                     .type = FilterAttribute::TypeScalar}));
    declareInput(QStringLiteral("inputDarkening"), numberAttributes({.min = 0,
                                                                     .max = 1,
                                                                     .sliderMin = 0,
                                                                     .sliderMax = 1,
                                                                     .defaultValue = 0.2,
                                                                     .type = FilterAttribute::TypeScalar}));
}

Image GMRedEyeFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::Full,
                             {numberValue(QStringLiteral("inputThreshold"), 2),
                              numberValue(QStringLiteral("inputDarkening"), 0.2)});
}
