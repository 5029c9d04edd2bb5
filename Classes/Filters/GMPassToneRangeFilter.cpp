#include "Classes/Filters/GMPassToneRangeFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

GMPassToneRangeFilter::GMPassToneRangeFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::OriginZero,
                    {numberInput(QStringLiteral("inputToneRange"),
                                 MaskFilterSupport::numberAttributes(
                                     {.min = 0, .max = 2, .defaultValue = 1, .type = QString()}))}))
{}
