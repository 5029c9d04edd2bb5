#include "Classes/Filters/GMMinAlphaFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace MaskFilterSupport;

GMMinAlphaFilter::GMMinAlphaFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::Full,
                    {{QStringLiteral("inputIntensity"), std::nullopt,
                      numberAttributes({.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0})}}))
{}
