#include "Classes/Filters/GMBlendAtBorderFilter.h"

GMBlendAtBorderFilter::GMBlendAtBorderFilter(const QString& className)
    : GMKernelPassFilter(className,
                         {.images = {{QStringLiteral("inputImage")},
                                     {QStringLiteral("inputBackgroundImage")},
                                     {QStringLiteral("inputMaskImage")}},
                          .numbers = {{QStringLiteral("inputIntensity"), 1.0, distanceAttributes(1.0)}},
                          .extent = ApplyExtent::OriginZero,
                          .domainOf = 1})
{}
