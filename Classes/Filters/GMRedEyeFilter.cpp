#include "Classes/Filters/GMRedEyeFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using MaskFilterSupport::numberAttributes;

GMRedEyeFilter::GMRedEyeFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::Full,
                                              {{QStringLiteral("inputThreshold"), 2,
                                                numberAttributes({.min = 1,
                                                                  .sliderMin = 1,
                                                                  .sliderMax = 3,
                                                                  .defaultValue = 2,
                                                                  .type = FilterAttribute::TypeScalar})},
                                               {QStringLiteral("inputDarkening"), 0.2,
                                                numberAttributes({.min = 0,
                                                                  .max = 1,
                                                                  .sliderMin = 0,
                                                                  .sliderMax = 1,
                                                                  .defaultValue = 0.2,
                                                                  .type = FilterAttribute::TypeScalar})}}))
{}
