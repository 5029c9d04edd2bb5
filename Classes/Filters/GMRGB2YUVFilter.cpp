#include "Classes/Filters/GMRGB2YUVFilter.h"

using namespace pf;

GMRGB2YUVFilter::GMRGB2YUVFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMRGB2YUVFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero);
}
