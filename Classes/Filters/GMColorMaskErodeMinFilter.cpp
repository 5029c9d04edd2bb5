#include "Classes/Filters/GMColorMaskErodeMinFilter.h"

using namespace pf;

GMColorMaskErodeMinFilter::GMColorMaskErodeMinFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMColorMaskErodeMinFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {}, 3);
}
