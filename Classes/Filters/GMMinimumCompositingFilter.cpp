#include "Classes/Filters/GMMinimumCompositingFilter.h"

GMMinimumCompositingFilter::GMMinimumCompositingFilter(const QString& className)
    : GMKernelPassFilter(
          className, {.images = {{QStringLiteral("inputImage")}, {QStringLiteral("inputBackgroundImage")}},
                      .numbers = {{QStringLiteral("inputIntensity"), 1.0, distanceAttributes(1.0)}},
                      .domainOf = 1})
{}
