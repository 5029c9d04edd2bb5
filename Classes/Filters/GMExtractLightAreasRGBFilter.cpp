#include "Classes/Filters/GMExtractLightAreasRGBFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace MaskFilterSupport;

GMExtractLightAreasRGBFilter::GMExtractLightAreasRGBFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::OriginZero,
                    {{QStringLiteral("inputIntensity"), std::nullopt,
                      numberAttributes({.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0})}}))
{}
