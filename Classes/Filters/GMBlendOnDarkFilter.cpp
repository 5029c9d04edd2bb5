#include "Classes/Filters/GMBlendOnDarkFilter.h"

GMBlendOnDarkFilter::GMBlendOnDarkFilter(const QString& className)
    : GMKernelPassFilter(
          className, {.images = {{QStringLiteral("inputImage")}, {QStringLiteral("inputBackgroundImage")}},
                      .numbers = {{QStringLiteral("inputIntensity"), 1.0, distanceAttributes(1.0)},
                                  {QStringLiteral("inputThreshold"), 1.0, distanceAttributes(1.0)}},
                      .extent = ApplyExtent::OriginZero,
                      .domainOf = 1})
{}
