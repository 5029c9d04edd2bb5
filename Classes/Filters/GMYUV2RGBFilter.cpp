#include "Classes/Filters/GMYUV2RGBFilter.h"

using namespace pf;

GMYUV2RGBFilter::GMYUV2RGBFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMYUV2RGBFilter::outputImage() const
{
    if (imageValue(QStringLiteral("inputImage")).isNull())
        return Image();
    return applyToInputImage(0, ApplyExtent::OriginZero);
}
