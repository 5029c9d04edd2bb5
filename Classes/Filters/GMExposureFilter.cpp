#include "Classes/Filters/GMExposureFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;

GMExposureFilter::GMExposureFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::Full, {numberInput(QStringLiteral("inputStops"),
                                                               MaskFilterSupport::numberAttributes(
                                                                   {.min = -4,
                                                                    .max = 4,
                                                                    .sliderMin = -2,
                                                                    .sliderMax = 2,
                                                                    .defaultValue = 0,
                                                                    .identity = 0,
                                                                    .type = FilterAttribute::TypeScalar}))}))
{}
