#include "Classes/Filters/GMDilateCircleFilter.h"

using namespace pf;

GMDilateCircleFilter::GMDilateCircleFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMDilateCircleFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {}, 3);
}
