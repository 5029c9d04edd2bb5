#include "Classes/Filters/GMsetAlphaChannelFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace MaskFilterSupport;

GMsetAlphaChannelFilter::GMsetAlphaChannelFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::Full,
                    {{QStringLiteral("inputIntensity"), std::nullopt,
                      numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 0.5})}}))
{}
