#include "Classes/Filters/GMMinAlphaFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

GMMinAlphaFilter::GMMinAlphaFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::Full,
                               {numberInput(QStringLiteral("inputIntensity"),
                                            MaskFilterSupport::numberAttributes(
                                                {.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0}))}))
{}
