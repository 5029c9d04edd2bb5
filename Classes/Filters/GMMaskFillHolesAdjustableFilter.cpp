#include "Classes/Filters/GMMaskFillHolesAdjustableFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace MaskFilterSupport;

GMMaskFillHolesAdjustableFilter::GMMaskFillHolesAdjustableFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::OriginZero,
                    {{QStringLiteral("inputMode"), std::nullopt,
                      numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 4, .defaultValue = 0})}},
                    23))
{}
