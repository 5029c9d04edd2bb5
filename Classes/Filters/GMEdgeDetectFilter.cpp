#include "Classes/Filters/GMEdgeDetectFilter.h"

using namespace pf;

GMEdgeDetectFilter::GMEdgeDetectFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(ApplyExtent::OriginZero,
                    {{QStringLiteral("inputThreshold"), std::nullopt, distanceAttributes(0.1)}}, 3))
{}
