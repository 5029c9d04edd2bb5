#include "Classes/Filters/GMHSL2RGBFilter.h"

using namespace pf;

GMHSL2RGBFilter::GMHSL2RGBFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMHSL2RGBFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero);
}
