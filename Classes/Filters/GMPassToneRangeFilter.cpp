#include "Classes/Filters/GMPassToneRangeFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace MaskFilterSupport;

GMPassToneRangeFilter::GMPassToneRangeFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::OriginZero,
                    {{QStringLiteral("inputToneRange"), std::nullopt,
                      numberAttributes({.min = 0, .max = 2, .defaultValue = 1, .type = QString()})}}))
{}
