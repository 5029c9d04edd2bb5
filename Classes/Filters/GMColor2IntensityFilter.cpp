#include "Classes/Filters/GMColor2IntensityFilter.h"

using namespace pf;

GMColor2IntensityFilter::GMColor2IntensityFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMColor2IntensityFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero);
}
