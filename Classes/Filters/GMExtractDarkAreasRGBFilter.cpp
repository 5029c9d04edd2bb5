#include "Classes/Filters/GMExtractDarkAreasRGBFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

GMExtractDarkAreasRGBFilter::GMExtractDarkAreasRGBFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::OriginZero,
                               {numberInput(QStringLiteral("inputIntensity"),
                                            MaskFilterSupport::numberAttributes(
                                                {.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0}))}))
{}
