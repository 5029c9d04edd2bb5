#include "Classes/Filters/GMvignetteCompositionFilter.h"

GMvignetteCompositionFilter::GMvignetteCompositionFilter(const QString& className)
    : GMKernelPassFilter(className,
                         {.images = {{QStringLiteral("inputImage")}, {QStringLiteral("inputMask")}},
                          .extent = ApplyExtent::OriginZero})
{}
