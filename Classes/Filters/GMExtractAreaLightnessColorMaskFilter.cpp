#include "Classes/Filters/GMExtractAreaLightnessColorMaskFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

GMExtractAreaLightnessColorMaskFilter::GMExtractAreaLightnessColorMaskFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::OriginZero,
                               {numberInput(QStringLiteral("inputIntensity"),
                                            MaskFilterSupport::numberAttributes(
                                                {.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0})),
                                numberInput(QStringLiteral("inputMode"),
                                            MaskFilterSupport::numberAttributes(
                                                {.min = 0, .max = 1, .defaultValue = 0, .identity = 0}))}))
{}
