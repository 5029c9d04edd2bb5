#include "Classes/Filters/GMEmbossFilter.h"

GMEmbossFilter::GMEmbossFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::OriginZero,
                               {numberInput(QStringLiteral("inputIntensity"), distanceAttributes(0.5))}, 3))
{}
