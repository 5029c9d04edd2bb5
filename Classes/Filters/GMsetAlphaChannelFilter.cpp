#include "Classes/Filters/GMsetAlphaChannelFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

GMsetAlphaChannelFilter::GMsetAlphaChannelFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::Full,
                    {numberInput(QStringLiteral("inputIntensity"),
                                 MaskFilterSupport::numberAttributes(
                                     {.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 0.5}))}))
{}
