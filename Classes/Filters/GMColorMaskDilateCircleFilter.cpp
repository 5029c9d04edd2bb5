#include "Classes/Filters/GMColorMaskDilateCircleFilter.h"

using namespace pf;

GMColorMaskDilateCircleFilter::GMColorMaskDilateCircleFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadKernels({{QStringLiteral("GMFillHoles22FilterKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
}

Image GMColorMaskDilateCircleFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {}, 23);
}
