#include "Classes/Filters/GMExposureFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;

GMExposureFilter::GMExposureFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputStops"),
                 MaskFilterSupport::numberAttributes({.min = -4,
                                                      .max = 4,
                                                      .sliderMin = -2,
                                                      .sliderMax = 2,
                                                      .defaultValue = 0,
                                                      .identity = 0,
                                                      .type = FilterAttribute::TypeScalar}));
}

Image GMExposureFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::Full, {numberArgument(QStringLiteral("inputStops"))});
}
