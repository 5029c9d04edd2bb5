#include "Classes/Filters/GMRGB2HSLFilter.h"

using namespace pf;

GMRGB2HSLFilter::GMRGB2HSLFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMRGB2HSLFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero);
}
