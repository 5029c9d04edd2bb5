#include "Classes/Filters/GMEdgeDetectFilter.h"

GMEdgeDetectFilter::GMEdgeDetectFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::OriginZero,
                               {numberInput(QStringLiteral("inputThreshold"), distanceAttributes(0.1))}, 3))
{}
