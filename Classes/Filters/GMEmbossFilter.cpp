#include "Classes/Filters/GMEmbossFilter.h"

using namespace pf;

GMEmbossFilter::GMEmbossFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::OriginZero,
                    {{QStringLiteral("inputIntensity"), std::nullopt, distanceAttributes(0.5)}}, 3))
{}
