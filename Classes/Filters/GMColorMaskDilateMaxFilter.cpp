#include "Classes/Filters/GMColorMaskDilateMaxFilter.h"

using namespace pf;

GMColorMaskDilateMaxFilter::GMColorMaskDilateMaxFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMColorMaskDilateMaxFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {}, 3);
}
