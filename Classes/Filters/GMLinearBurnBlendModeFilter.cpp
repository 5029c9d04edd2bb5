#include "Classes/Filters/GMLinearBurnBlendModeFilter.h"

GMLinearBurnBlendModeFilter::GMLinearBurnBlendModeFilter(const QString& className)
    : GMKernelPassFilter(
          className, {.images = {{QStringLiteral("inputImage")}, {QStringLiteral("inputBackgroundImage")}},
                      .numbers = {{QStringLiteral("inputIntensity"), 1.0, distanceAttributes(1.0)}},
                      .extent = ApplyExtent::OriginZero})
{}
