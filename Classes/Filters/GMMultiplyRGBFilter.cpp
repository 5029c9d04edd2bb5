#include "Classes/Filters/GMMultiplyRGBFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;

GMMultiplyRGBFilter::GMMultiplyRGBFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::Full,
                               {numberInput(QStringLiteral("inputIntensity"),
                                            MaskFilterSupport::numberAttributes(
                                                {.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0}))}))
{}
