#include "Classes/Filters/GMMultiplyAlphaFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

GMMultiplyAlphaFilter::GMMultiplyAlphaFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::OriginZero,
                               {numberInput(QStringLiteral("inputIntensity"),
                                            MaskFilterSupport::numberAttributes(
                                                {.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0}))}))
{}
