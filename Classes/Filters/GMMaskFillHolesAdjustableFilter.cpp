#include "Classes/Filters/GMMaskFillHolesAdjustableFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

GMMaskFillHolesAdjustableFilter::GMMaskFillHolesAdjustableFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::OriginZero,
                    {numberInput(QStringLiteral("inputMode"),
                                 MaskFilterSupport::numberAttributes(
                                     {.min = 0, .sliderMin = 0, .sliderMax = 4, .defaultValue = 0}))},
                    23))
{}
