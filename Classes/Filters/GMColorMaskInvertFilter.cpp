#include "Classes/Filters/GMColorMaskInvertFilter.h"

using namespace pf;

GMColorMaskInvertFilter::GMColorMaskInvertFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMColorMaskInvertFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero);
}
